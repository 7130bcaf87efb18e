#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The date arithmetic behind the date field and its month calendar; no widgets here.

// Month and day are 0-based: {2006, 0, 4} is 5 January 2006.
struct CalendarDate {
    int year = 1970;
    int month = 0;
    int day = 0;
    bool operator==(const CalendarDate &) const = default;
};

// The field keeps its year in a range where every step and every formula stays exact.
constexpr int kCalendarFirstYear = 1;
constexpr int kCalendarLastYear = 9999;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Weekday of the first day of the month, 0 Sunday to 6 Saturday, by its Julian day number (Julian calendar before
// 15 October 1582, Gregorian from then on).
int FirstWeekday(int year, int month);

// Brings a date into range: year into the field's years, month into 0 to 11, day onto the month's last day at most.
CalendarDate ClampDate(CalendarDate date);

// The pop-up's moves. A month step lands on the first day when the old day does not exist in the new month; a year
// step keeps the month and moves a missing 29 February to the 28th. Nothing moves past the first or the last year.
CalendarDate PreviousMonth(CalendarDate date);
CalendarDate NextMonth(CalendarDate date);
CalendarDate PreviousYear(CalendarDate date);
CalendarDate NextYear(CalendarDate date);
CalendarDate PreviousDay(CalendarDate date);
CalendarDate NextDay(CalendarDate date);
CalendarDate PreviousWeek(CalendarDate date);
CalendarDate NextWeek(CalendarDate date);

// Names the field and the calendar show, UTF-8; the defaults are the English ones.
struct CalendarNames {
    std::array<std::string, 12> months = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    std::array<std::string, 7> weekdayLetters = {"S", "M", "T", "W", "T", "F", "S"}; // Sunday first
};

// How a locale orders a long date: month first ("January 5, 2006"), day first ("5 January, 2006") or year first
// ("2006, 5 January").
enum class LongDateOrder { MonthDayYear = 0, DayMonthYear = 1, YearDayMonth = 2 };

std::string DateFieldText(CalendarDate date, const CalendarNames &names, LongDateOrder order);
std::string CalendarTitle(CalendarDate date, const CalendarNames &names); // "January 2006"

// Seconds since 1970 of a local date and time, daylight saving as the system decides; nothing when the system
// cannot represent it.
std::optional<std::int64_t> LocalSecondsSince1970(CalendarDate date, int hour, int minute, int second);
