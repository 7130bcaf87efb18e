#include "controls/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace {

double Luminance(const QColor &colour) {
    const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &background, const QColor &preferred, const QColor &onLight, const QColor &onDark) {
    if (ContrastRatio(preferred, background) >= kReadableContrast) {
        return preferred;
    }
    return ContrastRatio(onLight, background) >= ContrastRatio(onDark, background) ? onLight : onDark;
}
