#include "controls/LimitedTextEdit.h"

#include <QKeyEvent>
#include <QMimeData>

LimitedTextEdit::LimitedTextEdit(TextLimit limit, const QString &fieldName, QWidget *parent)
    : QPlainTextEdit(parent), limit_(new InputLimit(this, limit, fieldName)) {
    // setPlainText clears the undo history and every change of the user's adds a step: a change that leaves no
    // undo step is the program's.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!document()->isUndoAvailable()) {
            limit_->NoteProgramText(toPlainText());
        }
    });
}

QString LimitedTextEdit::TextWith(const QString &inserted) const {
    const QTextCursor cursor = textCursor();
    QString text = toPlainText();
    return text.replace(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart(), inserted);
}

void LimitedTextEdit::keyPressEvent(QKeyEvent *event) {
    QString inserted;
    if (event->matches(QKeySequence::Paste)) {
        // insertFromMimeData decides.
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        inserted = QStringLiteral("\n");
    } else if (event->key() == Qt::Key_Tab && !tabChangesFocus()) {
        inserted = QStringLiteral("\t");
    } else if (!event->text().isEmpty() && event->text().at(0).category() != QChar::Other_Control) {
        // What the edit itself takes as typed text: not Ctrl shortcuts, but AltGr, surrogate pairs (an emoji) and
        // formatting characters.
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (modifiers != Qt::ControlModifier && modifiers != (Qt::ControlModifier | Qt::ShiftModifier)) {
            inserted = event->text();
        }
    }
    if (!inserted.isEmpty() && !isReadOnly() && !limit_->Allows(TextWith(inserted))) {
        limit_->Refuse(true);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::inputMethodEvent(QInputMethodEvent *event) {
    if (!event->commitString().isEmpty() && !limit_->Allows(TextWith(event->commitString()))) {
        limit_->Refuse(false);
        QInputMethodEvent cleared; // ends the composition without inserting it
        QPlainTextEdit::inputMethodEvent(&cleared);
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData *source) {
    if (source && source->hasText() && !limit_->Allows(TextWith(source->text()))) {
        limit_->Refuse(false);
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}
