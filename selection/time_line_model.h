#pragma once
// The time line's arithmetic, without a window: a day of 86400 seconds drawn
// as 96 quarter-hour columns by 16 channel rows, the column width for each
// zoom level, the mapping between pixels and seconds, the drag that selects a
// span over a range of rows, the snapping of that span to the recordings, the
// row flags it sets, and the auto-scroll step.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <memory>
#include <vector>

namespace selection {

inline constexpr int kSecondsPerDay = 86400;
inline constexpr int kChannelRows = 16;
inline constexpr int kColumns = 96;  // quarter hours
inline constexpr int kMaxZoom = 23;

// One recording of one channel. `type` holds the recorder's record-type bits:
// 0x01 normal, 0x02 or 0x10 motion, 0x04 or 0x20 event.
struct TimeLineItem {
  int channel = 0;  // 1..16, the row
  int start = 0;    // seconds of the day
  int end = 0;
  int type = 0;
};

// Column width at a zoom level (clamped to 0..23): base + z x (z / 4 + 1).
int CellWidthForZoom(int baseCellWidth, int zoom);

// Where a point of the scroll area falls in the grid.
struct GridPoint {
  int second = 0;
  int row = 0;  // 1..16; the bottom edge gives 17
};

class TimeLineModel {
 public:
  TimeLineModel() = default;
  TimeLineModel(const TimeLineModel&) = delete;
  TimeLineModel& operator=(const TimeLineModel&) = delete;

  // Geometry at the current zoom.
  int GridWidth() const { return kColumns * m_nCellWidth; }
  double SecondsPerPixel() const { return static_cast<double>(kSecondsPerDay) / GridWidth(); }
  int GridBottom() const { return m_nHeaderHeight + kChannelRows * m_nRowHeight; }
  QSize ScrollSize() const { return {GridWidth() + m_nLeftMargin + 1, GridBottom() + 1}; }
  // The pixel column of a second.
  int XOfSecond(int second) const;
  // The off-screen picture's size: the scroll size at the widest zoom, so one
  // picture serves every level.
  QSize BitmapSize() const { return {m_nBaseCellWidth * kColumns + m_nLeftMargin + 13249, GridBottom() + 1}; }
  // A point of the scroll area (client point plus scroll position); false
  // outside the grid (its edges belong to it).
  bool HitTest(QPoint logical, GridPoint* at) const;

  // Clamps the level, stores it and sets the column width.
  void SetZoomLevel(int level);

  void AddItem(int channel, int start, int end, int type);
  // Drops every item and the selection; the row flags stay.
  void ClearItems();
  const std::vector<std::unique_ptr<TimeLineItem>>& Items() const { return m_items; }

  // The drag. A press inside the grid starts one (true: take the capture and
  // repaint). A move notes the auto-scroll side from its unscrolled x against
  // the window's rectangle in client coordinates (right edge excluded), then,
  // while dragging, moves the selection's end; it returns true when the point
  // was inside the grid. A release ends the drag and snaps (true: a selection
  // was made, tell the parent).
  bool Press(QPoint logical);
  bool Move(QPoint logical, int clientX, int windowLeft, int windowRight);
  bool Release(QPoint logical);

  // Sets a span from outside (the time pickers): rows 1 to 16 when no drag
  // gave rows yet, then snaps. The parent is told after this.
  void Select(int startSecond, int endSecond);

  // Snaps the span to the recordings of the rows between the drag's rows and
  // flags the rows whose recordings it overlaps.
  void Snap();

  // One tick of auto-scroll: the new horizontal position. The step is five
  // times the zoom level; it is taken only when the whole of it stays within
  // 0..maxPosition. The side is forgotten either way.
  int AutoScrollTick(int position, int maxPosition);

  // Read directly by the selection dialog.
  int m_nLeftMargin = 5;
  int m_nHeaderHeight = 25;
  int m_nCellWidth = 7;
  int m_nRowHeight = 15;
  int m_nBaseCellWidth = 7;
  int m_nZoom = 0;
  int m_nSelStart = 0;
  int m_nSelEnd = 0;
  int m_nSelRowStart = 0;
  int m_nSelRowEnd = 0;
  std::array<int, kChannelRows> m_nRowFlags{};
  int m_bDragging = 0;
  int m_nAutoScroll = 0;  // -1 left, 0 none, +1 right

 protected:
  std::vector<std::unique_ptr<TimeLineItem>> m_items;
};

}  // namespace selection
