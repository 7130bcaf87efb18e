#include "admin/ui/AdminWidgets.h"

#include "admin/AdminText.h"
#include "controls/InputLimit.h"
#include "controls/LimitedTextEdit.h"
#include "sdk/Attributes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>

void DialogPrompt::ShowError(const std::string &title, const std::string &message) {
    QMessageBox::critical(parent_, Q(title), Q(message));
}

bool DialogPrompt::AskYesNo(const std::string &title, const std::string &question) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(question), QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

namespace {

// Room for any 32-bit value a server may report, sign included.
constexpr int kNumberLength = 11;

// A field's own limit counts characters (a world name); otherwise the attribute's, which counts UTF-8 bytes.
TextLimit LimitOf(const AttributeField &field) {
    if (field.maxLength != 0) {
        return {static_cast<int>(field.maxLength), LimitUnit::Characters};
    }
    return {static_cast<int>(AttributeMaxLength(field.attribute)), LimitUnit::Utf8Bytes};
}

} // namespace

AttributeForm::AttributeForm(std::span<const AttributeField> fields, QWidget *owner) : fields_(fields) {
    auto *digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), owner);
    for (const AttributeField &field : fields_) {
        QWidget *control = nullptr;
        switch (field.kind) {
        case FieldKind::Text: {
            auto *edit = new QLineEdit(owner);
            InputLimit::Attach(edit, LimitOf(field), Q(FieldName(field.label)));
            control = edit;
            break;
        }
        case FieldKind::MultiLineText: {
            auto *edit = new LimitedTextEdit(LimitOf(field), Q(FieldName(field.label)), owner);
            edit->setTabChangesFocus(true);
            edit->setMaximumHeight(edit->fontMetrics().lineSpacing() * 5);
            control = edit;
            break;
        }
        case FieldKind::Number: {
            auto *edit = new QLineEdit(owner);
            edit->setValidator(digits);
            InputLimit::Attach(edit, {kNumberLength, LimitUnit::Characters}, Q(FieldName(field.label)));
            control = edit;
            break;
        }
        case FieldKind::List:
            control = new QComboBox(owner);
            break;
        case FieldKind::Check:
        case FieldKind::InvertedCheck:
            control = new QCheckBox(QString::fromUtf8(field.label), owner);
            break;
        }
        control->setObjectName(QStringLiteral("attr%1").arg(field.attribute));
        control->setEnabled(false);
        controls_.push_back(control);
    }
}

void AttributeForm::AddRow(QFormLayout *form, std::size_t field) const {
    const AttributeField &f = fields_[field];
    if (f.kind == FieldKind::Check || f.kind == FieldKind::InvertedCheck) {
        form->addRow(controls_[field]);
    } else {
        form->addRow(QString::fromUtf8(f.label), controls_[field]);
    }
}

void AttributeForm::Show(const std::vector<FieldValue> &values) const {
    for (std::size_t i = 0; i < fields_.size() && i < values.size(); ++i) {
        QWidget *control = controls_[i];
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(Q(values[i].text));
        } else if (auto *text = qobject_cast<QPlainTextEdit *>(control)) {
            text->setPlainText(Q(values[i].text));
        } else if (auto *box = qobject_cast<QComboBox *>(control)) {
            box->setCurrentIndex(values[i].index < box->count() ? values[i].index : -1);
        } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
            check->setChecked(values[i].checked);
        }
    }
}

std::vector<FieldValue> AttributeForm::Read() const {
    std::vector<FieldValue> values(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        QWidget *control = controls_[i];
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            values[i].text = S(edit->text());
        } else if (auto *text = qobject_cast<QPlainTextEdit *>(control)) {
            values[i].text = S(text->toPlainText());
        } else if (auto *box = qobject_cast<QComboBox *>(control)) {
            values[i].index = box->currentIndex();
        } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
            values[i].checked = check->isChecked();
        }
    }
    return values;
}

void AttributeForm::SetListEntries(std::size_t field, const std::vector<std::string> &entries) const {
    if (auto *box = qobject_cast<QComboBox *>(controls_[field])) {
        box->clear();
        for (const std::string &entry : entries) {
            box->addItem(Q(entry));
        }
    }
}

void AttributeForm::SetEnabled(std::size_t field, bool enabled) const { controls_[field]->setEnabled(enabled); }

void AttributeForm::SetLineBreakSize(std::size_t field, int size) const {
    if (auto *edit = qobject_cast<LimitedTextEdit *>(controls_[field])) {
        TextLimit limit = edit->Limit()->Limit();
        limit.lineBreakSize = size;
        edit->Limit()->SetLimit(limit);
    }
}

void AttributeForm::SetText(std::size_t field, const std::string &text) const {
    if (auto *edit = qobject_cast<QLineEdit *>(controls_[field])) {
        edit->setText(Q(text));
    }
}
