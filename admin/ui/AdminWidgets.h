#pragma once

#include "admin/AdminSdk.h"
#include "admin/AttributeFields.h"

#include <QString>

#include <span>
#include <string>
#include <vector>

class QFormLayout;
class QWidget;

inline QString Q(const std::string &text) { return QString::fromStdString(text); }
inline std::string S(const QString &text) { return text.toStdString(); }

// Message boxes over a dialog.
class DialogPrompt final : public AdminPrompt {
public:
    explicit DialogPrompt(QWidget *parent) : parent_(parent) {}
    void ShowError(const std::string &title, const std::string &message) override;
    bool AskYesNo(const std::string &title, const std::string &question) override;

private:
    QWidget *parent_;
};

// One control per row of a field table. Controls are named "attr<number>" so that tests can find them.
class AttributeForm {
public:
    // Makes the controls (parented to owner) without placing them.
    AttributeForm(std::span<const AttributeField> fields, QWidget *owner);

    QWidget *Control(std::size_t field) const { return controls_[field]; }
    // Adds the row of one field to a form: a label and the control, or the check box alone.
    void AddRow(QFormLayout *form, std::size_t field) const;

    void Show(const std::vector<FieldValue> &values) const;
    std::vector<FieldValue> Read() const;
    void SetListEntries(std::size_t field, const std::vector<std::string> &entries) const;
    void SetEnabled(std::size_t field, bool enabled) const;
    // What a line break of a multi-line field weighs against its limit (2 when it is sent as CR LF).
    void SetLineBreakSize(std::size_t field, int size) const;
    // Sets one text control, keeping the others as the user left them.
    void SetText(std::size_t field, const std::string &text) const;

private:
    std::span<const AttributeField> fields_;
    std::vector<QWidget *> controls_;
};
