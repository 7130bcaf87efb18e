#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

#include <string>
#include <unordered_map>
#include <vector>

class AsciiShaping;

// Pictures of the marks' names and of the crosses, made once and then only copied: drawing thousands of names
// as text each paint is several times slower than copying their pictures. A name of printable ASCII is put
// together from pictures of its characters instead of going through the text engine, which shapes and draws each
// name for several microseconds: a crowd of thousands arriving in one pump made the first paint take most of a
// second. The characters go where the text engine puts them: its advances and kerning, in its fractions of a
// pixel, each drawn at the fraction it falls on; a name the engine would draw with other glyphs (a ligature such
// as "fi") is left to the engine.
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
    // One printable ASCII character drawn kGlyphPad pixels in plus one of kPhases fractions of a pixel.
    struct Glyph {
        QImage picture;
        QRect ink; // the part of the picture that is not transparent; empty until the picture is made
        bool made = false;
    };
    static constexpr int kGlyphPad = 2;
    bool ComposeName(const std::string &name, QImage &picture);
    const Glyph &GlyphFor(char c, int phase);

    std::unordered_map<std::string, QImage> names_;
    std::vector<Glyph> glyphs_;
    AsciiShaping *shaping_ = nullptr;
    int height_ = 0; // of a name's picture, as the text engine's line and one more row
    std::unordered_map<QRgb, QImage> crosses_;
    QFont font_;
    qreal pixelRatio_ = 1;
};
