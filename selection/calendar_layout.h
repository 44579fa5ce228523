#pragma once
// The month calendar's arithmetic, without a window: the weekday a month
// begins on, its length, which of the 42 day cells (6 rows of 7, Sunday
// first) shows which day, the cell modes and the choosing of a day, and where
// the calendar's children lie.
#include <QRect>
#include <array>

namespace selection {

inline constexpr int kDayCells = 42;
inline constexpr int kWeekdays = 7;

// How a day cell or a weekday label looks and acts.
enum CellMode : int {
  kModeHeader = 0,      // weekday label
  kModeSelected = 1,    // the chosen day, red
  kModeRecordings = 2,  // a day with recordings, blue and clickable
  kModePlain = 3,       // a plain day or an empty cell
};

// Weekday of the month's first day, 1 = Sunday to 7 = Saturday (Gregorian
// calendar; year >= 1, month 1..12).
int FirstWeekday(int year, int month);
bool IsLeapYear(int year);
int MonthLength(int year, int month);

// The cell that shows a day: firstWeekday + day - 2; -1 when that lies
// outside the 42 cells.
int CellOfDay(int firstWeekday, int day);

// The day number each cell shows, 0 for an empty cell.
std::array<int, kDayCells> DayNumbers(int year, int month);

// Choosing a day: every selected cell goes back to "recordings"; then the
// day's cell, when it has recordings, becomes selected. False (nothing
// changed but the old selection) when it has none or lies outside the cells.
bool SelectDayInCells(std::array<int, kDayCells>& modes, int firstWeekday, int day);

// Where the children of a calendar of w x h pixels lie, in its client area.
struct CalendarGeometry {
  QRect monthCombo;
  QRect yearCombo;
  std::array<QRect, kWeekdays> weekdayLabels;
  std::array<QRect, kDayCells> dayCells;
};
CalendarGeometry LayoutCalendar(int width, int height);

}  // namespace selection
