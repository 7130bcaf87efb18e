#include "controls/DateField.h"

#include "controls/CalendarLocale.h"
#include "controls/CalendarPopup.h"

#include <QDate>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

DateField::DateField(QWidget *parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    const QLocale locale;
    names_ = CalendarNamesOf(locale);
    order_ = LongDateOrderOf(locale);
    const QDate today = QDate::currentDate();
    date_ = ClampDate({today.year(), today.month() - 1, today.day() - 1});
    UpdateText();
    connect(this, &QAbstractButton::clicked, this, &DateField::OpenPopup);
}

void DateField::SetFormat(const CalendarNames &names, LongDateOrder order) {
    names_ = names;
    order_ = order;
    UpdateText();
}

void DateField::SetDate(CalendarDate date) {
    date = ClampDate(date);
    if (date == date_)
        return;
    date_ = date;
    UpdateText();
    emit dateChanged(date_);
}

void DateField::UpdateText() {
    setText(QString::fromStdString(DateFieldText(date_, names_, order_)));
    updateGeometry();
}

void DateField::OpenPopup() {
    if (popup_)
        return;
    QPoint at = mapToGlobal(QPoint(0, height()));
    // Keep the calendar on the screen when the field sits near its edge.
    if (const QScreen *where = screen()) {
        const QRect area = where->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - CalendarPopup::kWidth + 1)));
        if (at.y() + CalendarPopup::kHeight > area.bottom() + 1)
            at.setY(std::max(area.top(), mapToGlobal(QPoint(0, 0)).y() - CalendarPopup::kHeight));
    }
    setEnabled(false);
    auto *popup = new CalendarPopup(names_, date_, this);
    popup_ = popup;
    connect(popup, &CalendarPopup::chosen, this, &DateField::OnChosen);
    connect(popup, &CalendarPopup::cancelled, this, &DateField::OnCancelled);
    popup->move(at);
    popup->show();
    popup->setFocus(Qt::PopupFocusReason);
}

void DateField::OnChosen(CalendarDate date) {
    popup_ = nullptr;
    setEnabled(true);
    SetDate(date);
    setFocus(Qt::OtherFocusReason);
}

void DateField::hideEvent(QHideEvent *event) {
    QAbstractButton::hideEvent(event);
    // The calendar is a window of its own and would outlive its dialog on the screen.
    if (popup_)
        popup_->close();
}

void DateField::OnCancelled() {
    popup_ = nullptr;
    setEnabled(true);
}

QSize DateField::sizeHint() const {
    QStyleOptionComboBox option;
    option.initFrom(this);
    const QFontMetrics metrics = fontMetrics();
    const QSize content(metrics.horizontalAdvance(text()) + 2 * metrics.averageCharWidth(), metrics.height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this);
}

QSize DateField::minimumSizeHint() const { return sizeHint(); }

void DateField::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = false;
    option.frame = true;
    option.subControls = QStyle::SC_All;
    if (isDown()) {
        option.state |= QStyle::State_Sunken;
        option.activeSubControls = QStyle::SC_ComboBoxArrow;
    }
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect textArea = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, text());
}
