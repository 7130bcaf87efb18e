#pragma once

#include "controls/CalendarMath.h"
#include "controls/CalendarPopup.h"

#include <QAbstractButton>
#include <QPointer>

// A date shown as text with a drop-down arrow; a click (or Space) drops down a month calendar under it. While the
// calendar is open the field is disabled, so only one can be open. Month and day are 0-based, as in CalendarDate.
class DateField : public QAbstractButton {
    Q_OBJECT

public:
    // Today's local date, with the names and long-date order of the default locale.
    explicit DateField(QWidget *parent = nullptr);

    void SetFormat(const CalendarNames &names, LongDateOrder order);

    CalendarDate Date() const { return date_; }
    int Year() const { return date_.year; }
    int MonthIndex() const { return date_.month; }
    int DayIndex() const { return date_.day; }
    // Out-of-range parts are brought into range (see ClampDate).
    void SetDate(CalendarDate date);

    void OpenPopup();
    CalendarPopup *Popup() const { return popup_; } // the open calendar, or null

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void dateChanged(CalendarDate date);

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void UpdateText();
    void OnChosen(CalendarDate date);
    void OnCancelled();

    CalendarNames names_;
    LongDateOrder order_ = LongDateOrder::MonthDayYear;
    CalendarDate date_;
    QPointer<CalendarPopup> popup_;
};
