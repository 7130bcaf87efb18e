#include "controls/WarningLabel.h"

#include "controls/ReadableColour.h"

#include <QEvent>

WarningLabel::WarningLabel(QWidget *parent) : QLabel(parent) { ApplyColour(); }

void WarningLabel::SetWarning(bool warning) {
    warning_ = warning;
    ApplyColour();
}

void WarningLabel::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    // The window's colour comes from the parent and the desktop and may change at any time.
    if (event->type() == QEvent::PaletteChange && !applying_) {
        ApplyColour();
    }
}

void WarningLabel::ApplyColour() {
    if (!warning_) {
        applying_ = true;
        setPalette(QPalette());
        applying_ = false;
        return;
    }
    const QColor red = ReadableOn(palette().color(backgroundRole()), QColor(0xB0, 0x00, 0x00), QColor(0xB0, 0x00, 0x00),
                                  QColor(0xFF, 0x8A, 0x80));
    if (palette().color(foregroundRole()) == red) {
        return;
    }
    applying_ = true;
    QPalette colours = palette();
    colours.setColor(foregroundRole(), red);
    setPalette(colours);
    applying_ = false;
}
