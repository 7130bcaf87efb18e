#pragma once

#include "controls/CalendarMath.h"

#include <optional>

// Where things sit in the month calendar: 9 rows of 7 cells inside a 4-pixel margin, centred in the window. Rows 0
// and 1 hold the four buttons at their ends and the title between them, row 2 the weekday letters, rows 3 to 8 the
// days, Sunday in the first column.
struct CellRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CellRect &) const = default;
    bool Contains(int x, int y) const { return x >= left && x < left + width && y >= top && y < top + height; }
};

class CalendarLayout {
public:
    static constexpr int kRows = 9;
    static constexpr int kColumns = 7;
    static constexpr int kMargin = 4;
    static constexpr int kFirstDayRow = 3;

    CalendarLayout(int width, int height);

    CellRect Cell(int row, int column) const;
    CellRect Title() const; // between the button columns, across rows 0 and 1
    // The ends of the line under the weekday letters.
    int LineLeft() const { return left_; }
    int LineRight() const { return width_ - left_; }

    // The cell of a day of the month, by its 0-based index.
    CellRect DayCell(int year, int month, int day) const;
    // The day index under a point, or nothing when the point is on no day of the month.
    std::optional<int> DayAt(int year, int month, int x, int y) const;

private:
    int cellWidth_ = 0;
    int cellHeight_ = 0;
    int top_ = 0;
    int left_ = 0;
    int width_ = 0;
};
