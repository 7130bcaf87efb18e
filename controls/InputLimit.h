#pragma once

#include "controls/TextLimit.h"

#include <QObject>
#include <QPointer>

class QLineEdit;
class QMessageBox;
class QWidget;

// The limit of one text field, felt while the user types: a key that would take the field over it does nothing,
// and a paste, a drop or an input method's text that would is refused whole, never cut, with Refused carrying a
// message that names the field (shown in a message box over the field's window unless the owner turns that off
// and says it its own way). Text the program puts in the field is never cut, however long: the user may shorten
// it, or edit it within the length it had.
class InputLimit : public QObject {
    Q_OBJECT

public:
    // For a field that checks its user's changes itself (see LimitedTextEdit).
    InputLimit(QWidget *field, TextLimit limit, const QString &fieldName);

    // Limits a line edit through a validator of its own; the edit's previous validator, if any, still applies.
    // The edit's maxLength is lifted, since it would cut text the program sets.
    static InputLimit *Attach(QLineEdit *edit, TextLimit limit, const QString &fieldName);
    // The limit of a field, or null when it has none.
    static InputLimit *Of(const QWidget *field);

    TextLimit Limit() const { return limit_; }
    void SetLimit(TextLimit limit);
    QString FieldName() const { return fieldName_; }
    // Whether a refusal opens the message box (the default); Refused is emitted either way.
    void SetShowsMessage(bool shows) { showsMessage_ = shows; }
    // What a refused paste says.
    QString Message() const { return RefusedInputMessage(fieldName_, limit_); }

    // Whether the user may turn the field's text into after: it fits the limit, or the room the program's text
    // made.
    bool Allows(const QString &after) const;
    // The program put text in the field: a text over the limit keeps its length as the room the user has.
    void NoteProgramText(const QString &text);
    // A change the user made was refused. A single key typed says nothing: the limit is felt.
    void Refuse(bool typed);

    // Whether the field's current change comes from a key typed (not a paste, a drop or an input method).
    bool Typing() const { return typing_; }

signals:
    void Refused(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowMessage(const QString &message);

    QWidget *field_;
    TextLimit limit_;
    QString fieldName_;
    int room_ = 0; // the size the user may reach: the limit, or more when the program's text was longer
    bool showsMessage_ = true;
    bool typing_ = false;
    QPointer<QMessageBox> box_;
};
