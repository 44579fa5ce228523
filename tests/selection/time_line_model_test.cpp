// The time line's arithmetic without a window: zoom widths, the mapping
// between pixels and seconds, the drag, the snapping to recordings with its
// row flags, and the auto-scroll step.
#include <gtest/gtest.h>

#include <vector>

#include "selection/time_line_model.h"

using selection::GridPoint;
using selection::TimeLineModel;

namespace {

std::vector<int> FlaggedRows(const TimeLineModel& m) {
  std::vector<int> rows;
  for (int n = 1; n <= 16; ++n)
    if (m.m_nRowFlags[n - 1] == 1) rows.push_back(n);
  return rows;
}

// A day with a normal recording on channel 1 (08:15 to 09:30) and a motion
// recording on channel 3.
void AddDay(TimeLineModel& m) {
  m.AddItem(1, 29700, 34200, 1);
  m.AddItem(3, 40000, 41000, 2);
}

}  // namespace

TEST(TimeLineZoom, ColumnWidthAndScrollSizeAtEveryLevel) {
  const int widths[24] = {7, 8, 9, 10, 15, 17, 19, 21, 31, 34, 37, 40, 55, 59, 63, 67, 87, 92, 97, 102, 127, 133, 139, 145};
  TimeLineModel m;
  for (int z = 0; z <= 23; ++z) {
    m.SetZoomLevel(z);
    EXPECT_EQ(m.m_nZoom, z);
    EXPECT_EQ(m.m_nCellWidth, widths[z]) << "zoom " << z;
    EXPECT_EQ(m.ScrollSize(), QSize(96 * widths[z] + 6, 266)) << "zoom " << z;
  }
  m.SetZoomLevel(-5);
  EXPECT_EQ(m.m_nZoom, 0);
  EXPECT_EQ(m.m_nCellWidth, 7);
  EXPECT_EQ(m.ScrollSize(), QSize(678, 266));
  m.SetZoomLevel(40);
  EXPECT_EQ(m.m_nZoom, 23);
  EXPECT_EQ(m.m_nCellWidth, 145);
  EXPECT_EQ(m.ScrollSize(), QSize(13926, 266));
  // The off-screen picture fits the widest zoom.
  EXPECT_EQ(m.BitmapSize(), QSize(13926, 266));
}

TEST(TimeLineMapping, PixelsAndSecondsAtEachZoom) {
  TimeLineModel m;
  for (int z = 0; z <= 23; ++z) {
    m.SetZoomLevel(z);
    const int w = m.GridWidth();
    GridPoint at;
    // Both edges belong to the grid: 0 at the left, 86400 at the right.
    ASSERT_TRUE(m.HitTest({5, 25}, &at));
    EXPECT_EQ(at.second, 0);
    EXPECT_EQ(at.row, 1);
    ASSERT_TRUE(m.HitTest({5 + w, 265}, &at)) << "zoom " << z;
    EXPECT_EQ(at.second, 86400) << "zoom " << z;
    EXPECT_EQ(at.row, 17);  // the bottom edge: no channel, only widens a range
    EXPECT_FALSE(m.HitTest({4, 100}, &at));
    EXPECT_FALSE(m.HitTest({6 + w, 100}, &at));
    EXPECT_FALSE(m.HitTest({100, 24}, &at));
    EXPECT_FALSE(m.HitTest({100, 266}, &at));
    // A point's second maps back into its own pixel column, or the one
    // before where the division's rounding falls short of a whole pixel.
    for (int x = 5; x <= 5 + w; ++x) {
      ASSERT_TRUE(m.HitTest({x, 30}, &at));
      const int back = m.XOfSecond(at.second);
      ASSERT_TRUE(back == x || back == x - 1) << "zoom " << z << " x " << x << " back " << back;
    }
  }
  m.SetZoomLevel(0);
  GridPoint at;
  const struct { int x, second; } zoom0[] = {{229, 28800}, {285, 36000}, {6, 128}, {677, 86400}};
  for (const auto& c : zoom0) {
    ASSERT_TRUE(m.HitTest({c.x, 100}, &at));
    EXPECT_EQ(at.second, c.second) << "x " << c.x;
  }
  const struct { int y, row; } rows[] = {{25, 1}, {39, 1}, {40, 2}, {250, 16}, {264, 16}, {265, 17}};
  for (const auto& c : rows) {
    ASSERT_TRUE(m.HitTest({100, c.y}, &at));
    EXPECT_EQ(at.row, c.row) << "y " << c.y;
  }
}

