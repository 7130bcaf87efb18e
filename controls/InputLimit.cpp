#include "controls/InputLimit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QValidator>

#include <algorithm>

namespace {

// Asks the edit's own validator first, then the limit. A change made while the edit has no undo step is the
// program's (setText clears the undo history, every change of the user's adds a step), so it is never refused.
class LimitValidator final : public QValidator {
public:
    LimitValidator(InputLimit *limit, QLineEdit *edit, const QValidator *inner)
        : QValidator(limit), limit_(limit), edit_(edit), inner_(inner) {}

    State validate(QString &text, int &position) const override {
        State state = Acceptable;
        if (inner_) {
            state = inner_->validate(text, position);
            if (state == Invalid) {
                return Invalid;
            }
        }
        if (!edit_->isUndoAvailable()) {
            limit_->NoteProgramText(text);
            return state;
        }
        if (limit_->Allows(text)) {
            return state;
        }
        limit_->Refuse(limit_->Typing());
        return Invalid;
    }

    void fixup(QString &text) const override {
        if (inner_) {
            inner_->fixup(text);
        }
    }

private:
    InputLimit *limit_;
    QLineEdit *edit_;
    QPointer<const QValidator> inner_;
};

} // namespace

InputLimit::InputLimit(QWidget *field, TextLimit limit, const QString &fieldName)
    : QObject(field), field_(field), limit_(limit), fieldName_(fieldName), room_(limit.maximum) {
    setObjectName(QStringLiteral("inputLimit"));
}

InputLimit *InputLimit::Attach(QLineEdit *edit, TextLimit limit, const QString &fieldName) {
    if (InputLimit *existing = Of(edit)) {
        existing->SetLimit(limit);
        existing->fieldName_ = fieldName;
        return existing;
    }
    auto *inputLimit = new InputLimit(edit, limit, fieldName);
    edit->setMaxLength(32767); // QLineEdit's own default, which is also its most
    edit->setValidator(new LimitValidator(inputLimit, edit, edit->validator()));
    edit->installEventFilter(inputLimit);
    inputLimit->NoteProgramText(edit->text());
    return inputLimit;
}

InputLimit *InputLimit::Of(const QWidget *field) {
    return field ? field->findChild<InputLimit *>(QStringLiteral("inputLimit"), Qt::FindDirectChildrenOnly) : nullptr;
}

void InputLimit::SetLimit(TextLimit limit) {
    limit_ = limit;
    room_ = limit.maximum;
}

bool InputLimit::Allows(const QString &after) const { return TextSize(after, limit_) <= room_; }

void InputLimit::NoteProgramText(const QString &text) { room_ = std::max(limit_.maximum, TextSize(text, limit_)); }

void InputLimit::Refuse(bool typed) {
    if (typed) {
        return;
    }
    const QString message = Message();
    emit Refused(message);
    if (showsMessage_) {
        // Not from inside the edit's own change: the box opens once the edit is done with the event.
        QMetaObject::invokeMethod(
            this, [this, message] { ShowMessage(message); }, Qt::QueuedConnection);
    }
}

bool InputLimit::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        typing_ = !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste);
    } else if (event->type() != QEvent::ShortcutOverride) {
        typing_ = false;
    }
    return QObject::eventFilter(watched, event);
}

void InputLimit::ShowMessage(const QString &message) {
    if (box_) {
        box_->setText(message);
        return;
    }
    QWidget *window = field_->window();
    const QString title = window->windowTitle().isEmpty() ? QStringLiteral("Gabbler") : window->windowTitle();
    box_ = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, window);
    box_->setObjectName(QStringLiteral("refusedInput"));
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->open();
}
