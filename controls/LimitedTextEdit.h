#pragma once

#include "controls/InputLimit.h"

#include <QPlainTextEdit>

// A multi-line edit with an InputLimit: what the user types stops at the limit, a paste or a drop that would go
// over it is refused whole, and text the program sets with setPlainText is kept whole. A line break counts as one
// character (one byte), as toPlainText gives it.
class LimitedTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    LimitedTextEdit(TextLimit limit, const QString &fieldName, QWidget *parent = nullptr);

    InputLimit *Limit() const { return limit_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // The text as it would be with the selection replaced by inserted.
    QString TextWith(const QString &inserted) const;

    InputLimit *limit_;
};
