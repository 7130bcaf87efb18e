#include "history/ui/SearchHistoryWindow.h"

#include "history/HistoryReader.h"
#include "history/cli/HistoryExport.h"
#include "history/cli/UtcTime.h"
#include "history/ui/DeleteHistoryDialog.h"
#include "history/ui/HistoryFilterFields.h"
#include "history/ui/HistoryJobs.h"
#include "history/ui/HistoryLinesModel.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>
#include <set>

namespace {

QTableView *LinesTable(HistoryLinesModel *model, QWidget *parent) {
    auto *table = new QTableView(parent);
    table->setModel(model);
    table->setItemDelegateForColumn(HistoryLinesModel::TextColumn, new MarkedTextDelegate(table));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    // Wide enough for the emphasised (bold) line of the conversation too.
    QFont bold = table->font();
    bold.setBold(true);
    table->setColumnWidth(HistoryLinesModel::TimeColumn,
                          QFontMetrics(bold).horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    return table;
}

} // namespace

SearchHistoryWindow::SearchHistoryWindow(std::string folder, QWidget *parent)
    : QWidget(parent, Qt::Window), folder_(std::move(folder)), jobs_(std::make_unique<HistoryJobs>(folder_)) {
    setWindowTitle(tr("Search History"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    confirm = [this](const QString &question) {
        return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };

    query_ = new QLineEdit(this);
    query_->setPlaceholderText(tr("words, \"a phrase\", beginning*"));
    query_->setClearButtonEnabled(true);
    auto *search = new QPushButton(tr("&Search"), this);
    auto *queryRow = new QHBoxLayout;
    auto *queryLabel = new QLabel(tr("Fi&nd:"), this);
    queryLabel->setBuddy(query_);
    queryRow->addWidget(queryLabel);
    queryRow->addWidget(query_, 1);
    queryRow->addWidget(search);

    filters_ = new HistoryFilterFields(true, this);

    resultsModel_ = new HistoryLinesModel(this);
    contextModel_ = new HistoryLinesModel(this);
    results_ = LinesTable(resultsModel_, this);
    context_ = LinesTable(contextModel_, this);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(results_);
    splitter->addWidget(context_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText); // errors quote what the user typed
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);
    progress_->setMaximumWidth(120);
    progress_->hide();
    more_ = new QPushButton(tr("&More Results"), this);
    more_->setEnabled(false);
    auto *copy = new QPushButton(tr("&Copy"), this);
    auto *exportButton = new QPushButton(tr("&Export..."), this);
    auto *deleteButton = new QPushButton(tr("&Delete History..."), this);
    auto *close = new QPushButton(tr("Close"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(progress_);
    for (QPushButton *b : {more_, copy, exportButton, deleteButton, close}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    search->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(queryRow);
    layout->addWidget(filters_);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(query_, &QLineEdit::returnPressed, this, &SearchHistoryWindow::Search);
    connect(filters_, &HistoryFilterFields::returnPressed, this, &SearchHistoryWindow::Search);
    connect(search, &QPushButton::clicked, this, &SearchHistoryWindow::Search);
    connect(more_, &QPushButton::clicked, this, &SearchHistoryWindow::MoreResults);
    connect(copy, &QPushButton::clicked, this, &SearchHistoryWindow::CopyResults);
    connect(exportButton, &QPushButton::clicked, this, &SearchHistoryWindow::Export);
    connect(deleteButton, &QPushButton::clicked, this, &SearchHistoryWindow::DeleteHistory);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Enter and a double-click open a result (activated); a click on a result only selects it.
    connect(results_, &QAbstractItemView::activated, this,
            [this](const QModelIndex &index) { OpenResult(index.row()); });
    auto *copyKey = new QShortcut(QKeySequence::Copy, results_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, &SearchHistoryWindow::CopyResults);
    // Escape stops a running search; otherwise it closes this window only, never the program's main window.
    auto *escape = new QShortcut(Qt::Key_Escape, this, nullptr, nullptr, Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (!StopSearch())
            this->close();
    });

    resize(900, 600);
}

SearchHistoryWindow::~SearchHistoryWindow() {
    latest_ = ++generation_; // a running search ends now rather than hold up the program
    jobs_.reset();           // no job may post to this window once it is gone
}

void SearchHistoryWindow::closeEvent(QCloseEvent *event) {
    StopSearch();
    QWidget::closeEvent(event);
}

bool SearchHistoryWindow::StopSearch() {
    if (runningSearch_ == 0)
        return false;
    // The search's own check, on the history's thread, sees the newer generation and ends the query; nothing here
    // waits for it.
    latest_ = ++generation_;
    runningSearch_ = 0;
    more_->setEnabled(!resultsModel_->Lines().empty());
    SetStatus(tr("The search was stopped."));
    return true;
}

void SearchHistoryWindow::Run(std::function<Done(HistoryReader &, const std::string &)> work) {
    ++pending_;
    progress_->show();
    jobs_->Post([this, work = std::move(work)](HistoryReader &reader, const std::string &openError) {
        Done done = work(reader, openError);
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                if (done)
                    done();
                Finished();
            },
            Qt::QueuedConnection);
    });
}

void SearchHistoryWindow::Finished() {
    if (--pending_ == 0)
        progress_->hide();
}

void SearchHistoryWindow::SetStatus(const QString &text) { status_->setText(text); }

void SearchHistoryWindow::Search() {
    HistoryFilter filter;
    QString error;
    if (!filters_->Read(filter, error)) {
        SetStatus(error);
        return;
    }
    shownQuery_ = query_->text().toStdString();
    shownFilter_ = filter;
    latest_ = ++generation_;
    resultsModel_->SetLines({}, MatchTerms(query_->text()));
    contextModel_->SetLines({}, {});
    more_->setEnabled(false);
    SetStatus(tr("Searching..."));
    RunSearch(std::nullopt);
}

void SearchHistoryWindow::MoreResults() {
    if (resultsModel_->Lines().empty())
        return;
    more_->setEnabled(false);
    SetStatus(tr("Searching..."));
    RunSearch(resultsModel_->Lines().back().id);
}

void SearchHistoryWindow::RunSearch(std::optional<std::int64_t> before) {
    runningSearch_ = generation_;
    Run([this, query = shownQuery_, filter = shownFilter_, before, progress = searchProgress,
         generation = generation_](HistoryReader &reader, const std::string &openError) -> Done {
        if (generation != latest_.load())
            return {}; // the user searched again meanwhile
        HistoryResult result;
        if (reader.IsOpen()) {
            reader.SetStopCheck([&] {
                if (progress)
                    progress();
                return generation != latest_.load();
            });
            result = reader.Search(query, filter, kPageSize, before);
            reader.SetStopCheck({});
        } else {
            result.ok = false;
            result.error = openError;
        }
        return [this, generation, result = std::move(result)]() mutable {
            if (generation != generation_)
                return; // a newer search is under way, or this one was stopped
            runningSearch_ = 0;
            if (!result.ok) {
                SetStatus(QString::fromStdString(result.error));
                return;
            }
            const bool full = static_cast<int>(result.lines.size()) == kPageSize;
            resultsModel_->AppendLines(std::move(result.lines));
            more_->setEnabled(full);
            const int shown = resultsModel_->rowCount();
            if (shown == 0)
                SetStatus(tr("Nothing found."));
            else if (full)
                SetStatus(tr("The newest %n result(s); More Results shows older ones.", "", shown));
            else
                SetStatus(tr("%n result(s).", "", shown));
            // A current result for Enter to open, without selecting it: Copy takes every result until the user
            // selects some.
            if (results_->currentIndex().row() < 0 && shown > 0)
                results_->selectionModel()->setCurrentIndex(resultsModel_->index(0, 0), QItemSelectionModel::NoUpdate);
        };
    });
}

void SearchHistoryWindow::OpenResult(int row) {
    if (row < 0 || row >= resultsModel_->rowCount())
        return;
    const std::int64_t id = resultsModel_->Lines()[static_cast<std::size_t>(row)].id;
    const QList<MatchTerm> terms = MatchTerms(QString::fromStdString(shownQuery_));
    Run([this, id, terms](HistoryReader &reader, const std::string &openError) -> Done {
        HistoryResult result;
        if (reader.IsOpen()) {
            result = reader.Around(id, kContextLines, kContextLines);
        } else {
            result.ok = false;
            result.error = openError;
        }
        return [this, id, terms, result = std::move(result)]() mutable {
            if (!result.ok) {
                SetStatus(QString::fromStdString(result.error));
                return;
            }
            contextModel_->SetLines(std::move(result.lines), terms);
            contextModel_->SetEmphasised(id);
            const int row = contextModel_->RowOf(id);
            if (row >= 0) {
                context_->selectRow(row);
                context_->scrollTo(contextModel_->index(row, 0), QAbstractItemView::PositionAtCenter);
            }
        };
    });
}

void SearchHistoryWindow::CopyResults() {
    std::set<int> rows;
    for (const QModelIndex &index : results_->selectionModel()->selectedRows())
        rows.insert(index.row());
    const auto &lines = resultsModel_->Lines();
    if (rows.empty()) {
        for (int i = 0; i < static_cast<int>(lines.size()); ++i)
            rows.insert(i);
    }
    QString text;
    for (const int row : rows)
        text += QString::fromStdString(TextLine(lines[static_cast<std::size_t>(row)])) + u'\n';
    QApplication::clipboard()->setText(text);
    SetStatus(tr("%n line(s) copied.", "", static_cast<int>(rows.size())));
}

void SearchHistoryWindow::Export() {
    QString filter;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export Results"), QString(), tr("Text (*.txt);;CSV (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    ExportTo(path,
             filter.startsWith(QLatin1String("CSV")) || path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive));
}

void SearchHistoryWindow::ExportTo(const QString &path, bool csv) {
    SetStatus(tr("Exporting..."));
    // Every line the shown search matches, oldest first, as the command line's export writes them.
    HistoryJobs *jobs = jobs_.get();
    Run([this, jobs, path, csv, query = shownQuery_, filter = shownFilter_](HistoryReader &reader,
                                                                            const std::string &openError) -> Done {
        std::string error = openError;
        std::size_t count = 0;
        bool ok = reader.IsOpen();
        if (ok) {
            QSaveFile file(path);
            ok = file.open(QIODevice::WriteOnly);
            if (!ok)
                error = file.errorString().toStdString();
            if (ok && csv)
                ok = file.write((CsvHeader() + "\r\n").c_str()) >= 0;
            if (ok) {
                reader.SetStopCheck([jobs] { return jobs->Stopping(); });
                ok = reader.ForEach(
                    query, filter,
                    [&](const HistoryLine &line) {
                        const std::string text = csv ? CsvLine(line) + "\r\n" : TextLine(line) + "\n";
                        ++count;
                        // A window closing meanwhile ends the export, and the file is not written at all.
                        return !jobs->Stopping() && file.write(text.data(), static_cast<qint64>(text.size())) >= 0;
                    },
                    error);
                reader.SetStopCheck({});
                if (jobs->Stopping()) {
                    file.cancelWriting();
                    ok = false;
                }
            }
            if (ok && !file.commit()) {
                ok = false;
                error = file.errorString().toStdString();
            }
        }
        return [this, path, ok, error, count] {
            if (ok)
                SetStatus(tr("%n line(s) exported to %1.", "", static_cast<int>(count)).arg(path));
            else
                SetStatus(tr("The results could not be exported to %1: %2").arg(path, QString::fromStdString(error)));
        };
    });
}

void SearchHistoryWindow::DeleteHistory() {
    DeleteHistoryDialog dialog(filters_->From()->text(), filters_->To()->text(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto range = dialog.Range();
    const QString question =
        range.everything
            ? tr("Delete the whole history, every line and visit? This cannot be undone. The chat pane keeps the "
                 "lines it holds in memory.")
            : tr("Delete the lines and visits from %1 to %2 (UTC)? This cannot be undone. The chat pane keeps the "
                 "lines it holds in memory.")
                  .arg(QString::fromStdString(FormatUtc(range.from)), QString::fromStdString(FormatUtc(range.to)));
    if (!confirm(question))
        return;
    if (range.everything)
        Delete(std::nullopt, std::nullopt);
    else
        Delete(range.from, range.to);
}

void SearchHistoryWindow::Delete(std::optional<std::int64_t> from, std::optional<std::int64_t> to) {
    SetStatus(tr("Deleting..."));
    Run([this, folder = folder_, from, to](HistoryReader &, const std::string &) -> Done {
        // Deleting needs a connection that may change the store; the searches keep their read-only one.
        HistoryReader changer;
        std::string error;
        std::vector<DeletedLines> lines;
        bool ok = changer.Open(folder, true, error);
        if (ok)
            ok = from || to ? changer.Delete(from.value_or(std::numeric_limits<std::int64_t>::min()),
                                             to.value_or(std::numeric_limits<std::int64_t>::max()), error, &lines)
                            : changer.DeleteAll(error, &lines);
        return [this, ok, error, lines = std::move(lines)] {
            if (!ok) {
                SetStatus(tr("The history could not be deleted: %1").arg(QString::fromStdString(error)));
                return;
            }
            if (deleted)
                deleted(lines);
            // The results shown may be gone.
            latest_ = ++generation_;
            runningSearch_ = 0;
            resultsModel_->SetLines({}, {});
            contextModel_->SetLines({}, {});
            more_->setEnabled(false);
            SetStatus(tr("History deleted. Search again to see what is left."));
        };
    });
}
