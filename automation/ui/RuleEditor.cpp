#include "automation/ui/RuleEditor.h"

#include "controls/InputLimit.h"
#include "controls/LimitedTextEdit.h"
#include "controls/WarningLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A line of chat or a whisper holds at most this many bytes; a rule's texts are said in them.
constexpr TextLimit kLineLimit{255, LimitUnit::Utf8Bytes};
constexpr TextLimit kNumberLimit{16, LimitUnit::Characters};
constexpr TextLimit kActionsLimit{50 * 264, LimitUnit::Utf8Bytes};

QString Q(const std::string &s) { return QString::fromStdString(s); }

const char *const kWhens[] = {"arrival", "arrival first-visit", "departure", "chat", "whisper", "click", "every", "at"};

struct FieldRow {
    RuleFields::Field field;
    const char *label;
    const char *name; // for the typing limit's message
    const char *hint;
    bool number;
};

constexpr FieldRow kRows[] = {
    {RuleFields::Name, "Na&me:", "Name", "", false},
    {RuleFields::WhenArgument, "Minutes or t&ime:", "Minutes or time", "every: minutes; at: a time such as 18:30",
     true},
    {RuleFields::NamePattern, "&Who:", "Who", "a name pattern with * and ?, such as Al*", false},
    {RuleFields::Words, "W&ords:", "Words", "words or phrases, separated by commas", false},
    {RuleFields::Regex, "Regular e&xpression:", "Regular expression", "", false},
    {RuleFields::Flood, "&Flood:", "Flood", "lines and seconds, such as 5 10", true},
    {RuleFields::Worlds, "Worl&ds:", "Worlds", "separated by commas; empty for any", false},
    {RuleFields::Build, "B&uild:", "Build", "such as 39, 20-39 or 20-", true},
    {RuleFields::PersonCooldown, "Cooldown per &person:", "Cooldown per person", "seconds", true},
    {RuleFields::RuleCooldown, "Cooldown per ru&le:", "Cooldown per rule", "seconds", true},
    {RuleFields::Warning, "W&arning:", "Warning", "whispered at a first offence; later ones act", false},
};

QLabel *ProblemLabel(QWidget *parent) {
    auto *label = new WarningLabel(parent);
    label->setWordWrap(true);
    label->hide();
    return label;
}

BotEventType EventFor(RuleTrigger trigger) {
    switch (trigger) {
    case RuleTrigger::Arrival:
        return BotEventType::Arrival;
    case RuleTrigger::Departure:
        return BotEventType::Departure;
    case RuleTrigger::Chat:
        return BotEventType::Chat;
    case RuleTrigger::Whisper:
        return BotEventType::Whisper;
    case RuleTrigger::Click:
        return BotEventType::Click;
    case RuleTrigger::Every:
    case RuleTrigger::At:
        return BotEventType::Timer;
    }
    return BotEventType::Chat;
}

} // namespace

RuleEditor::RuleEditor(const RuleFields &fields, std::vector<std::string> otherNames, RuleTrial trial, QWidget *parent)
    : QDialog(parent), otherNames_(std::move(otherNames)), trial_(std::move(trial)) {
    setWindowTitle(fields.text[RuleFields::Name].empty() ? QStringLiteral("New Rule") : QStringLiteral("Edit Rule"));
    auto *form = new QFormLayout;
    const auto addRow = [&](const char *label, QWidget *field, RuleFields::Field which) {
        auto *column = new QVBoxLayout;
        column->setSpacing(1);
        column->addWidget(field);
        problems_[which] = ProblemLabel(this);
        column->addWidget(problems_[which]);
        auto *name = new QLabel(QString::fromUtf8(label), this);
        name->setBuddy(field);
        form->addRow(name, column);
    };
    const auto makeEdit = [&](const FieldRow &row) {
        auto *edit = new QLineEdit(Q(fields.text[row.field]), this);
        edit->setPlaceholderText(QString::fromUtf8(row.hint));
        InputLimit::Attach(edit, row.number ? kNumberLimit : kLineLimit, QString::fromUtf8(row.name));
        edits_[row.field] = edit;
        return edit;
    };

    addRow(kRows[0].label, makeEdit(kRows[0]), RuleFields::Name);
    on_ = new QCheckBox(QStringLiteral("O&n"), this);
    on_->setChecked(fields.enabled);
    form->addRow(QString(), on_);

    when_ = new QComboBox(this);
    for (const char *when : kWhens) {
        when_->addItem(QString::fromUtf8(when));
    }
    const int at = when_->findText(Q(fields.text[RuleFields::When]));
    when_->setCurrentIndex(at < 0 ? 3 : at);
    addRow("W&hen:", when_, RuleFields::When);
    for (std::size_t i = 1; i < std::size(kRows); ++i) {
        addRow(kRows[i].label, makeEdit(kRows[i]), kRows[i].field);
        if (kRows[i].field == RuleFields::Build) {
            auto *row = new QHBoxLayout;
            const char *names[] = {"&Citizens", "&Visitors", "&Bots"};
            for (int c = 0; c < 3; ++c) {
                classes_[c] = new QCheckBox(QString::fromUtf8(names[c]), this);
                classes_[c]->setChecked(fields.text[RuleFields::Classes].find(
                                            PersonClassName(static_cast<PersonClass>(c))) != std::string::npos);
                row->addWidget(classes_[c]);
            }
            row->addStretch();
            auto *column = new QVBoxLayout;
            column->addLayout(row);
            problems_[RuleFields::Classes] = ProblemLabel(this);
            column->addWidget(problems_[RuleFields::Classes]);
            form->addRow(QStringLiteral("Only for:"), column);
        }
    }
    std::string actions = fields.text[RuleFields::Actions];
    actions_ = new LimitedTextEdit(kActionsLimit, QStringLiteral("Then"), this);
    actions_->setPlainText(Q(actions));
    actions_->setTabChangesFocus(true);
    actions_->setPlaceholderText(QStringLiteral("one a line: say, whisper, console, notice or notify and a text; "
                                                "eject and minutes; teleport [world] x y z [direction]\n"
                                                "texts may hold {name}, {world}, {time} and {people}"));
    actions_->setMinimumHeight(80);
    addRow("&Then:", actions_, RuleFields::Actions);

    auto *trial_box = new QGroupBox(QStringLiteral("Try with a sample event"), this);
    auto *trialForm = new QFormLayout(trial_box);
    sampleName_ = new QLineEdit(QStringLiteral("Alice"), trial_box);
    InputLimit::Attach(sampleName_, kLineLimit, QStringLiteral("Sample person"));
    sampleText_ = new QLineEdit(QStringLiteral("hello"), trial_box);
    InputLimit::Attach(sampleText_, kLineLimit, QStringLiteral("Sample text"));
    try_ = new QPushButton(QStringLiteral("T&ry"), trial_box);
    try_->setAutoDefault(false);
    tried_ = new QLabel(trial_box);
    tried_->setWordWrap(true);
    tried_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (const auto &[label, field] : {std::pair{"&Sample person:", sampleName_}, {"Sample t&ext:", sampleText_}}) {
        auto *name = new QLabel(QString::fromUtf8(label), trial_box);
        name->setBuddy(field);
        trialForm->addRow(name, field);
    }
    trialForm->addRow(try_, tried_);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(trial_box);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &RuleEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RuleEditor::reject);
    connect(try_, &QPushButton::clicked, this, &RuleEditor::Try);
    connect(when_, &QComboBox::currentIndexChanged, this, &RuleEditor::WhenChanged);
    WhenChanged();
    edits_[RuleFields::Name]->setFocus();
}

