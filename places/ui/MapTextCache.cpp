#include "places/ui/MapTextCache.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>

namespace {

const QColor kText(0x00, 0x80, 0x00);

constexpr int kFirst = 0x20; // space
constexpr int kCount = 0x7F - kFirst;

int Index(char c) { return static_cast<unsigned char>(c) - kFirst; }

bool Printable(char c) { return c >= kFirst && c < 0x7F; }

// Positions are kept in 64ths of a pixel, the text engine's own unit, so sums come out as the engine's do.
int Fixed(qreal pixels) { return static_cast<int>(std::lround(pixels * 64)); }

// v * a / 255, rounded to the nearest.
int Scale(int v, int a) {
    const int t = v * a;
    return (t + (t >> 8) + 0x80) >> 8;
}

} // namespace

// What the text engine does with printable ASCII in one font: each character's advance, the step from one
// character to the next (its advance with the pair's kerning), and the pairs it draws with other glyphs than the
// characters' own. Learnt from the engine itself, which shapes the pairs: the font's kerning tables read by other
// means differ by a 64th of a pixel here and there. Kept for the process, as the engine keeps its font data, and
// filled a first character at a time as names need them; only the painting (GUI) thread uses it.
class AsciiShaping {
public:
    static AsciiShaping &For(const QFont &font);

    bool Usable() const { return usable_; }
    int Phases() const { return phases_; } // the fractions of a pixel the engine draws a glyph at
    int Advance(int c) const { return advance_[static_cast<std::size_t>(c)]; }
    // The step from a to b in 64ths of a pixel; false when the engine draws the pair with other glyphs.
    bool Step(int a, int b, int &step) {
        const int row = a != 0 ? a : b;
        if (!known_[static_cast<std::size_t>(row)]) {
            MeasureRow(row);
        }
        step = step_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
        return !replaced_[static_cast<std::size_t>(a * kCount + b)];
    }

private:
    explicit AsciiShaping(const QFont &font);
    void MeasureRow(int a);
    // Keeps a step the table can hold; a pair whose step it cannot (a huge font) stays with the engine. Steps are
    // never negative here, so a name's characters never start left of its picture.
    void Set(int a, int b, int value) {
        if (value >= 0 && value <= std::numeric_limits<std::int16_t>::max()) {
            step_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = static_cast<std::int16_t>(value);
            replaced_.reset(static_cast<std::size_t>(a * kCount + b));
        }
    }

    QFont font_;
    QString family_;
    QList<quint32> own_; // each character's own glyph
    bool usable_ = false;
    int phases_ = 1;
    std::array<int, kCount> advance_{};
    std::array<std::array<std::int16_t, kCount>, kCount> step_{};
    std::bitset<kCount * kCount> replaced_; // first * kCount + second
    std::bitset<kCount> known_;             // the first characters whose pairs are measured
    std::bitset<kCount> toBlank_, fromBlank_;
};

AsciiShaping &AsciiShaping::For(const QFont &font) {
    static std::map<QString, std::unique_ptr<AsciiShaping>> known;
    auto &entry = known[font.key()];
    if (!entry) {
        entry.reset(new AsciiShaping(font));
    }
    return *entry;
}

namespace {

// The glyphs and positions (in 64ths) of one line of text as the engine lays it out; false when part of it comes
// from another font.
bool Shape(const QString &text, const QFont &font, const QString &family, QList<quint32> &glyphs,
           std::vector<int> &positions) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    glyphs.clear();
    positions.clear();
    for (const QGlyphRun &run : layout.glyphRuns()) {
        if (run.rawFont().familyName() != family) {
            return false;
        }
        glyphs += run.glyphIndexes();
        for (const QPointF &p : run.positions()) {
            positions.push_back(Fixed(p.x()));
        }
    }
    return !glyphs.isEmpty() && static_cast<std::size_t>(glyphs.size()) == positions.size();
}

} // namespace

AsciiShaping::AsciiShaping(const QFont &font) : font_(font) {
    replaced_.set(); // until measured
    const QRawFont raw = QRawFont::fromFont(font);
    QString all;
    for (int i = 0; i < kCount; ++i) {
        all += QChar(kFirst + i);
    }
    own_ = raw.glyphIndexesForString(all);
    if (!raw.isValid() || own_.size() != kCount ||
        std::any_of(own_.begin(), own_.end(), [](quint32 g) { return g == 0; })) {
        return; // a character the font lacks comes from another font: the engine's business
    }
    family_ = raw.familyName();
    const QList<QPointF> single = raw.advancesForGlyphIndexes(own_, QRawFont::SeparateAdvances);
    for (int i = 0; i < kCount; ++i) {
        advance_[static_cast<std::size_t>(i)] = Fixed(single[i].x());
    }
    QList<quint32> glyphs;
    std::vector<int> x;
    if (!Shape(QStringLiteral("  "), font, family_, glyphs, x) || glyphs.size() != 2) {
        return;
    }
    Set(0, 0, x[1] - x[0]);
    known_.set(0);
    // The engine draws a glyph at as many fractions of a pixel as give different pictures of it.
    const QFontMetrics metrics(font);
    std::vector<QImage> seen;
    for (int i = 0; i < 12; ++i) {
        QImage picture(metrics.maxWidth() + 4, metrics.height() + 1, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(2 + i / 12.0, metrics.ascent()), QStringLiteral("c"));
        painter.end();
        if (std::find(seen.begin(), seen.end(), picture) == seen.end()) {
            seen.push_back(std::move(picture));
        }
    }
    phases_ = static_cast<int>(seen.size());
    usable_ = true;
}

