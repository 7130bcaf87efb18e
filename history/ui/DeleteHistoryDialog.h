#pragma once

// Asks what to delete from the history: everything, or the lines and visits of a date range (UTC).

#include <QDialog>

#include <cstdint>

class QLineEdit;
class QRadioButton;
class QLabel;

class DeleteHistoryDialog : public QDialog {
    Q_OBJECT

public:
    DeleteHistoryDialog(const QString &from, const QString &to, QWidget *parent = nullptr);

    struct Choice {
        bool everything = true;
        std::int64_t from = 0, to = 0; // [from, to) when not everything
    };
    Choice Range() const { return choice_; }

    QRadioButton *Everything() const { return everything_; }
    QRadioButton *Dates() const { return dates_; }
    QLineEdit *From() const { return from_; }
    QLineEdit *To() const { return to_; }

    void accept() override; // only with dates that can be read

private:
    QRadioButton *everything_;
    QRadioButton *dates_;
    QLineEdit *from_;
    QLineEdit *to_;
    QLabel *problem_;
    Choice choice_;
};
