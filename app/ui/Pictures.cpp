#include "app/ui/Pictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// Drawn for the screens' pixel ratio, so a scaled desktop shows them sharp; painters draw in logical pixels.
QPixmap Transparent(int width, int height) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(width, height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap Globe(const QColor &sea, const QColor &land, bool question) {
    QPixmap pixmap = Transparent(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(sea.darker(160), 1));
    p.setBrush(sea);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(land);
    p.drawEllipse(QRectF(4, 4, 5, 4));
    p.drawEllipse(QRectF(8, 8, 4, 4));
    if (question) {
        p.setPen(QPen(Qt::black, 1.5));
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    }
    return pixmap;
}

} // namespace

namespace Pictures {

QIcon AppIcon() {
    // Drawn on a 32 by 32 grid, made at two sizes so that the About box's large picture is sharp too.
    QIcon icon;
    for (const int size : {32, 64}) {
        QPixmap pixmap = Transparent(size, size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        p.setBrush(QColor(0x1F, 0x8F, 0x1F));
        p.setPen(QPen(QColor(0x0F, 0x4F, 0x0F), 2));
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(2, 3, 28, 20), 6, 6);
        bubble.moveTo(8, 22);
        bubble.lineTo(6, 30);
        bubble.lineTo(15, 22);
        p.drawPath(bubble.simplified());
        p.setPen(Qt::white);
        QFont font = p.font();
        font.setPixelSize(15);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(2, 3, 28, 20), Qt::AlignCenter, QStringLiteral("G"));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon TrayIcon(int unread) {
    if (unread <= 0) {
        return AppIcon();
    }
    QPixmap pixmap = AppIcon().pixmap(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xD0, 0x20, 0x20));
    p.setPen(QPen(Qt::white, 1.5));
    const QRectF badge(14, 12, 18, 18);
    p.drawEllipse(badge);
    QFont font = p.font();
    font.setPixelSize(unread > 9 ? 9 : 12);
    font.setBold(true);
    p.setFont(font);
    p.drawText(badge, Qt::AlignCenter, unread > 9 ? QStringLiteral("9+") : QString::number(unread));
    return QIcon(pixmap);
}

QPixmap Gradient() {
    QPixmap pixmap(200, 200);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, 0, 200);
    gradient.setColorAt(0, QColor(0xE8, 0xF0, 0xFA));
    gradient.setColorAt(1, QColor(0x9C, 0xB4, 0xD8));
    p.fillRect(pixmap.rect(), gradient);
    return pixmap;
}

QPixmap SendButton(const QColor &text) {
    QPixmap pixmap = Transparent(48, 18);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x00, 0x00, 0xA0), 1));
    p.setBrush(QColor(0x00, 0x00, 0xFF));
    QPolygonF arrow;
    arrow << QPointF(2, 5) << QPointF(10, 5) << QPointF(10, 1) << QPointF(17, 9) << QPointF(10, 17) << QPointF(10, 13)
          << QPointF(2, 13);
    p.drawPolygon(arrow);
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(text);
    p.drawText(QRectF(18, 0, 30, 18), Qt::AlignCenter, QStringLiteral("SEND"));
    return pixmap;
}

QIcon WorldIcon(int status) {
    switch (status) {
    case 1:
        return QIcon(Globe(QColor(0x3A, 0x7B, 0xD5), QColor(0x2E, 0xA0, 0x3C), false));
    case 2:
        return QIcon(Globe(QColor(0x9A, 0x9A, 0x9A), QColor(0x6A, 0x6A, 0x6A), false));
    default:
        return QIcon(Globe(QColor(0xC8, 0xD8, 0xF0), QColor(0xA0, 0xC8, 0xA0), true));
    }
}

QIcon TabIcon(int tab) {
    if (tab == 1) {
        return WorldIcon(1);
    }
    QPixmap pixmap = Transparent(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (tab == 0) {
        // two heads for the people present
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xD0, 0x80, 0x30));
        p.drawEllipse(QRectF(2, 2, 5, 5));
        p.drawRoundedRect(QRectF(1, 8, 7, 7), 2, 2);
        p.setBrush(QColor(0x30, 0x70, 0xC0));
        p.drawEllipse(QRectF(9, 3, 5, 5));
        p.drawRoundedRect(QRectF(8, 9, 7, 6), 2, 2);
    } else {
        // a pin for the remembered places
        p.setPen(QPen(QColor(0x80, 0x00, 0x00), 1));
        p.setBrush(QColor(0xE0, 0x30, 0x30));
        p.drawEllipse(QRectF(4, 1, 8, 8));
        p.drawLine(QPointF(8, 9), QPointF(8, 15));
    }
    return QIcon(pixmap);
}

QPixmap AboutPicture() { return AppIcon().pixmap(64, 64); }

} // namespace Pictures
