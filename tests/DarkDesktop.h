#pragma once

// A dark desktop palette, chosen here rather than taken from whatever this machine has, and the contrast of what a
// window shows on it.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>

#include <algorithm>
#include <cmath>

inline QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    p.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    p.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    p.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
    p.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x6F, 0xBF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6A, 0xB0, 0xFF));
    p.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9A, 0x9A));
    return p;
}

inline double Luminance(QColor c) {
    const auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

inline double Contrast(QColor a, QColor b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast between a region's corner (its background) and any pixel in it (its text).
inline double TextContrast(const QImage &image, const QRect &region) {
    const QColor background = image.pixelColor(region.topLeft());
    double best = 1;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            best = std::max(best, Contrast(background, image.pixelColor(x, y)));
        }
    }
    return best;
}
