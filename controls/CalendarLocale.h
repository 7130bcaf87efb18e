#pragma once

#include "controls/CalendarMath.h"

#include <QLocale>

// The calendar's names and the long-date order as a locale gives them; a name the locale leaves empty keeps its
// English default.
CalendarNames CalendarNamesOf(const QLocale &locale);
LongDateOrder LongDateOrderOf(const QLocale &locale);
