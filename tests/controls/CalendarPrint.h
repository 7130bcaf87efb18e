#pragma once

#include "controls/CalendarMath.h"

#include <ostream>
#include <string>

inline std::string Name(const CalendarDate &d) {
    return std::to_string(d.year) + "-" + std::to_string(d.month + 1) + "-" + std::to_string(d.day + 1);
}

// Found by GoogleTest through the argument's namespace, so failures print dates instead of bytes.
inline void PrintTo(const CalendarDate &d, std::ostream *os) { *os << Name(d); }
