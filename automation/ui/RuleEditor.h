#pragma once

#include "automation/BotEvent.h"
#include "automation/RuleFields.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class LimitedTextEdit;

// What a rule would do, without doing it: the engine's Try, and where the bot is for the sample event.
struct RuleTrial {
    std::function<std::vector<std::string>(const Rule &rule, const BotEvent &sample)> run;
    std::function<std::string()> world;
    std::function<int()> worldBuild;
};

// One rule's fields, each checked as the rules file reads it, with a mistake told under its field; OK keeps the
// dialog open until every field is right. Try describes what the rule would do for a sample event.
class RuleEditor : public QDialog {
    Q_OBJECT

public:
    RuleEditor(const RuleFields &fields, std::vector<std::string> otherNames, RuleTrial trial,
               QWidget *parent = nullptr);

    // The rule, once OK took it.
    const std::optional<Rule> &Result() const { return result_; }
    RuleFields Fields() const;

    QLineEdit *Edit(RuleFields::Field field) const { return edits_[field]; }
    QComboBox *WhenBox() const { return when_; }
    QCheckBox *ClassBox(PersonClass personClass) const { return classes_[static_cast<int>(personClass)]; }
    LimitedTextEdit *ActionsEdit() const { return actions_; }
    QLabel *Problem(RuleFields::Field field) const { return problems_[field]; }
    QLineEdit *SampleName() const { return sampleName_; }
    QLineEdit *SampleText() const { return sampleText_; }
    QPushButton *TryButton() const { return try_; }
    QLabel *TryResult() const { return tried_; }

    void accept() override;

private:
    // Shows each field's mistake under it; the rule when there is none.
    std::optional<Rule> Check();
    void Try();
    void WhenChanged();

    std::vector<std::string> otherNames_;
    RuleTrial trial_;
    QCheckBox *on_;
    QComboBox *when_;
    QLineEdit *edits_[RuleFields::Count] = {};
    QCheckBox *classes_[3] = {};
    LimitedTextEdit *actions_;
    QLabel *problems_[RuleFields::Count] = {};
    QLineEdit *sampleName_;
    QLineEdit *sampleText_;
    QPushButton *try_;
    QLabel *tried_;
    std::optional<Rule> result_;
};
