#include "places/ui/AvatarMapView.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kBot(0xFF, 0x00, 0x00);
const QColor kMark(0x00, 0xFF, 0x00);
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0x00, 0x80, 0x00);

} // namespace

void MapTextCache::Prepare(const QFont &font, qreal pixelRatio) {
    if (font != font_ || pixelRatio != pixelRatio_) {
        names_.clear();
        crosses_.clear();
        glyphs_.clear();
        font_ = font;
        pixelRatio_ = pixelRatio;
    }
}

const QImage &MapTextCache::Name(const std::string &name) {
    auto it = names_.find(name);
    if (it == names_.end()) {
        QImage picture;
        if (!ComposeName(name, picture)) {
            const QString text = QString::fromStdString(name);
            const QFontMetrics metrics(font_);
            // Room for glyphs that reach past their advance on either side.
            const int width = metrics.horizontalAdvance(text) + 2 * kNamePad;
            const int height = metrics.height() + 1;
            picture = QImage(QSize(width, height) * pixelRatio_, QImage::Format_ARGB32_Premultiplied);
            picture.setDevicePixelRatio(pixelRatio_);
            picture.fill(Qt::transparent);
            QPainter painter(&picture);
            painter.setFont(font_);
            painter.setPen(kText);
            painter.drawText(kNamePad, metrics.ascent(), text);
            painter.end();
        }
        it = names_.emplace(name, std::move(picture)).first;
    }
    return it->second;
}

void MapTextCache::MakeGlyphs() {
    const QFontMetrics metrics(font_);
    const int height = metrics.height() + 1;
    glyphs_.resize(0x7F - 0x20);
    for (char c = 0x20; c < 0x7F; ++c) {
        Glyph &glyph = glyphs_[static_cast<std::size_t>(c - 0x20)];
        const QChar character(c);
        glyph.advance = metrics.horizontalAdvance(character);
        glyph.picture = QImage(glyph.advance + 2 * kGlyphPad, height, QImage::Format_ARGB32_Premultiplied);
        glyph.picture.fill(Qt::transparent);
        QPainter painter(&glyph.picture);
        painter.setFont(font_);
        painter.setPen(kText);
        painter.drawText(kGlyphPad, metrics.ascent(), QString(character));
        painter.end();
        for (int y = 0; y < height; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(glyph.picture.constScanLine(y));
            for (int x = 0; x < glyph.picture.width(); ++x) {
                if (row[x] != 0) {
                    glyph.ink |= QRect(x, y, 1, 1);
                }
            }
        }
    }
}

// Puts a name of printable ASCII together from the characters' pictures, each laid over the ones before it;
// false for any other name, and on screens that scale pixels, which the text engine draws.
bool MapTextCache::ComposeName(const std::string &name, QImage &picture) {
    if (pixelRatio_ != 1 || !std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
        return false;
    }
    if (glyphs_.empty()) {
        MakeGlyphs();
    }
    int width = 2 * kNamePad;
    for (const char c : name) {
        width += glyphs_[static_cast<std::size_t>(c - 0x20)].advance;
    }
    const int height = glyphs_.front().picture.height();
    width = std::max(width, 1);
    picture = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    // Rows by hand: asking the picture for each of its rows costs more than the copying.
    uchar *const bits = picture.bits();
    const qsizetype stride = picture.bytesPerLine();
    int pen = kNamePad;
    for (const char c : name) {
        const Glyph &glyph = glyphs_[static_cast<std::size_t>(c - 0x20)];
        const int left = pen - kGlyphPad;
        const int from = std::max(glyph.ink.left(), -left);
        const int to = std::min(glyph.ink.right() + 1, width - left);
        const uchar *const glyphBits = glyph.picture.constBits();
        const qsizetype glyphStride = glyph.picture.bytesPerLine();
        for (int y = glyph.ink.top(); y <= glyph.ink.bottom(); ++y) {
            const auto *source = reinterpret_cast<const QRgb *>(glyphBits + y * glyphStride);
            auto *target = reinterpret_cast<QRgb *>(bits + y * stride) + left;
            for (int x = from; x < to; ++x) {
                const QRgb s = source[x];
                const QRgb t = target[x];
                if (t == 0 || qAlpha(s) == 255) {
                    target[x] = s;
                } else if (const int alpha = qAlpha(s); alpha != 0) {
                    // Premultiplied source over what the characters before left there.
                    const int keep = 255 - alpha;
                    target[x] = qRgba(qRed(s) + qRed(t) * keep / 255, qGreen(s) + qGreen(t) * keep / 255,
                                      qBlue(s) + qBlue(t) * keep / 255, alpha + qAlpha(t) * keep / 255);
                }
            }
        }
        pen += glyph.advance;
    }
    return true;
}

const QImage &MapTextCache::Cross(const QColor &colour) {
    auto it = crosses_.find(colour.rgb());
    if (it == crosses_.end()) {
        QImage picture(QSize(5, 5) * pixelRatio_, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(pixelRatio_);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.fillRect(0, 2, 5, 1, colour);
        painter.fillRect(2, 0, 1, 5, colour);
        painter.end();
        it = crosses_.emplace(colour.rgb(), std::move(picture)).first;
    }
    return it->second;
}

void MapTextCache::Trim(std::size_t markCount) {
    if (names_.size() > 2 * markCount + 64) {
        names_.clear();
    }
}

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
