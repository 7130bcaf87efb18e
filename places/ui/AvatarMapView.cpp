#include "places/ui/AvatarMapView.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kBot(0xFF, 0x00, 0x00);
const QColor kMark(0x00, 0xFF, 0x00);
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0x00, 0x80, 0x00); // the names' colour too (MapTextCache)

} // namespace

void PaintAvatarMap(QPainter &p, const AvatarMap &map, int width, int height, const QFont &font, MapTextCache &cache) {
    p.save();
    p.setClipRect(0, 0, width, height);
    p.setBackgroundMode(Qt::TransparentMode);
    p.setFont(font);
    p.fillRect(0, 0, width, height, Qt::black);
    const auto frame = MapFrameFor(map, width, height);
    if (!frame) {
        p.restore();
        return;
    }
    const MapFrame &f = *frame;

    for (const int column : GridColumns(f)) {
        p.fillRect(column, 0, 1, height, kGrid);
    }
    for (const int row : GridRows(f)) {
        p.fillRect(0, row, width, 1, kGrid);
    }

    p.setPen(kText);
    const QFontMetrics metrics(font);
    const int ascent = metrics.ascent();
    const int textHeight = metrics.height();
    const auto label = [&](const std::string &text, int left, bool fromRight, int top) {
        const QString q = QString::fromStdString(text);
        if (fromRight) {
            left -= metrics.horizontalAdvance(q);
        }
        p.drawText(left, top + ascent, q);
    };
    const QString scale = QString::fromStdString(MapScaleLabel(f));
    p.drawText(width / 2 - metrics.horizontalAdvance(scale) / 2, ascent, scale);
    const MapCornerLabels corners = CornerLabelsFor(f);
    label(corners.topLeft, 0, false, 0);
    label(corners.topRight, width, true, 0);
    label(corners.bottomLeft, 0, false, height - textHeight);
    label(corners.bottomRight, width, true, height - textHeight);

    // A mark reaches 2 pixels left and up of its point and its name starts 3 right and down of it; names are
    // bounded by the widest glyph, which spares measuring the marks that lie far off to the left.
    const std::int64_t widestGlyph = std::max(metrics.maxWidth(), 1);
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    cache.Prepare(font, ratio);
    const QImage &markCross = cache.Cross(kMark);
    for (const auto &mark : map.Marks()) {
        const std::int64_t px = f.Column(mark.x);
        const std::int64_t py = f.Row(mark.z);
        if (px - 2 >= width || py - 2 >= height || py + 3 + textHeight < 0 ||
            px + 3 + widestGlyph * static_cast<std::int64_t>(mark.name.size()) < 0) {
            continue;
        }
        const int x = static_cast<int>(px);
        const int y = static_cast<int>(py);
        if (px + 2 >= 0 && py + 2 >= 0) {
            p.drawImage(x - 2, y - 2, markCross);
        }
        if (!mark.name.empty()) {
            p.drawImage(x + 3 - MapTextCache::kNamePad, y + 3, cache.Name(mark.name));
        }
    }
    cache.Trim(map.Marks().size());

    p.drawImage(f.midX - 2, f.midY - 2, cache.Cross(kBot));
    p.restore();
}

AvatarMapView::AvatarMapView(QWidget *parent) : QFrame(parent), font_(QStringLiteral("Arial")) {
    font_.setPointSize(8);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The map paints every pixel of its area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
}

void AvatarMapView::SetCentre(int x, int z) {
    map_.SetCentre(x, z);
    update();
}

void AvatarMapView::AddOrUpdateMark(int session, const std::string &name, int x, int z) {
    map_.AddOrUpdateMark(session, name, x, z);
    update();
}

void AvatarMapView::RemoveMarks(int session) {
    map_.RemoveMarks(session);
    update();
}

void AvatarMapView::ClearMarks() {
    map_.ClearMarks();
    update();
}

void AvatarMapView::SetManualScale(int centimetresPerPixel) {
    map_.SetManualScale(centimetresPerPixel);
    update();
}

void AvatarMapView::SetGrid(int centimetres) {
    map_.SetGrid(centimetres);
    update();
}

void AvatarMapView::paintEvent(QPaintEvent *event) {
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    if (area.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.translate(area.topLeft());
    PaintAvatarMap(painter, map_, area.width(), area.height(), font_, cache_);
}
