#include "selection/calendar_layout.h"

namespace selection {
namespace {

// Left, top, right and bottom, the right and bottom excluded.
QRect FromEdges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace

int FirstWeekday(int year, int month) {
  // Sakamoto's method: 0 = Sunday.
  static constexpr int kOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = year;
  if (month < 3) y -= 1;
  const int weekday = (y + y / 4 - y / 100 + y / 400 + kOffsets[month - 1] + 1) % 7;
  return weekday + 1;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int MonthLength(int year, int month) {
  switch (month) {
    case 4: case 6: case 9: case 11: return 30;
    case 2: return IsLeapYear(year) ? 29 : 28;
    default: return 31;
  }
}

int CellOfDay(int firstWeekday, int day) {
  const long long cell = static_cast<long long>(firstWeekday) + day - 2;
  return cell >= 0 && cell < kDayCells ? static_cast<int>(cell) : -1;
}

std::array<int, kDayCells> DayNumbers(int year, int month) {
  std::array<int, kDayCells> numbers{};
  const int first = FirstWeekday(year, month);
  const int length = MonthLength(year, month);
  int day = 0;
  for (int count = 1; count <= kDayCells; ++count) {
    if (count < first || day >= length) continue;
    numbers[count - 1] = ++day;
  }
  return numbers;
}

bool SelectDayInCells(std::array<int, kDayCells>& modes, int firstWeekday, int day) {
  for (int& mode : modes)
    if (mode == kModeSelected) mode = kModeRecordings;
  const int cell = CellOfDay(firstWeekday, day);
  if (cell < 0 || modes[cell] != kModeRecordings) return false;
  modes[cell] = kModeSelected;
  return true;
}

CalendarGeometry LayoutCalendar(int width, int height) {
  CalendarGeometry g;
  const int cw = width / 7;
  const int rh = (height - 55) / 6;
  g.monthCombo = FromEdges(5, 5, width / 2 - 3, 20);
  g.yearCombo = FromEdges(width / 2 + 3, 5, width - 5, 20);
  for (int i = 0; i < kWeekdays; ++i) g.weekdayLabels[i] = FromEdges(i == 0 ? 1 : i * cw, 32, (i + 1) * cw, 52);
  for (int k = 0; k < kDayCells; ++k) {
    const int r = k / 7;
    const int c = k % 7;
    g.dayCells[k] = FromEdges(c * cw, 55 + r * rh, (c + 1) * cw, 55 + (r + 1) * rh);
  }
  return g;
}

}  // namespace selection
