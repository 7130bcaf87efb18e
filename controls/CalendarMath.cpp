#include "controls/CalendarMath.h"

#include <algorithm>
#include <cmath>
#include <ctime>

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    month = std::clamp(month, 0, 11);
    return kDays[month] + (month == 1 && IsLeapYear(year) ? 1 : 0);
}

int FirstWeekday(int year, int month) {
    const std::int64_t m = std::clamp(month, 0, 11) + 1;
    const std::int64_t d = 1;
    const std::int64_t y = year;
    const std::int64_t mm = m <= 2 ? m + 13 : m + 1;
    const std::int64_t yy = m <= 2 ? y - 1 : y;
    std::int64_t julian = static_cast<std::int64_t>(std::floor(30.6001 * static_cast<double>(mm))) +
                          static_cast<std::int64_t>(std::floor(365.25 * static_cast<double>(yy))) + d + 1720995;
    if (y * 372 + m * 31 + d >= 588829) { // the Gregorian reform, 15 October 1582
        const auto a = static_cast<std::int64_t>(0.01 * static_cast<double>(yy));
        julian += 2 - a + static_cast<std::int64_t>(std::floor(static_cast<double>(a) / 4.0));
    }
    const std::int64_t weekday = (julian + 1) % 7;
    return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

CalendarDate ClampDate(CalendarDate date) {
    date.year = std::clamp(date.year, kCalendarFirstYear, kCalendarLastYear);
    date.month = std::clamp(date.month, 0, 11);
    date.day = std::clamp(date.day, 0, DaysInMonth(date.year, date.month) - 1);
    return date;
}

CalendarDate PreviousMonth(CalendarDate date) {
    if (date.month == 0) {
        if (date.year <= kCalendarFirstYear)
            return date;
        date.month = 11;
        --date.year;
    } else {
        --date.month;
    }
    if (date.day >= DaysInMonth(date.year, date.month))
        date.day = 0;
    return date;
}

CalendarDate NextMonth(CalendarDate date) {
    if (date.month == 11) {
        if (date.year >= kCalendarLastYear)
            return date;
        date.month = 0;
        ++date.year;
    } else {
        ++date.month;
    }
    if (date.day >= DaysInMonth(date.year, date.month))
        date.day = 0;
    return date;
}

CalendarDate PreviousYear(CalendarDate date) {
    if (date.year > kCalendarFirstYear)
        --date.year;
    return ClampDate(date);
}

CalendarDate NextYear(CalendarDate date) {
    if (date.year < kCalendarLastYear)
        ++date.year;
    return ClampDate(date);
}

CalendarDate PreviousDay(CalendarDate date) {
    if (date.day > 0) {
        --date.day;
        return date;
    }
    const CalendarDate before = PreviousMonth(date);
    if (before.month == date.month) // already at the first month there is
        return date;
    return {before.year, before.month, DaysInMonth(before.year, before.month) - 1};
}

CalendarDate NextDay(CalendarDate date) {
    if (date.day + 1 < DaysInMonth(date.year, date.month)) {
        ++date.day;
        return date;
    }
    const CalendarDate after = NextMonth(date);
    if (after.month == date.month)
        return date;
    return {after.year, after.month, 0};
}

CalendarDate PreviousWeek(CalendarDate date) {
    if (date.day >= 7) {
        date.day -= 7;
        return date;
    }
    const CalendarDate before = PreviousMonth(date);
    if (before.month == date.month)
        return date;
    return {before.year, before.month, DaysInMonth(before.year, before.month) + date.day - 7};
}

CalendarDate NextWeek(CalendarDate date) {
    const int days = DaysInMonth(date.year, date.month);
    if (date.day + 7 < days) {
        date.day += 7;
        return date;
    }
    const CalendarDate after = NextMonth(date);
    if (after.month == date.month)
        return date;
    return {after.year, after.month, date.day + 7 - days};
}

std::string DateFieldText(CalendarDate date, const CalendarNames &names, LongDateOrder order) {
    date = ClampDate(date);
    const std::string day = std::to_string(date.day + 1);
    const std::string &month = names.months[static_cast<std::size_t>(date.month)];
    const std::string year = std::to_string(date.year);
    switch (order) {
    case LongDateOrder::DayMonthYear:
        return day + " " + month + ", " + year;
    case LongDateOrder::YearDayMonth:
        return year + ", " + day + " " + month;
    case LongDateOrder::MonthDayYear:
        break;
    }
    return month + " " + day + ", " + year;
}

std::string CalendarTitle(CalendarDate date, const CalendarNames &names) {
    date = ClampDate(date);
    return names.months[static_cast<std::size_t>(date.month)] + " " + std::to_string(date.year);
}

std::optional<std::int64_t> LocalSecondsSince1970(CalendarDate date, int hour, int minute, int second) {
    date = ClampDate(date);
    std::tm local{};
    local.tm_year = date.year - 1900;
    local.tm_mon = date.month;
    local.tm_mday = date.day + 1;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    // mktime's error value is also the valid second before 1970; a failed call leaves the weekday alone.
    local.tm_wday = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1) && local.tm_wday == -1)
        return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}
