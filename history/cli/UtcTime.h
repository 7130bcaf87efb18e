#pragma once

// Dates and times on the history's command line, always in UTC, so that a script's output does not depend on
// where the machine stands.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" (or with a T) as milliseconds since 1970.
// endOfDay: a date alone stands for the moment after its last millisecond (the end of a --to range).
std::optional<std::int64_t> ParseUtc(std::string_view text, bool endOfDay);

// "YYYY-MM-DD HH:MM:SS".
std::string FormatUtc(std::int64_t ms);

// "H:MM:SS" (hours may pass 24).
std::string FormatDuration(std::int64_t ms);
