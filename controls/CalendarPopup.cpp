#include "controls/CalendarPopup.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace {

QRect ToQRect(const CellRect &r) { return QRect(r.left, r.top, r.width, r.height); }

} // namespace

CalendarPopup::CalendarPopup(const CalendarNames &names, CalendarDate date, QWidget *owner)
    : QWidget(owner, Qt::Popup), names_(names), date_(ClampDate(date)) {
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    // A click on the field that closes the calendar must not reach the field again and reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);
    previousYear_ = AddButton(QStringLiteral("<<"), &PreviousYear);
    previousMonth_ = AddButton(QStringLiteral("<"), &PreviousMonth);
    nextYear_ = AddButton(QStringLiteral(">>"), &NextYear);
    nextMonth_ = AddButton(QStringLiteral(">"), &NextMonth);
    resize(kWidth, kHeight);
}

QToolButton *CalendarPopup::AddButton(const QString &text, CalendarDate (*move)(CalendarDate)) {
    auto *button = new QToolButton(this);
    button->setText(text);
    button->setAutoRaise(true);
    // The keys belong to the calendar; a button never takes the focus from it.
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, move] { MoveTo(move(date_)); });
    return button;
}

void CalendarPopup::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const CalendarLayout layout = Layout();
    const int last = CalendarLayout::kColumns - 1;
    previousMonth_->setGeometry(ToQRect(layout.Cell(0, 0)));
    nextMonth_->setGeometry(ToQRect(layout.Cell(0, last)));
    previousYear_->setGeometry(ToQRect(layout.Cell(1, 0)));
    nextYear_->setGeometry(ToQRect(layout.Cell(1, last)));
}

void CalendarPopup::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const CalendarLayout layout = Layout();
    const QPalette &colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::ToolTipBase));

    QFont titleFont = font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(colours.color(QPalette::ToolTipText));
    painter.drawText(ToQRect(layout.Title()), Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(CalendarTitle(date_, names_)));

    QFont smallFont = font();
    smallFont.setPointSizeF(smallFont.pointSizeF() * 0.9);
    painter.setFont(smallFont);
    for (int column = 0; column < CalendarLayout::kColumns; ++column) {
        painter.drawText(ToQRect(layout.Cell(2, column)), Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(names_.weekdayLetters[static_cast<std::size_t>(column)]));
    }
    const CellRect letters = layout.Cell(2, 0);
    const int lineY = letters.top + letters.height - 1;
    painter.drawLine(layout.LineLeft(), lineY, layout.LineRight(), lineY);

    painter.setFont(font());
    for (int day = 0; day < DaysInMonth(date_.year, date_.month); ++day) {
        const QRect cell = ToQRect(layout.DayCell(date_.year, date_.month, day));
        const bool selected = day == date_.day;
        painter.fillRect(cell, colours.color(selected ? QPalette::Highlight : QPalette::ToolTipBase));
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::ToolTipText));
        painter.drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("%1").arg(day + 1, 2));
    }
}

void CalendarPopup::MoveTo(CalendarDate date) {
    if (date == date_)
        return;
    date_ = date;
    update();
}

void CalendarPopup::mousePressEvent(QMouseEvent *event) {
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at)) {
        QWidget::mousePressEvent(event); // a pop-up closes itself on a press outside
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (const auto day = Layout().DayAt(date_.year, date_.month, at.x(), at.y()))
        MoveTo({date_.year, date_.month, *day});
}

void CalendarPopup::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (Layout().DayAt(date_.year, date_.month, at.x(), at.y()))
        Finish(true);
}

void CalendarPopup::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Finish(true);
        return;
    case Qt::Key_Escape:
        Finish(false);
        return;
    case Qt::Key_PageUp:
        MoveTo(PreviousMonth(date_));
        return;
    case Qt::Key_PageDown:
        MoveTo(NextMonth(date_));
        return;
    case Qt::Key_Left:
        MoveTo(PreviousDay(date_));
        return;
    case Qt::Key_Right:
        MoveTo(NextDay(date_));
        return;
    case Qt::Key_Up:
        MoveTo(PreviousWeek(date_));
        return;
    case Qt::Key_Down:
        MoveTo(NextWeek(date_));
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CalendarPopup::focusOutEvent(QFocusEvent *event) {
    QWidget::focusOutEvent(event);
    const QWidget *next = QApplication::focusWidget();
    if (event->reason() == Qt::ActiveWindowFocusReason || (next && next != this && !isAncestorOf(next)))
        Finish(false);
}

void CalendarPopup::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    // Closed from outside (a click elsewhere, the dialog going away): that is a cancel.
    Finish(false);
}

void CalendarPopup::Finish(bool choose) {
    if (finished_)
        return;
    finished_ = true;
    if (choose)
        emit chosen(date_);
    else
        emit cancelled();
    hide();
    deleteLater();
}
