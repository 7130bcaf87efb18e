#include "controls/LinkLabel.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

LinkLabel::LinkLabel(const QString &text, const QUrl &address, QWidget *parent)
    : QLabel(parent), opener_([](const QUrl &url) { return QDesktopServices::openUrl(url); }) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colours.color(QPalette::Link));
    setPalette(colours);
    SetAddress(address);
}

void LinkLabel::SetAddress(const QUrl &address) {
    address_ = address;
    setToolTip(address_.toDisplayString());
}

void LinkLabel::SetOpener(Opener opener) {
    if (opener)
        opener_ = std::move(opener);
}

bool LinkLabel::Open() {
    if (address_.isEmpty() || !address_.isValid())
        return false;
    emit activated(address_);
    return opener_(address_);
}

void LinkLabel::mousePressEvent(QMouseEvent *event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event) {
    // A press dragged off the label and released elsewhere is no click.
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Open();
}

void LinkLabel::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Open();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void LinkLabel::paintEvent(QPaintEvent *event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}
