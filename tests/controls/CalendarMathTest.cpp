#include "controls/CalendarMath.h"

#include "CalendarPrint.h"
#include "controls/CalendarLayout.h"
#include "controls/CalendarLocale.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace {

struct WeekdayCase {
    int year, month, weekday;
};

TEST(CalendarMath, FirstWeekdayOfTheMonth) {
    const WeekdayCase cases[] = {
        {2006, 0, 0},
        {2006, 9, 0},
        {2000, 0, 6},
        {2000, 2, 3},
        {2100, 1, 1},
        {2007, 11, 6},
        {1970, 0, 4},
        {2038, 0, 5},
        {2024, 1, 4},
        {9999, 11, 3},
        {1600, 2, 3},
        {1582, 10, 1},
        // Before the reform the Julian calendar counts.
        {1582, 9, 1},
        {1000, 0, 1},
        {1, 0, 6},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FirstWeekday(c.year, c.month), c.weekday) << Name({c.year, c.month, 0});
    }
}

TEST(CalendarMath, LeapYearsAndMonthLengths) {
    const struct {
        int year;
        bool leap;
    } years[] = {{1900, false}, {2000, true}, {2004, true}, {2006, false}, {2100, false}, {2400, true}};
    for (const auto &c : years) {
        EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
        EXPECT_EQ(DaysInMonth(c.year, 1), c.leap ? 29 : 28) << c.year;
    }
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 0; month < 12; ++month)
        EXPECT_EQ(DaysInMonth(2006, month), lengths[month]) << "month " << month;
}

using Move = CalendarDate (*)(CalendarDate);

struct MoveCase {
    const char *name;
    Move move;
    CalendarDate from, to;
};

TEST(CalendarMath, KeyAndButtonMoves) {
    const MoveCase cases[] = {
        {"Right on 31 December", &NextDay, {2006, 11, 30}, {2007, 0, 0}},
        {"Left on 1 January", &PreviousDay, {2007, 0, 0}, {2006, 11, 30}},
        {"Right within the month", &NextDay, {2006, 0, 4}, {2006, 0, 5}},
        {"Left from 1 March of a leap year", &PreviousDay, {2008, 2, 0}, {2008, 1, 28}},
        {"Down from 28 February of a common year", &NextWeek, {2007, 1, 27}, {2007, 2, 6}},
        {"Down from 28 February of a leap year", &NextWeek, {2008, 1, 27}, {2008, 2, 5}},
        {"Down within the month", &NextWeek, {2006, 0, 4}, {2006, 0, 11}},
        {"Down from 25 December", &NextWeek, {2006, 11, 24}, {2007, 0, 0}},
        {"Up from 3 March", &PreviousWeek, {2007, 2, 2}, {2007, 1, 23}},
        {"Up from 5 January", &PreviousWeek, {2006, 0, 4}, {2005, 11, 28}},
        {"Up from 8 January", &PreviousWeek, {2006, 0, 7}, {2006, 0, 0}},
        {"Page Down from 31 January", &NextMonth, {2006, 0, 30}, {2006, 1, 0}},
        {"Page Down from 28 January", &NextMonth, {2006, 0, 27}, {2006, 1, 27}},
        {"Page Up from 31 March", &PreviousMonth, {2006, 2, 30}, {2006, 1, 0}},
        {"Page Down from December", &NextMonth, {2006, 11, 14}, {2007, 0, 14}},
        {"Page Up from January", &PreviousMonth, {2006, 0, 14}, {2005, 11, 14}},
        {">> keeps month and day", &NextYear, {2006, 4, 9}, {2007, 4, 9}},
        {">> from 29 February", &NextYear, {2008, 1, 28}, {2009, 1, 27}},
        {"<< from 29 February", &PreviousYear, {2008, 1, 28}, {2007, 1, 27}},
        // The field's years end somewhere; the moves stop there instead of running off.
        {"Left on the first day there is", &PreviousDay, {1, 0, 0}, {1, 0, 0}},
        {"Up in the first month", &PreviousWeek, {1, 0, 3}, {1, 0, 3}},
        {"<< in the first year", &PreviousYear, {1, 5, 3}, {1, 5, 3}},
        {"Right on the last day there is", &NextDay, {9999, 11, 30}, {9999, 11, 30}},
        {"Page Down in the last month", &NextMonth, {9999, 11, 3}, {9999, 11, 3}},
        {">> in the last year", &NextYear, {9999, 5, 3}, {9999, 5, 3}},
    };
    for (const auto &c : cases) {
        const CalendarDate to = c.move(c.from);
        EXPECT_EQ(to, c.to) << c.name << ": got " << Name(to);
    }
}

