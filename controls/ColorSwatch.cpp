#include "controls/ColorSwatch.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionFocusRect>

ColorSwatch::ColorSwatch(QWidget *parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    chooser_ = [](const QColor &current, QWidget *owner) { return QColorDialog::getColor(current, owner); };
    connect(this, &QAbstractButton::clicked, this, &ColorSwatch::ChooseColor);
}

void ColorSwatch::SetColor(const QColor &color) {
    if (!color.isValid() || color == color_)
        return;
    color_ = color;
    update();
}

void ColorSwatch::SetChooser(Chooser chooser) {
    if (chooser)
        chooser_ = std::move(chooser);
}

void ColorSwatch::ChooseColor() {
    const QColor picked = chooser_(color_, this);
    if (!picked.isValid())
        return;
    const bool changed = picked != color_;
    color_ = picked;
    update();
    if (changed)
        emit colorChanged(color_);
}

QSize ColorSwatch::sizeHint() const {
    const int side = fontMetrics().height() + 8;
    return {2 * side, side};
}

void ColorSwatch::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRect area = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(area, isEnabled() ? color_ : palette().color(QPalette::Disabled, QPalette::Button));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(area);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(2, 2, -2, -2);
        option.backgroundColor = color_;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