// "ab " for every b after a, shaped as one line, gives the steps a to b, b to blank and blank to a.
void AsciiShaping::MeasureRow(int a) {
    known_.set(static_cast<std::size_t>(a));
    QString text;
    for (int b = 1; b < kCount; ++b) {
        text += QChar(kFirst + a);
        text += QChar(kFirst + b);
        text += QLatin1Char(' ');
    }
    QList<quint32> glyphs;
    std::vector<int> x;
    if (!usable_ || !Shape(text, font_, family_, glyphs, x)) {
        return; // every pair of the row stays with the engine
    }
    qsizetype at = 0;
    for (int b = 1; b < kCount; ++b) {
        const qsizetype end = glyphs.indexOf(own_[0], at);
        if (end < 0) {
            break;
        }
        if (end - at == 2 && glyphs[at] == own_[a] && glyphs[at + 1] == own_[b]) {
            const auto i = static_cast<std::size_t>(at);
            Set(a, b, x[i + 1] - x[i]);
            if (!toBlank_[static_cast<std::size_t>(b)]) {
                toBlank_.set(static_cast<std::size_t>(b));
                Set(b, 0, x[i + 2] - x[i + 1]);
            }
            if (end + 1 < glyphs.size() && glyphs[end + 1] == own_[a] && !fromBlank_[static_cast<std::size_t>(a)]) {
                fromBlank_.set(static_cast<std::size_t>(a));
                Set(0, a, x[i + 3] - x[i + 2]);
            }
        }
        at = end + 1;
    }
}

void MapTextCache::Prepare(const QFont &font, qreal pixelRatio) {
    if (font != font_ || pixelRatio != pixelRatio_) {
        names_.clear();
        crosses_.clear();
        glyphs_.clear();
        shaping_ = nullptr;
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

const MapTextCache::Glyph &MapTextCache::GlyphFor(char c, int phase) {
    Glyph &glyph = glyphs_[static_cast<std::size_t>(Index(c) * shaping_->Phases() + phase)];
    if (glyph.made) {
        return glyph;
    }
    glyph.made = true;
    const QFontMetrics metrics(font_);
    const int height = height_;
    // Room for ink that reaches past the advance on either side, as in a name's own picture.
    const int width = (shaping_->Advance(Index(c)) + 63) / 64 + 2 * kGlyphPad + 1;
    glyph.picture = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    glyph.picture.fill(Qt::transparent);
    QPainter painter(&glyph.picture);
    painter.setFont(font_);
    painter.setPen(kText);
    // Just past the fraction's start, so the engine rounds down to this fraction and not the one before.
    const qreal x = kGlyphPad + (std::ceil(64.0 * phase / shaping_->Phases())) / 64.0;
    painter.drawText(QPointF(x, metrics.ascent()), QString(QChar(c)));
    painter.end();
    for (int y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(glyph.picture.constScanLine(y));
        for (int x = 0; x < glyph.picture.width(); ++x) {
            if (row[x] != 0) {
                glyph.ink |= QRect(x, y, 1, 1);
            }
        }
    }
    return glyph;
}

// Puts a name of printable ASCII together from the characters' pictures, each laid over the ones before it;
// false for any other name, for a name the engine draws with other glyphs, and on screens that scale pixels,
// which the text engine draws.
bool MapTextCache::ComposeName(const std::string &name, QImage &picture) {
    if (pixelRatio_ != 1 || name.empty() || !std::all_of(name.begin(), name.end(), Printable)) {
        return false;
    }
    if (!shaping_) {
        shaping_ = &AsciiShaping::For(font_);
        glyphs_.assign(static_cast<std::size_t>(kCount * shaping_->Phases()), Glyph());
        height_ = QFontMetrics(font_).height() + 1; // measuring for every name cost as much as its copying
    }
    AsciiShaping &shaping = *shaping_;
    if (!shaping.Usable()) {
        return false;
    }
    // Where each character starts, in 64ths of a pixel from the picture's left edge.
    thread_local std::vector<int> starts;
    starts.resize(name.size());
    int pen = kNamePad * 64;
    for (std::size_t i = 0; i < name.size(); ++i) {
        starts[i] = pen;
        int step = 0;
        if (i + 1 == name.size()) {
            pen += shaping.Advance(Index(name[i]));
        } else if (shaping.Step(Index(name[i]), Index(name[i + 1]), step)) {
            pen += step;
        } else {
            return false;
        }
    }
    // As wide as the engine measures the name (its advance rounded), plus the pads on both sides.
    const int width = std::max((pen - kNamePad * 64 + 32) / 64 + 2 * kNamePad, 1);
    picture = QImage(width, height_, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    // Rows by hand: asking the picture for each of its rows costs more than the copying.
    uchar *const bits = picture.bits();
    const qsizetype stride = picture.bytesPerLine();
    for (std::size_t i = 0; i < name.size(); ++i) {
        // The engine takes a position up to a 64th short of a fraction for that fraction, and one a 64th short of
        // the next pixel for that pixel.
        int whole = starts[i] / 64;
        int phase = (starts[i] % 64 + 1) * shaping.Phases() / 64;
        if (phase == shaping.Phases()) {
            ++whole;
            phase = 0;
        }
        const Glyph &glyph = GlyphFor(name[i], phase);
        if (glyph.ink.isEmpty()) {
            continue;
        }
        const int left = whole - kGlyphPad;
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
                    // Premultiplied source over what the characters before left there, rounded as the engine rounds.
                    const int keep = 255 - alpha;
                    target[x] = qRgba(qRed(s) + Scale(qRed(t), keep), qGreen(s) + Scale(qGreen(t), keep),
                                      qBlue(s) + Scale(qBlue(t), keep), alpha + Scale(qAlpha(t), keep));
                }
            }
        }
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
