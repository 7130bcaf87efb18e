#pragma once

#include <QColor>

// Colours for text on a background the text does not choose: a palette's colour can be fine on the desktop's own
// windows and unreadable on a backdrop of the program's, and a fixed colour the other way round.

// How far apart two colours' relative luminances are: from 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor &a, const QColor &b);

// Contrast that body text needs to be read with ease.
inline constexpr double kReadableContrast = 4.5;

// preferred when it reads well on background; else whichever of onLight and onDark reads better there.
QColor ReadableOn(const QColor &background, const QColor &preferred, const QColor &onLight, const QColor &onDark);
