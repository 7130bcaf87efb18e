#include "history/ui/VisitorsWindow.h"

#include "history/cli/HistoryExport.h"
#include "history/cli/UtcTime.h"
#include "history/ui/HistoryFilterFields.h"
#include "history/ui/HistoryJobs.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <chrono>

namespace {

constexpr std::int64_t kHourMs = 3600 * 1000;
constexpr std::int64_t kDayMs = 24 * kHourMs;

std::int64_t SystemNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The period's first moment and the one after its last, in UTC; nothing when the date cannot be read.
std::optional<std::pair<std::int64_t, std::int64_t>> PeriodRange(const QString &date, VisitorsWindow::Period period) {
    const auto day = ParseUtc(date.trimmed().left(10).toStdString(), false);
    if (!day)
        return std::nullopt;
    if (period == VisitorsWindow::Period::Day)
        return std::make_pair(*day, *day + kDayMs);
    using namespace std::chrono;
    const year_month_day ymd{floor<days>(sys_time<milliseconds>(milliseconds(*day)))};
    const sys_days first{ymd.year() / ymd.month() / 1};
    const sys_days next{(ymd.year() / ymd.month() + months(1)) / 1};
    return std::make_pair(duration_cast<milliseconds>(first.time_since_epoch()).count(),
                          duration_cast<milliseconds>(next.time_since_epoch()).count());
}

QString Label(std::int64_t start, VisitorsWindow::Period period) {
    const std::string text = FormatUtc(start); // YYYY-MM-DD HH:MM:SS
    return QString::fromStdString(period == VisitorsWindow::Period::Day ? text.substr(11, 2) : text.substr(8, 2));
}

QTableWidgetItem *Item(const QString &text, const QVariant &sortKey = {}) {
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (sortKey.isValid())
        item->setData(Qt::UserRole, sortKey);
    return item;
}

// Numbers and times sort by their value, not by their text.
class SortedItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem &other) const override {
        return data(Qt::UserRole).toLongLong() < other.data(Qt::UserRole).toLongLong();
    }
};

QTableWidgetItem *Number(const QString &text, std::int64_t value) {
    auto *item = new SortedItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(value));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