RuleFields RuleEditor::Fields() const {
    RuleFields fields;
    fields.enabled = on_->isChecked();
    for (int f = 0; f < RuleFields::Count; ++f) {
        // A field the trigger has no use for is left out, whatever it still shows.
        if (edits_[f] && edits_[f]->isEnabled()) {
            fields.text[f] = edits_[f]->text().toStdString();
        }
    }
    fields.text[RuleFields::When] = when_->currentText().toStdString();
    for (int c = 0; c < 3; ++c) {
        if (classes_[c]->isChecked()) {
            fields.text[RuleFields::Classes] += std::string(fields.text[RuleFields::Classes].empty() ? "" : " ") +
                                                PersonClassName(static_cast<PersonClass>(c));
        }
    }
    fields.text[RuleFields::Actions] = actions_->toPlainText().toStdString();
    return fields;
}

std::optional<Rule> RuleEditor::Check() {
    RuleFieldsResult read = ReadRuleFields(Fields(), otherNames_);
    QWidget *first = nullptr;
    for (int f = 0; f < RuleFields::Count; ++f) {
        if (!problems_[f]) {
            continue;
        }
        problems_[f]->setText(Q(read.problems[f]));
        problems_[f]->setVisible(!read.problems[f].empty());
        if (!read.problems[f].empty() && !first) {
            first = f == RuleFields::When      ? static_cast<QWidget *>(when_)
                    : f == RuleFields::Actions ? static_cast<QWidget *>(actions_)
                    : f == RuleFields::Classes ? static_cast<QWidget *>(classes_[0])
                                               : static_cast<QWidget *>(edits_[f]);
        }
    }
    if (first) {
        first->setFocus();
    }
    return std::move(read.rule);
}

void RuleEditor::accept() {
    result_ = Check();
    if (result_) {
        QDialog::accept();
    }
}

void RuleEditor::Try() {
    const std::optional<Rule> rule = Check();
    if (!rule) {
        tried_->setText(QStringLiteral("Mend the fields marked in red first."));
        return;
    }
    BotEvent sample;
    sample.type = EventFor(rule->trigger);
    sample.name = sampleName_->text().toStdString();
    sample.session = 1;
    sample.personClass = ClassOfName(sample.name);
    sample.firstVisitToday = true;
    sample.text = sampleText_->text().toStdString();
    sample.world = trial_.world ? trial_.world() : std::string();
    sample.worldBuild = trial_.worldBuild ? trial_.worldBuild() : 0;
    sample.time = QDateTime::currentMSecsSinceEpoch();
    QStringList lines;
    if (trial_.run) {
        for (const std::string &line : trial_.run(*rule, sample)) {
            lines << Q(line);
        }
    }
    tried_->setText(lines.join(QLatin1Char('\n')));
}

void RuleEditor::WhenChanged() {
    const QString when = when_->currentText();
    const bool timed = when == QLatin1String("every") || when == QLatin1String("at");
    edits_[RuleFields::WhenArgument]->setEnabled(timed);
    const bool spoken = when == QLatin1String("chat") || when == QLatin1String("whisper");
    edits_[RuleFields::Words]->setEnabled(spoken);
    edits_[RuleFields::Regex]->setEnabled(spoken);
    edits_[RuleFields::Flood]->setEnabled(spoken);
    sampleText_->setEnabled(spoken);
}