TEST(TimeLineSnapping, DragsAndClicksSnapToTheRecordingsOfTheirRows) {
  struct Case {
    const char* what;
    int rowStart, rowEnd, from, to;
    int start, end;
    std::vector<int> flags;
  };
  const Case cases[] = {
      {"drag over a recording", 1, 1, 28800, 36000, 29700, 34200, {1}},
      {"drag backwards", 1, 1, 36000, 28800, 29700, 34200, {1}},
      {"click inside a recording", 1, 1, 30000, 30000, 30000, 30060, {1}},
      {"click on a recording's last second", 1, 1, 34200, 34200, 34200, 34260, {}},
      {"click on a recording's first second", 1, 1, 29700, 29700, 29700, 29760, {1}},
      {"drag over two rows' recordings", 1, 3, 28800, 42000, 29700, 41000, {1, 3}},
      {"drag from row 3 up to row 1", 3, 1, 28800, 42000, 29700, 41000, {1, 3}},
      {"only the rows of the drag count", 2, 3, 28800, 42000, 40000, 41000, {3}},
      {"click where nothing is", 1, 1, 20000, 20000, 0, 0, {}},
      {"row without recordings", 2, 2, 28800, 36000, 0, 0, {}},
      {"drag inside a recording", 1, 1, 30000, 31000, 30000, 31000, {1}},
      {"drag ending between recordings", 1, 3, 30000, 37000, 30000, 34200, {1}},
      {"bottom edge widens to channel 16", 3, 17, 39000, 42000, 40000, 41000, {3}},
  };
  for (const Case& c : cases) {
    TimeLineModel m;
    AddDay(m);
    m.m_nSelRowStart = c.rowStart;
    m.m_nSelRowEnd = c.rowEnd;
    m.m_nSelStart = c.from;
    m.m_nSelEnd = c.to;
    m.Snap();
    EXPECT_EQ(m.m_nSelStart, c.start) << c.what;
    EXPECT_EQ(m.m_nSelEnd, c.end) << c.what;
    EXPECT_EQ(FlaggedRows(m), c.flags) << c.what;
  }
}

TEST(TimeLineSnapping, EdgesOfTheDayAndOfTheItems) {
  {
    TimeLineModel m;  // no items at all
    m.m_nSelRowStart = 1;
    m.m_nSelRowEnd = 16;
    m.m_nSelStart = 100;
    m.m_nSelEnd = 5000;
    m.Snap();
    EXPECT_EQ(m.m_nSelStart, 0);
    EXPECT_EQ(m.m_nSelEnd, 0);
    EXPECT_TRUE(FlaggedRows(m).empty());
  }
  {
    // A click in the last minute of a recording that reaches midnight ends
    // the selection at midnight, not after it.
    TimeLineModel m;
    m.AddItem(5, 80000, 86400, 1);
    m.m_nSelRowStart = m.m_nSelRowEnd = 5;
    m.m_nSelStart = m.m_nSelEnd = 86370;
    m.Snap();
    EXPECT_EQ(m.m_nSelStart, 86370);
    EXPECT_EQ(m.m_nSelEnd, 86400);
    EXPECT_EQ(FlaggedRows(m), std::vector<int>({5}));
  }
  {
    // Channels outside 1..16 are drawn but never selected.
    TimeLineModel m;
    m.AddItem(0, 1000, 2000, 1);
    m.AddItem(17, 1000, 2000, 1);
    m.m_nSelRowStart = 1;
    m.m_nSelRowEnd = 17;
    m.m_nSelStart = 500;
    m.m_nSelEnd = 2500;
    m.Snap();
    EXPECT_EQ(m.m_nSelStart, 0);
    EXPECT_EQ(m.m_nSelEnd, 0);
    EXPECT_TRUE(FlaggedRows(m).empty());
  }
}

