#pragma once

#include <QDialog>

#include <cstdint>

class DateField;
class QPushButton;
class QTimeEdit;

// "Edit Date": picks an ejection's expiry. "OK" takes the local date and time of the two fields, "Never" means no
// expiry (0); either accepts the dialog, "Cancel" rejects it. The expiry goes into a signed 32-bit count of seconds
// since 1970, so a moment that does not fit is refused with a message instead of being cut short.
class EditDateDialog : public QDialog {
    Q_OBJECT

public:
    explicit EditDateDialog(QWidget *parent = nullptr);

    // After the dialog was accepted: seconds since 1970, 0 for "Never".
    std::int32_t Expiration() const { return expiration_; }

    DateField *DateBox() const { return date_; }
    QTimeEdit *TimeBox() const { return time_; }
    QPushButton *OkButton() const { return ok_; }
    QPushButton *NeverButton() const { return never_; }
    QPushButton *CancelButton() const { return cancel_; }

    static QString OutOfRangeText();

private:
    void OnOk();

    DateField *date_ = nullptr;
    QTimeEdit *time_ = nullptr;
    QPushButton *ok_ = nullptr;
    QPushButton *never_ = nullptr;
    QPushButton *cancel_ = nullptr;
    std::int32_t expiration_ = 0;
};
