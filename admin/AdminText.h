#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// printf-style formatting for the dialogs' fixed message templates.
std::string FormatText(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Seconds since 1970 as local time through strftime; the number itself when the C library cannot convert it.
std::string FormatLocalTime(std::int64_t seconds, const char *format);

// The local date and time (month 1 to 12) as seconds since 1970, daylight saving decided by the system.
std::int64_t LocalTimestamp(int year, int month, int day, int hour, int minute, int second);

// A text field's name for messages: its label without the trailing colon.
std::string FieldName(std::string_view label);

// Nothing when text fits the attribute's byte limit; otherwise the message that says which field is too long.
std::optional<std::string> TooLongMessage(std::string_view label, int attribute, std::string_view text);

// The years whose dates fit the 32-bit timestamps of objects and ejections.
constexpr int kFirstTimestampYear = 1970;
constexpr int kLastTimestampYear = 2037;
constexpr bool YearFitsTimestamp(int year) { return year >= kFirstTimestampYear && year <= kLastTimestampYear; }