TEST(TimeLineSnapping, ValuesFarOutsideTheDayDoNotOverflow) {
  // Items are stored as given; a selection over them stays within int.
  TimeLineModel m;
  m.AddItem(1, 0, 2147483647, 1);
  m.AddItem(-2147483647 - 1, -2147483647 - 1, 2147483647, 0x3F);
  m.Select(2147483647 - 10, 2147483647 - 10);
  EXPECT_EQ(m.m_nSelStart, 2147483647 - 10);
  EXPECT_EQ(m.m_nSelEnd, 2147483647 - 10);
  m.Select(-2147483647 - 1, 100);
  EXPECT_EQ(m.m_nSelStart, 0);
  EXPECT_EQ(m.m_nSelEnd, 100);
  EXPECT_EQ(m.m_nRowFlags[0], 1);
  EXPECT_GT(m.XOfSecond(2147483647), 0);
  EXPECT_LT(m.XOfSecond(-2147483647 - 1), 0);
}

TEST(TimeLineDrag, PressMoveAndReleaseInTheGrid) {
  TimeLineModel m;
  AddDay(m);
  m.m_nRowFlags[9] = 1;  // from an earlier selection
  // Outside the grid a press does nothing.
  EXPECT_FALSE(m.Press({2, 100}));
  EXPECT_EQ(m.m_bDragging, 0);
  // 08:00 on row 1 (zoom 0: x 229).
  ASSERT_TRUE(m.Press({229, 30}));
  EXPECT_EQ(m.m_bDragging, 1);
  EXPECT_EQ(m.m_nSelStart, 28800);
  EXPECT_EQ(m.m_nSelEnd, 0);
  EXPECT_EQ(m.m_nSelRowStart, 1);
  EXPECT_EQ(m.m_nSelRowEnd, 0);
  EXPECT_TRUE(FlaggedRows(m).empty());  // a new drag starts with no rows
  // A move outside keeps the last end; one inside moves it.
  EXPECT_FALSE(m.Move({700, 30}, 700, -1, 690));
  EXPECT_EQ(m.m_nSelEnd, 0);
  EXPECT_TRUE(m.Move({285, 60}, 285, -1, 690));
  EXPECT_EQ(m.m_nSelEnd, 36000);
  EXPECT_EQ(m.m_nSelRowEnd, 3);
  // Released outside: the end of the last move counts.
  EXPECT_TRUE(m.Release({2, 300}));
  EXPECT_EQ(m.m_bDragging, 0);
  EXPECT_EQ(m.m_nSelStart, 29700);
  EXPECT_EQ(m.m_nSelEnd, 34200);
  EXPECT_EQ(FlaggedRows(m), std::vector<int>({1}));
  // Without a drag a release does nothing.
  EXPECT_FALSE(m.Release({285, 30}));
}

TEST(TimeLineDrag, ReleaseOutsideBeforeAnyMoveInsideSelectsFromMidnightToThePress) {
  TimeLineModel m;
  m.AddItem(1, 0, 3000, 1);
  m.AddItem(2, 1000, 2000, 4);
  ASSERT_TRUE(m.Press({5 + 14, 45}));  // second 1800, row 2
  ASSERT_TRUE(m.Release({-3, 45}));
  EXPECT_EQ(m.m_nSelRowEnd, 0);
  EXPECT_EQ(m.m_nSelStart, 0);
  EXPECT_EQ(m.m_nSelEnd, 1800);
  EXPECT_EQ(FlaggedRows(m), std::vector<int>({1, 2}));
}

