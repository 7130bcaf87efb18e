#pragma once

#include "automation/RulesDocument.h"
#include "automation/ui/RuleEditor.h"
#include "controls/WarningLabel.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// Options, Rules...: the rules "when ... then ...", each with its name and an on/off check box, to add, edit,
// delete, move and save. Saving writes the rules file and hands it to the bot at once (saved); a file changed by
// hand meanwhile is not overwritten without asking.
class RulesWindow : public QDialog {
    Q_OBJECT

public:
    RulesWindow(const std::string &path, RuleTrial trial, std::function<void()> saved, QWidget *parent = nullptr);

    RulesDocument &Document() { return document_; }
    QListWidget *List() const { return list_; }
    QPushButton *Button(const char *name) const;
    QLabel *Banner() const { return banner_; }
    // The editor open now, if any (a closed one waits to be deleted).
    RuleEditor *Editor() const { return editor_ && editor_->isVisible() ? editor_.data() : nullptr; }

    // For a window attached to a bot elsewhere: the rules that act are that bot's, so the window says so in the
    // banner and offers nothing to edit, not even its own file, which nothing runs meanwhile.
    void ShowRulesElsewhere(const QString &text);
    bool RulesElsewhere() const { return elsewhere_; }

    // The file read again when nothing here is unsaved (the window opened anew).
    void Refresh();
    void AddRule();
    void EditRule();
    void DeleteRule();
    void MoveRule(int by);
    // Saves unless the file changed by hand or holds rules the window cannot show; then the banner says so.
    bool Save(bool force = false);
    void Reload();

    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Fill(int current);
    void OpenEditor(std::optional<std::size_t> index);
    void ShowBanner(const QString &text, bool conflict);
    void Changed();

    RulesDocument document_;
    RuleTrial trial_;
    std::function<void()> saved_;
    QListWidget *list_;
    WarningLabel *banner_;
    QPushButton *reload_;
    QPushButton *saveAnyway_;
    QPointer<RuleEditor> editor_;
    bool filling_ = false;
    bool elsewhere_ = false;
};
