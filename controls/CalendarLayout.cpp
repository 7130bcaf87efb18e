#include "controls/CalendarLayout.h"

#include <algorithm>

CalendarLayout::CalendarLayout(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    width_ = width;
    cellHeight_ = std::max((height - 2 * kMargin) / kRows, 0);
    cellWidth_ = std::max((width - 2 * kMargin) / kColumns, 0);
    top_ = (height - kRows * cellHeight_) / 2;
    left_ = (width - kColumns * cellWidth_) / 2;
}

CellRect CalendarLayout::Cell(int row, int column) const {
    return {left_ + column * cellWidth_, top_ + row * cellHeight_, cellWidth_, cellHeight_};
}

CellRect CalendarLayout::Title() const {
    const int left = left_ + cellWidth_ + 5;
    const int right = width_ - left_ - cellWidth_ - 5;
    return {left, top_, std::max(right - left, 0), 2 * cellHeight_};
}

CellRect CalendarLayout::DayCell(int year, int month, int day) const {
    const int slot = FirstWeekday(year, month) + day;
    return Cell(kFirstDayRow + slot / kColumns, slot % kColumns);
}

std::optional<int> CalendarLayout::DayAt(int year, int month, int x, int y) const {
    for (int day = 0; day < DaysInMonth(year, month); ++day) {
        if (DayCell(year, month, day).Contains(x, y))
            return day;
    }
    return std::nullopt;
}
