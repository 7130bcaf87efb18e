#include "history/cli/UtcTime.h"

#include <cstdio>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool Digits(std::string_view text, std::size_t at, std::size_t count, unsigned &value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

unsigned DaysInMonth(unsigned y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

} // namespace

std::optional<std::int64_t> ParseUtc(std::string_view text, bool endOfDay) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!Digits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, mo) || text[7] != '-' ||
        !Digits(text, 8, 2, d) || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo))
        return std::nullopt;
    const bool dateOnly = text.size() == 10;
    if (!dateOnly) {
        if ((text[10] != ' ' && text[10] != 'T') || !Digits(text, 11, 2, h) || text.size() < 16 || text[13] != ':' ||
            !Digits(text, 14, 2, mi) || h > 23 || mi > 59)
            return std::nullopt;
        if (text.size() != 16 && (text.size() != 19 || text[16] != ':' || !Digits(text, 17, 2, s) || s > 59))
            return std::nullopt;
    }
    std::int64_t days = DaysFromCivil(y, mo, d);
    if (dateOnly && endOfDay)
        ++days;
    return ((days * 24 + h) * 60 + mi) * 60000 + static_cast<std::int64_t>(s) * 1000;
}

std::string FormatUtc(std::int64_t ms) {
    std::int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t rest = seconds - days * 86400;
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    char out[64];
    std::snprintf(out, sizeof out, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return out;
}

std::string FormatDuration(std::int64_t ms) {
    const std::int64_t s = ms < 0 ? 0 : ms / 1000;
    char out[48];
    std::snprintf(out, sizeof out, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return out;
}
