#include "automation/ui/RulesWindow.h"

#include "automation/RuleFields.h"
#include "controls/WarningLabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

QString ItemText(const Rule &rule) { return Q(rule.name) + QStringLiteral(": ") + Q(DescribeRule(rule)); }

} // namespace

RulesWindow::RulesWindow(const std::string &path, RuleTrial trial, std::function<void()> saved, QWidget *parent)
    : QDialog(parent), document_(path), trial_(std::move(trial)), saved_(std::move(saved)) {
    resize(760, 420);
    list_ = new QListWidget(this);
    list_->installEventFilter(this);
    banner_ = new WarningLabel(this);
    banner_->setWordWrap(true);
    reload_ = new QPushButton(QStringLiteral("Re&load"), this);
    saveAnyway_ = new QPushButton(QStringLiteral("Save An&yway"), this);

    auto *bannerRow = new QHBoxLayout;
    bannerRow->addWidget(banner_, 1);
    bannerRow->addWidget(reload_);
    bannerRow->addWidget(saveAnyway_);

    auto *buttons = new QVBoxLayout;
    const struct {
        const char *name;
        const char *text;
        std::function<void()> action;
    } commands[] = {
        {"add", "&Add...", [this] { AddRule(); }},       {"edit", "&Edit...", [this] { EditRule(); }},
        {"delete", "&Delete", [this] { DeleteRule(); }}, {"up", "Move &Up", [this] { MoveRule(-1); }},
        {"down", "Move Do&wn", [this] { MoveRule(1); }}, {"save", "&Save", [this] { Save(); }},
        {"close", "Close", [this] { reject(); }},
    };
    for (const auto &command : commands) {
        auto *button = new QPushButton(QString::fromUtf8(command.text), this);
        button->setObjectName(QString::fromUtf8(command.name));
        // Enter in the list edits the rule; no button takes it over.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, command.action);
        if (std::string_view(command.name) == "save") {
            buttons->addStretch();
        }
        buttons->addWidget(button);
    }
    auto *top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bannerRow);

    reload_->setAutoDefault(false);
    saveAnyway_->setAutoDefault(false);
    connect(reload_, &QPushButton::clicked, this, &RulesWindow::Reload);
    connect(saveAnyway_, &QPushButton::clicked, this, [this] { Save(true); });
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (!filling_) {
            document_.SetEnabled(static_cast<std::size_t>(list_->row(item)), item->checkState() == Qt::Checked);
            Changed();
        }
    });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { EditRule(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { Changed(); });
    Fill(0);
}

QPushButton *RulesWindow::Button(const char *name) const { return findChild<QPushButton *>(QString::fromUtf8(name)); }

void RulesWindow::ShowRulesElsewhere(const QString &text) {
    elsewhere_ = true;
    filling_ = true;
    list_->clear();
    filling_ = false;
    list_->setEnabled(false);
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setEnabled(button == Button("close"));
    }
    ShowBanner(text, false);
    banner_->SetWarning(false);
    setWindowTitle(QStringLiteral("Rules"));
}

void RulesWindow::Refresh() {
    if (!elsewhere_ && !document_.Modified()) {
        Reload();
    }
}

void RulesWindow::Reload() {
    if (elsewhere_) {
        return;
    }
    document_.Reload();
    Fill(list_->currentRow() < 0 ? 0 : list_->currentRow());
}

