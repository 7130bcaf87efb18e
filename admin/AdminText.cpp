#include "admin/AdminText.h"

#include "sdk/Attributes.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

std::string FormatText(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (size > 0) {
        text.resize(static_cast<std::size_t>(size));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

std::string FormatLocalTime(std::int64_t seconds, const char *format) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&time, &local)) {
        return std::to_string(seconds);
    }
    char buffer[256];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return length > 0 ? std::string(buffer, length) : std::to_string(seconds);
}

std::int64_t LocalTimestamp(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

std::string FieldName(std::string_view label) {
    if (!label.empty() && label.back() == ':') {
        label.remove_suffix(1);
    }
    return std::string(label);
}

std::optional<std::string> TooLongMessage(std::string_view label, int attribute, std::string_view text) {
    const std::size_t limit = AttributeMaxLength(attribute);
    if (text.size() <= limit) {
        return std::nullopt;
    }
    return FormatText("%s is too long: the server takes at most %zu bytes.", FieldName(label).c_str(), limit);
}
