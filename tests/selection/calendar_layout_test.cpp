// The calendar's day layout without a window: where each month begins, its
// length, the cells' numbers, choosing a day and the children's places.
#include <gtest/gtest.h>

#include "selection/calendar_layout.h"

using namespace selection;

TEST(CalendarLayout, MonthsBeginningOnEachWeekday) {
  struct Case {
    int year, month, firstWeekday, lastCell;
  };
  const Case cases[] = {
      {2012, 1, 1, 30},   // Sunday: day 1 in the first cell
      {2012, 10, 2, 31},  // Monday
      {2012, 5, 3, 32},   // Tuesday
      {2012, 2, 4, 31},   // Wednesday, a leap February
      {2012, 3, 5, 34},   // Thursday
      {2012, 6, 6, 34},   // Friday, 30 days
      {2012, 9, 7, 35},   // Saturday, 30 days: the sixth row
      {2013, 3, 6, 35},   // Friday, 31 days: the sixth row
      {2012, 12, 7, 36},  // Saturday, 31 days
      {2015, 2, 1, 27},   // Sunday, 28 days: four full rows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month);
    EXPECT_EQ(FirstWeekday(c.year, c.month), c.firstWeekday);
    const auto numbers = DayNumbers(c.year, c.month);
    const int length = MonthLength(c.year, c.month);
    EXPECT_EQ(CellOfDay(c.firstWeekday, 1), c.firstWeekday - 1);
    EXPECT_EQ(CellOfDay(c.firstWeekday, length), c.lastCell);
    for (int k = 0; k < kDayCells; ++k) {
      const int expected = (k >= c.firstWeekday - 1 && k <= c.lastCell) ? k - c.firstWeekday + 2 : 0;
      EXPECT_EQ(numbers[k], expected) << "cell " << k;
    }
  }
}

TEST(CalendarLayout, MonthLengthsAndLeapFebruaries) {
  const struct { int year, days; } februaries[] = {
      {2008, 29}, {2012, 29}, {2016, 29}, {2000, 29}, {2024, 29},
      {2011, 28}, {2013, 28}, {2100, 28}, {1900, 28}, {2044, 29},
  };
  for (const auto& f : februaries) EXPECT_EQ(MonthLength(f.year, 2), f.days) << f.year;
  const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(MonthLength(2011, month), lengths[month - 1]) << month;
  // Day 29 of a leap February has its cell; 2100's February ends on 28.
  const auto leap = DayNumbers(2016, 2);
  EXPECT_EQ(leap[CellOfDay(FirstWeekday(2016, 2), 29)], 29);
  const auto plain = DayNumbers(2100, 2);
  EXPECT_EQ(plain[CellOfDay(FirstWeekday(2100, 2), 28)], 28);
  EXPECT_EQ(plain[CellOfDay(FirstWeekday(2100, 2), 29)], 0);
}

TEST(CalendarLayout, CellsOutsideTheGridHaveNoIndex) {
  EXPECT_EQ(CellOfDay(1, 0), -1);
  EXPECT_EQ(CellOfDay(7, 37), -1);
  EXPECT_EQ(CellOfDay(7, 36), 41);
  EXPECT_EQ(CellOfDay(1, -5), -1);
  EXPECT_EQ(CellOfDay(1, 2147483647), -1);
}

TEST(CalendarLayout, ChoosingADayMovesTheSelection) {
  const int first = FirstWeekday(2012, 5);  // Tuesday
  std::array<int, kDayCells> modes;
  modes.fill(kModePlain);
  modes[CellOfDay(first, 5)] = kModeRecordings;
  modes[CellOfDay(first, 17)] = kModeRecordings;

  EXPECT_TRUE(SelectDayInCells(modes, first, 5));
  EXPECT_EQ(modes[CellOfDay(first, 5)], kModeSelected);
  EXPECT_TRUE(SelectDayInCells(modes, first, 17));
  EXPECT_EQ(modes[CellOfDay(first, 17)], kModeSelected);
  EXPECT_EQ(modes[CellOfDay(first, 5)], kModeRecordings);  // the old one blue again
  // A plain day, or a day outside the cells, selects nothing; the old
  // selection goes back to a day with recordings all the same.
  EXPECT_FALSE(SelectDayInCells(modes, first, 6));
  EXPECT_EQ(modes[CellOfDay(first, 17)], kModeRecordings);
  EXPECT_FALSE(SelectDayInCells(modes, first, 99));
  EXPECT_FALSE(SelectDayInCells(modes, first, -3));
  for (int k = 0; k < kDayCells; ++k) EXPECT_NE(modes[k], kModeSelected);
}

TEST(CalendarLayout, ChildrenOfA208By160Calendar) {
  const CalendarGeometry g = LayoutCalendar(208, 160);
  EXPECT_EQ(g.monthCombo.left(), 5);
  EXPECT_EQ(g.monthCombo.x() + g.monthCombo.width(), 101);
  EXPECT_EQ(g.yearCombo.left(), 107);
  EXPECT_EQ(g.yearCombo.x() + g.yearCombo.width(), 203);
  EXPECT_EQ(g.weekdayLabels[0], QRect(1, 32, 28, 20));
  EXPECT_EQ(g.weekdayLabels[6], QRect(174, 32, 29, 20));
  for (const QRect& cell : g.dayCells) {
    EXPECT_EQ(cell.width(), 29);
    EXPECT_EQ(cell.height(), 17);
  }
  EXPECT_EQ(g.dayCells[0].topLeft(), QPoint(0, 55));
  EXPECT_EQ(g.dayCells[41].topLeft(), QPoint(174, 55 + 5 * 17));
}