TEST(CalendarMath, ClampBringsAnyDateIntoRange) {
    const struct {
        CalendarDate from, to;
    } cases[] = {
        {{2006, 13, 40}, {2006, 11, 30}},     {{0, -1, -1}, {1, 0, 0}},
        {{2007, 1, 28}, {2007, 1, 27}},       {{-2147483647 - 1, 0, 0}, {1, 0, 0}},
        {{2147483647, 5, 99}, {9999, 5, 29}}, {{2006, 3, 29}, {2006, 3, 29}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ClampDate(c.from), c.to) << Name(c.from);
}

TEST(CalendarMath, FieldTextInTheThreeOrders) {
    const CalendarNames names;
    const struct {
        LongDateOrder order;
        const char *text;
    } cases[] = {{LongDateOrder::MonthDayYear, "January 5, 2006"},
                 {LongDateOrder::DayMonthYear, "5 January, 2006"},
                 {LongDateOrder::YearDayMonth, "2006, 5 January"}};
    for (const auto &c : cases)
        EXPECT_EQ(DateFieldText({2006, 0, 4}, names, c.order), c.text) << "order " << static_cast<int>(c.order);
    EXPECT_EQ(CalendarTitle({2006, 0, 4}, names), "January 2006");
}

TEST(CalendarLocale, NamesAndOrderComeFromTheLocale) {
    const struct {
        const char *locale;
        LongDateOrder order;
        const char *january;
        const char *letters;
    } cases[] = {
        {"en_US", LongDateOrder::MonthDayYear, "January", "SMTWTFS"},
        {"en_GB", LongDateOrder::DayMonthYear, "January", "SMTWTFS"},
        {"de_DE", LongDateOrder::DayMonthYear, "Januar", "SMDMDFS"},
        {"ja_JP", LongDateOrder::YearDayMonth, "1\xe6\x9c\x88",
         "\xe6\x97\xa5\xe6\x9c\x88\xe7\x81\xab\xe6\xb0\xb4"
         "\xe6\x9c\xa8\xe9\x87\x91\xe5\x9c\x9f"},
    };
    for (const auto &c : cases) {
        const QLocale locale(QString::fromLatin1(c.locale));
        EXPECT_EQ(LongDateOrderOf(locale), c.order) << c.locale << ": " << locale.dateFormat().toStdString();
        const CalendarNames names = CalendarNamesOf(locale);
        EXPECT_EQ(names.months[0], c.january) << c.locale;
        std::string letters;
        for (const auto &letter : names.weekdayLetters)
            letters += letter;
        EXPECT_EQ(letters, c.letters) << c.locale;
    }
}

TEST(CalendarLayout, GridArithmetic) {
    const CalendarLayout layout(250, 250);
    // h = 242 / 9 = 26, w = 242 / 7 = 34, top (250 - 234) / 2 = 8, left (250 - 238) / 2 = 6.
    EXPECT_EQ(layout.Cell(0, 0), (CellRect{6, 8, 34, 26}));
    EXPECT_EQ(layout.Cell(8, 6), (CellRect{210, 216, 34, 26}));
    EXPECT_EQ(layout.Title(), (CellRect{45, 8, 160, 52}));
    EXPECT_EQ(layout.LineLeft(), 6);
    EXPECT_EQ(layout.LineRight(), 244);

    const struct {
        const char *name;
        int year, month, day, row, column;
    } cells[] = {
        {"a month starting on Sunday starts in the first column", 2006, 0, 0, 3, 0},
        {"its last day", 2006, 0, 30, 7, 2},
        {"31 days from a Saturday: the first day", 2007, 11, 0, 3, 6},
        {"31 days from a Saturday fill six rows", 2007, 11, 30, 8, 1},
    };
    for (const auto &c : cells) {
        EXPECT_EQ(layout.DayCell(c.year, c.month, c.day), layout.Cell(c.row, c.column)) << c.name;
        const CellRect cell = layout.Cell(c.row, c.column);
        EXPECT_EQ(layout.DayAt(c.year, c.month, cell.left + cell.width / 2, cell.top + cell.height / 2), c.day)
            << c.name;
    }
    const CellRect beforeTheFirst = layout.Cell(3, 0); // December 2007 starts on a Saturday
    EXPECT_FALSE(layout.DayAt(2007, 11, beforeTheFirst.left + 1, beforeTheFirst.top + 1));
    const CellRect afterTheLast = layout.Cell(8, 2);
    EXPECT_FALSE(layout.DayAt(2007, 11, afterTheLast.left + 1, afterTheLast.top + 1));
    EXPECT_FALSE(layout.DayAt(2007, 11, 2, 240)) << "the margin";
    EXPECT_FALSE(layout.DayAt(2007, 11, layout.Cell(2, 3).left + 1, layout.Cell(2, 3).top + 1)) << "the letters";
    EXPECT_FALSE(CalendarLayout(0, 3).DayAt(2007, 11, 0, 0)) << "a window too small for cells";
}

class LocalTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *old = std::getenv("TZ");
        hadZone_ = old != nullptr;
        if (old)
            oldZone_ = old;
    }
    void TearDown() override {
        if (hadZone_)
            setenv("TZ", oldZone_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void Zone(const char *zone) {
        setenv("TZ", zone, 1);
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string oldZone_;
};

TEST_F(LocalTimeTest, SecondsSince1970OfALocalDateAndTime) {
    const struct {
        const char *zone;
        CalendarDate date;
        int hour, minute, second;
        std::int64_t seconds;
    } cases[] = {
        {"UTC0", {1970, 0, 0}, 0, 0, 0, 0},
        {"UTC0", {1969, 11, 30}, 23, 59, 59, -1}, // also what a failed conversion returns
        {"UTC0", {2037, 11, 30}, 23, 59, 59, 2145916799},
        {"UTC0", {2038, 0, 18}, 3, 14, 7, 2147483647},
        // The system decides daylight saving: summer noon in Berlin is 10:00 UTC, winter noon 11:00.
        {"CET-1CEST,M3.5.0,M10.5.0/3", {2006, 6, 0}, 12, 0, 0, 1151748000},
        {"CET-1CEST,M3.5.0,M10.5.0/3", {2006, 0, 4}, 12, 0, 0, 1136458800},
    };
    for (const auto &c : cases) {
        Zone(c.zone);
        EXPECT_EQ(LocalSecondsSince1970(c.date, c.hour, c.minute, c.second), c.seconds)
            << c.zone << " " << Name(c.date);
    }
}

} // namespace