VisitorsWindow::VisitorsWindow(std::string folder, QWidget *parent)
    : QWidget(parent, Qt::Window), now(&SystemNow), jobs_(std::make_unique<HistoryJobs>(std::move(folder))) {
    setWindowTitle(tr("Visitors"));

    filters_ = new HistoryFilterFields(false, this);
    auto *show = new QPushButton(tr("&Show"), this);
    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(filters_, 1);
    filterRow->addWidget(show);

    table_ = new QTableWidget(0, 6, this);
    table_->setHorizontalHeaderLabels(
        {tr("Name"), tr("Citizen"), tr("Visits"), tr("First seen (UTC)"), tr("Last seen (UTC)"), tr("Total time")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    table_->setSortingEnabled(true);

    period_ = new QComboBox(this);
    period_->addItem(tr("A day, by hour"));
    period_->addItem(tr("A month, by day"));
    date_ = new QLineEdit(this);
    date_->setPlaceholderText(tr("YYYY-MM-DD"));
    auto *chartRow = new QHBoxLayout;
    auto *periodLabel = new QLabel(tr("&Chart:"), this);
    periodLabel->setBuddy(period_);
    auto *dateLabel = new QLabel(tr("&Of:"), this);
    dateLabel->setBuddy(date_);
    chartRow->addWidget(periodLabel);
    chartRow->addWidget(period_);
    chartRow->addWidget(dateLabel);
    chartRow->addWidget(date_);
    chartRow->addStretch(1);

    chart_ = new QChartView(this);
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->chart()->legend()->hide();
    chart_->setMinimumHeight(220);
    auto *chartBox = new QWidget(this);
    auto *chartLayout = new QVBoxLayout(chartBox);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addLayout(chartRow);
    chartLayout->addWidget(chart_, 1);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(chartBox);

    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);
    progress_->setMaximumWidth(120);
    progress_->hide();
    auto *exportTable = new QPushButton(tr("&Export Table..."), this);
    auto *saveChart = new QPushButton(tr("Save C&hart..."), this);
    auto *close = new QPushButton(tr("Close"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(progress_);
    for (QPushButton *b : {show, exportTable, saveChart, close}) {
        b->setAutoDefault(false);
        if (b != show)
            buttons->addWidget(b);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(show, &QPushButton::clicked, this, &VisitorsWindow::Refresh);
    connect(filters_, &HistoryFilterFields::returnPressed, this, &VisitorsWindow::Refresh);
    connect(date_, &QLineEdit::returnPressed, this, &VisitorsWindow::Refresh);
    connect(period_, &QComboBox::activated, this, &VisitorsWindow::Refresh);
    connect(exportTable, &QPushButton::clicked, this, &VisitorsWindow::ExportTable);
    connect(saveChart, &QPushButton::clicked, this, &VisitorsWindow::SaveChart);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Escape closes this window only, never the program's main window.
    auto *escape = new QShortcut(Qt::Key_Escape, this, nullptr, nullptr, Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    SetDateToToday();
    resize(800, 650);
}

VisitorsWindow::~VisitorsWindow() {
    jobs_.reset(); // no job may post to this window once it is gone
}

QChart *VisitorsWindow::Chart() const { return chart_->chart(); }

void VisitorsWindow::SetDateToToday() { date_->setText(QString::fromStdString(FormatUtc(now()).substr(0, 10))); }

void VisitorsWindow::Refresh() {
    HistoryFilter filter;
    QString error;
    if (!filters_->Read(filter, error)) {
        status_->setText(error);
        return;
    }
    const Period period = period_->currentIndex() == 1 ? Period::Month : Period::Day;
    if (date_->text().trimmed().isEmpty())
        SetDateToToday();
    const auto range = PeriodRange(date_->text(), period);
    if (!range) {
        status_->setText(tr("\"%1\" is not a date: write it as YYYY-MM-DD (UTC).").arg(date_->text()));
        return;
    }
    HistoryFilter chartFilter = filter;
    chartFilter.from = range->first;
    chartFilter.to = range->second;
    const std::int64_t bucket = period == Period::Day ? kHourMs : kDayMs;
    const std::int64_t at = now();
    const int generation = ++generation_;
    ++pending_;
    progress_->show();
    status_->setText(tr("Reading..."));
    jobs_->Post([=, this](HistoryReader &reader, const std::string &openError) {
        std::vector<VisitorSummary> visitors;
        std::vector<PresenceBucket> presence;
        if (reader.IsOpen()) {
            visitors = reader.Visitors(filter, at);
            presence = reader.Presence(chartFilter, bucket, at);
        }
        QMetaObject::invokeMethod(
            this,
            [=, this, visitors = std::move(visitors), presence = std::move(presence)]() mutable {
                if (--pending_ == 0)
                    progress_->hide();
                if (generation != generation_)
                    return;
                if (!openError.empty()) {
                    status_->setText(QString::fromStdString(openError));
                    return;
                }
                ShowFigures(std::move(visitors), std::move(presence), period);
            },
            Qt::QueuedConnection);
    });
}

void VisitorsWindow::ShowFigures(std::vector<VisitorSummary> visitors, std::vector<PresenceBucket> presence,
                                 Period period) {
    visitors_ = std::move(visitors);
    presence_ = std::move(presence);

    table_->setSortingEnabled(false);
    table_->setRowCount(static_cast<int>(visitors_.size()));
    for (int row = 0; row < static_cast<int>(visitors_.size()); ++row) {
        const VisitorSummary &v = visitors_[static_cast<std::size_t>(row)];
        table_->setItem(row, 0, Item(QString::fromStdString(PrintableText(v.name))));
        table_->setItem(row, 1, Number(v.citizen ? QString::number(*v.citizen) : QString(), v.citizen.value_or(-1)));
        table_->setItem(row, 2, Number(QString::number(v.visits), v.visits));
        table_->setItem(row, 3, Number(QString::fromStdString(FormatUtc(v.firstSeen)), v.firstSeen));
        table_->setItem(row, 4, Number(QString::fromStdString(FormatUtc(v.lastSeen)), v.lastSeen));
        table_->setItem(row, 5, Number(QString::fromStdString(FormatDuration(v.totalMs)), v.totalMs));
    }
    table_->setSortingEnabled(true);
    table_->resizeColumnsToContents();

    QChart *chart = chart_->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis); // the chart lets go of a removed axis
        delete axis;
    }
    auto *set = new QBarSet(tr("People present"));
    QStringList labels;
    int most = 0;
    for (const PresenceBucket &b : presence_) {
        *set << b.people;
        labels << Label(b.start, period);
        most = std::max(most, b.people);
    }
    auto *series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(labels);
    x->setTitleText(period == Period::Day ? tr("Hour (UTC)") : tr("Day"));
    auto *y = new QValueAxis;
    y->setRange(0, std::max(most, 1));
    y->setTickCount(std::min(std::max(most, 1), 10) + 1);
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTitleText(tr("People present"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    // The title is read as markup: it names the period as read, not as typed.
    const QString day = presence_.empty() ? QString() : QString::fromStdString(FormatUtc(presence_.front().start));
    chart->setTitle(period == Period::Day ? tr("People present on %1, per hour").arg(day.left(10))
                                          : tr("People present in %1, per day").arg(day.left(7)));

    status_->setText(tr("%n person(s).", "", static_cast<int>(visitors_.size())));
}

void VisitorsWindow::ExportTable() {
    QString filter;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export Table"), QString(), tr("CSV (*.csv);;Text (*.txt)"), &filter);
    if (!path.isEmpty())
        ExportTableTo(path, !filter.startsWith(QLatin1String("Text")) && !path.endsWith(QLatin1String(".txt")));
}

void VisitorsWindow::SaveChart() {
    QString filter;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save Chart"), QString(), tr("PNG image (*.png);;CSV (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    if (filter.startsWith(QLatin1String("CSV")) || path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        SaveChartCsv(path);
    else
        SaveChartPng(path);
}

namespace {

bool WriteAll(const QString &path, const std::string &text, QString &error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
        !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool VisitorsWindow::ExportTableTo(const QString &path, bool csv) {
    std::string text = (csv ? VisitorsCsvHeader() : VisitorsTextHeader()) + (csv ? "\r\n" : "\n");
    for (const VisitorSummary &v : visitors_)
        text += csv ? VisitorCsvLine(v) + "\r\n" : VisitorTextLine(v) + "\n";
    QString error;
    const bool ok = WriteAll(path, text, error);
    status_->setText(ok ? tr("The table was saved to %1.").arg(path)
                        : tr("The table could not be saved to %1: %2").arg(path, error));
    return ok;
}

bool VisitorsWindow::SaveChartCsv(const QString &path) {
    std::string text = "period_start,people\r\n";
    for (const PresenceBucket &b : presence_)
        text += FormatUtc(b.start) + ',' + std::to_string(b.people) + "\r\n";
    QString error;
    const bool ok = WriteAll(path, text, error);
    status_->setText(ok ? tr("The chart was saved to %1.").arg(path)
                        : tr("The chart could not be saved to %1: %2").arg(path, error));
    return ok;
}

bool VisitorsWindow::SaveChartPng(const QString &path) {
    const bool ok = chart_->grab().save(path, "PNG");
    status_->setText(ok ? tr("The chart was saved to %1.").arg(path)
                        : tr("The chart could not be saved to %1.").arg(path));
    return ok;
}