void RulesWindow::Fill(int current) {
    filling_ = true;
    list_->clear();
    for (const Rule &rule : document_.Rules()) {
        auto *item = new QListWidgetItem(ItemText(rule), list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(item->text());
    }
    filling_ = false;
    if (list_->count() > 0) {
        list_->setCurrentRow(std::clamp(current, 0, list_->count() - 1));
    }
    if (!document_.Problems().empty()) {
        QStringList lines;
        for (const std::string &problem : document_.Problems()) {
            lines << Q(problem);
        }
        ShowBanner(QStringLiteral("Left out of the list, with mistakes:\n") + lines.join(QLatin1Char('\n')), false);
    } else {
        ShowBanner(QString(), false);
    }
    Changed();
}

void RulesWindow::ShowBanner(const QString &text, bool conflict) {
    banner_->setText(text);
    banner_->setVisible(!text.isEmpty());
    reload_->setVisible(conflict);
    saveAnyway_->setVisible(conflict);
}

void RulesWindow::Changed() {
    setWindowTitle(document_.Modified() ? QStringLiteral("Rules *") : QStringLiteral("Rules"));
    const bool any = list_->currentRow() >= 0;
    Button("edit")->setEnabled(any);
    Button("delete")->setEnabled(any);
    Button("up")->setEnabled(any && list_->currentRow() > 0);
    Button("down")->setEnabled(any && list_->currentRow() + 1 < list_->count());
}

void RulesWindow::AddRule() { OpenEditor(std::nullopt); }

void RulesWindow::EditRule() {
    if (list_->currentRow() >= 0) {
        OpenEditor(static_cast<std::size_t>(list_->currentRow()));
    }
}

void RulesWindow::OpenEditor(std::optional<std::size_t> index) {
    if (elsewhere_) {
        return;
    }
    if (Editor()) {
        Editor()->activateWindow();
        return;
    }
    RuleFields fields;
    fields.text[RuleFields::When] = "chat";
    if (index) {
        fields = RuleFields::From(document_.Rules()[*index]);
    }
    editor_ = new RuleEditor(fields, document_.OtherNames(index), trial_, this);
    editor_->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor_, &QDialog::accepted, this, [this, index, editor = editor_.data()] {
        Rule rule = *editor->Result();
        if (index) {
            document_.Replace(*index, std::move(rule));
            Fill(static_cast<int>(*index));
        } else {
            document_.Add(std::move(rule));
            Fill(static_cast<int>(document_.Rules().size()) - 1);
        }
        list_->setFocus();
    });
    editor_->open();
}

void RulesWindow::DeleteRule() {
    const int row = list_->currentRow();
    if (row < 0 || elsewhere_) {
        return;
    }
    document_.Remove(static_cast<std::size_t>(row));
    Fill(row);
}

void RulesWindow::MoveRule(int by) {
    const int row = list_->currentRow();
    if (row >= 0 && !elsewhere_ && document_.Move(static_cast<std::size_t>(row), by)) {
        Fill(row + by);
    }
}

bool RulesWindow::Save(bool force) {
    if (elsewhere_) {
        return false;
    }
    switch (document_.Save(force)) {
    case RulesDocument::SaveOutcome::Saved:
        ShowBanner(QString(), false);
        Changed();
        if (saved_) {
            saved_();
        }
        return true;
    case RulesDocument::SaveOutcome::ChangedOnDisk:
        ShowBanner(Q(document_.Error()) + QStringLiteral(" Reload it (your changes here are lost) or save anyway?"),
                   true);
        return false;
    case RulesDocument::SaveOutcome::WouldDropBroken:
        ShowBanner(Q(document_.Error()) + QStringLiteral(" Mend the file and reload it, or save anyway?"), true);
        return false;
    case RulesDocument::SaveOutcome::Failed:
        ShowBanner(Q(document_.Error()), false);
        return false;
    }
    return false;
}

void RulesWindow::reject() {
    if (!elsewhere_ && document_.Modified()) {
        const auto answer =
            QMessageBox::question(this, QStringLiteral("Rules"), QStringLiteral("Save the changes to the rules?"),
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !Save())) {
            return;
        }
        if (answer == QMessageBox::Discard) {
            Reload();
        }
    }
    QDialog::reject();
}

bool RulesWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            EditRule();
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            DeleteRule();
            return true;
        }
        if (key->modifiers() & Qt::AltModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            MoveRule(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
