#pragma once

#include "places/AvatarMap.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QRect>

#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

// Pictures of the marks' names and of the crosses, made once and then only copied: drawing thousands of names
// as text each paint is several times slower than copying their pictures. A name of printable ASCII is put
// together from pictures of its characters instead of going through the text engine, which shapes and draws each
// name for several microseconds: a crowd of thousands arriving in one pump made the first paint take most of a
// second.
class MapTextCache {
public:
    // Called before each paint: a new font or pixel ratio makes every picture anew.
    void Prepare(const QFont &font, qreal pixelRatio);
    // The name in the map's text colour on a transparent ground; its text starts kNamePad pixels in.
    const QImage &Name(const std::string &name);
    // A plus sign five pixels across in the colour, centred in a 5 by 5 picture.
    const QImage &Cross(const QColor &colour);
    // Drops names no longer needed once the cache holds far more than the marks.
    void Trim(std::size_t markCount);

    static constexpr int kNamePad = 2;

private:
    // The printable ASCII characters, space to tilde: each drawn once at kGlyphPad pixels in, with its advance.
    struct Glyph {
        QImage picture;
        int advance = 0;
        QRect ink; // the part of the picture that is not transparent
    };
    static constexpr int kGlyphPad = 2;
    bool ComposeName(const std::string &name, QImage &picture);
    void MakeGlyphs();

    std::unordered_map<std::string, QImage> names_;
    std::vector<Glyph> glyphs_;
    std::unordered_map<QRgb, QImage> crosses_;
    QFont font_;
    qreal pixelRatio_ = 1;
};

// Paints the map into a width by height area whose top-left is the painter's origin: black ground, grid, scale
// label, corner labels, the marks with their names and the bot. Only what falls inside is drawn; an area
// narrower or lower than 3 pixels shows only its ground.
void PaintAvatarMap(QPainter &painter, const AvatarMap &map, int width, int height, const QFont &font,
                    MapTextCache &cache);

// The drawing area of the map window. Every change repaints it.
class AvatarMapView : public QFrame {
    Q_OBJECT

public:
    explicit AvatarMapView(QWidget *parent = nullptr);

    const AvatarMap &Map() const { return map_; }
    const QFont &MapFont() const { return font_; }

    void SetCentre(int x, int z);
    void AddOrUpdateMark(int session, const std::string &name, int x, int z);
    void RemoveMarks(int session);
    void ClearMarks();
    void SetManualScale(int centimetresPerPixel);
    void SetGrid(int centimetres);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AvatarMap map_;
    QFont font_;
    MapTextCache cache_;
};