TEST(TimeLineSelect, TimePickerSelectionsAndClearing) {
  TimeLineModel m;
  AddDay(m);
  // No drag yet: every row counts.
  m.Select(28800, 42000);
  EXPECT_EQ(m.m_nSelRowStart, 1);
  EXPECT_EQ(m.m_nSelRowEnd, 16);
  EXPECT_EQ(m.m_nSelStart, 29700);
  EXPECT_EQ(m.m_nSelEnd, 41000);
  EXPECT_EQ(FlaggedRows(m), std::vector<int>({1, 3}));
  // A later selection adds flags; it never clears the earlier ones.
  m.Select(29000, 30000);
  EXPECT_EQ(m.m_nSelStart, 29700);
  EXPECT_EQ(m.m_nSelEnd, 30000);
  EXPECT_EQ(FlaggedRows(m), std::vector<int>({1, 3}));
  // The rows of the last drag count.
  ASSERT_TRUE(m.Press({300, 55}));   // row 3
  ASSERT_TRUE(m.Release({300, 55}));
  m.Select(0, 86400);
  EXPECT_EQ(m.m_nSelStart, 40000);
  EXPECT_EQ(m.m_nSelEnd, 41000);
  // Clearing drops items and the selection, and the rows of the drag.
  m.ClearItems();
  EXPECT_TRUE(m.Items().empty());
  EXPECT_EQ(m.m_nSelStart, 0);
  EXPECT_EQ(m.m_nSelEnd, 0);
  EXPECT_EQ(m.m_nSelRowStart, 0);
  EXPECT_EQ(m.m_nSelRowEnd, 0);
  EXPECT_EQ(FlaggedRows(m), std::vector<int>({3}));  // the row flags stay
  m.AddItem(2, 100, 200, 1);
  m.Select(0, 86400);
  EXPECT_EQ(m.m_nSelRowStart, 1);
  EXPECT_EQ(m.m_nSelRowEnd, 16);
  EXPECT_EQ(m.m_nSelStart, 100);
  EXPECT_EQ(m.m_nSelEnd, 200);
}

TEST(TimeLineAutoScroll, TakesOnlyWholeStepsWithinRangeThenForgetsTheSide) {
  struct Case {
    int zoom, side, position, maxPosition, expected;
  };
  const Case cases[] = {
      {0, 1, 0, 500, 0},        // zoom 0: a step of nothing
      {10, 1, 0, 500, 50},
      {10, 1, 450, 500, 500},   // exactly to the limit
      {10, 1, 460, 500, 460},   // the step would pass the limit: not taken at all
      {10, -1, 100, 500, 50},
      {10, -1, 50, 500, 0},
      {10, -1, 40, 500, 40},    // would go below 0
      {10, 0, 100, 500, 100},   // no side, no move
      {23, 1, 0, 13250, 115},
  };
  for (const Case& c : cases) {
    TimeLineModel m;
    m.SetZoomLevel(c.zoom);
    m.m_nAutoScroll = c.side;
    EXPECT_EQ(m.AutoScrollTick(c.position, c.maxPosition), c.expected)
        << "zoom " << c.zoom << " side " << c.side << " from " << c.position;
    EXPECT_EQ(m.m_nAutoScroll, 0);
    // The side was forgotten: the next tick stays.
    EXPECT_EQ(m.AutoScrollTick(c.expected, c.maxPosition), c.expected);
  }
}

TEST(TimeLineAutoScroll, MovesBeyondASideSetIt) {
  TimeLineModel m;
  m.Move({10, 30}, 10, -1, 690);
  EXPECT_EQ(m.m_nAutoScroll, 0);
  m.Move({-10, 30}, -10, -1, 690);
  EXPECT_EQ(m.m_nAutoScroll, -1);
  m.Move({100, 30}, 100, -1, 690);
  EXPECT_EQ(m.m_nAutoScroll, -1);  // inside keeps the side
  m.Move({700, 30}, 700, -1, 690);
  EXPECT_EQ(m.m_nAutoScroll, 1);
}
