#pragma once

#include "controls/CalendarLayout.h"
#include "controls/CalendarMath.h"

#include <QWidget>

class QToolButton;

// The month calendar a date field drops down. It ends in exactly one of chosen or cancelled, then deletes itself:
// Enter or a click on a day chooses; Escape, a click outside or losing the focus cancels.
class CalendarPopup : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 250;

    CalendarPopup(const CalendarNames &names, CalendarDate date, QWidget *owner);

    CalendarDate Date() const { return date_; }
    CalendarLayout Layout() const { return CalendarLayout(width(), height()); }

    QToolButton *PreviousMonthButton() const { return previousMonth_; }
    QToolButton *NextMonthButton() const { return nextMonth_; }
    QToolButton *PreviousYearButton() const { return previousYear_; }
    QToolButton *NextYearButton() const { return nextYear_; }

signals:
    void chosen(CalendarDate date);
    void cancelled();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QToolButton *AddButton(const QString &text, CalendarDate (*move)(CalendarDate));
    void MoveTo(CalendarDate date);
    void Finish(bool choose);

    CalendarNames names_;
    CalendarDate date_;
    bool finished_ = false;
    QToolButton *previousMonth_ = nullptr;
    QToolButton *nextMonth_ = nullptr;
    QToolButton *previousYear_ = nullptr;
    QToolButton *nextYear_ = nullptr;
};
