#include "selection/time_line_model.h"

#include <algorithm>
#include <cmath>

namespace selection {

int CellWidthForZoom(int baseCellWidth, int zoom) {
  const int z = std::clamp(zoom, 0, kMaxZoom);
  return baseCellWidth + z * (z / 4 + 1);
}

int TimeLineModel::XOfSecond(int second) const {
  return static_cast<int>(std::trunc(m_nLeftMargin + second / SecondsPerPixel()));
}

bool TimeLineModel::HitTest(QPoint logical, GridPoint* at) const {
  const int x = logical.x();
  const int y = logical.y();
  if (x < m_nLeftMargin || x > m_nLeftMargin + GridWidth()) return false;
  if (y < m_nHeaderHeight || y > GridBottom()) return false;
  // Divide first, then multiply by the offset: the right edge gives exactly 86400.
  at->second = static_cast<int>(std::trunc(SecondsPerPixel() * (x - m_nLeftMargin)));
  at->row = (y - m_nHeaderHeight) / m_nRowHeight + 1;
  return true;
}

void TimeLineModel::SetZoomLevel(int level) {
  m_nZoom = std::clamp(level, 0, kMaxZoom);
  m_nCellWidth = CellWidthForZoom(m_nBaseCellWidth, m_nZoom);
}

void TimeLineModel::AddItem(int channel, int start, int end, int type) {
  m_items.push_back(std::make_unique<TimeLineItem>(TimeLineItem{channel, start, end, type}));
}

void TimeLineModel::ClearItems() {
  m_items.clear();
  m_nSelStart = 0;
  m_nSelEnd = 0;
  m_nSelRowStart = 0;
  m_nSelRowEnd = 0;
}

bool TimeLineModel::Press(QPoint logical) {
  GridPoint at;
  if (!HitTest(logical, &at)) return false;
  m_nSelStart = at.second;
  m_nSelEnd = 0;
  m_nSelRowStart = at.row;
  m_nSelRowEnd = 0;
  m_nRowFlags.fill(0);
  m_bDragging = 1;
  return true;
}

bool TimeLineModel::Move(QPoint logical, int clientX, int windowLeft, int windowRight) {
  if (clientX < windowLeft) m_nAutoScroll = -1;
  else if (clientX >= windowRight) m_nAutoScroll = 1;
  if (m_bDragging != 1) return false;
  GridPoint at;
  if (!HitTest(logical, &at)) return false;
  m_nSelEnd = at.second;
  m_nSelRowEnd = at.row;
  return true;
}

bool TimeLineModel::Release(QPoint logical) {
  if (m_bDragging != 1) return false;
  m_bDragging = 0;
  GridPoint at;
  if (HitTest(logical, &at)) {
    m_nSelEnd = at.second;
    m_nSelRowEnd = at.row;
  }
  Snap();
  return true;
}

void TimeLineModel::Select(int startSecond, int endSecond) {
  m_nSelStart = startSecond;
  m_nSelEnd = endSecond;
  if (m_nSelRowStart == 0 && m_nSelRowEnd == 0) {
    m_nSelRowStart = 1;
    m_nSelRowEnd = kChannelRows;
  }
  Snap();
}

void TimeLineModel::Snap() {
  if (m_nSelStart > m_nSelEnd) std::swap(m_nSelStart, m_nSelEnd);
  const int s = m_nSelStart;
  const int e = m_nSelEnd;
  const int lowRow = std::min(m_nSelRowStart, m_nSelRowEnd);
  const int highRow = std::max(m_nSelRowStart, m_nSelRowEnd);

  std::vector<const TimeLineItem*> considered;
  for (const auto& item : m_items) {
    if (item->channel >= 1 && item->channel <= kChannelRows && item->channel >= lowRow && item->channel <= highRow)
      considered.push_back(item.get());
  }
  auto covers = [&](int second) {
    return std::any_of(considered.begin(), considered.end(),
                       [&](const TimeLineItem* i) { return i->start <= second && second <= i->end; });
  };
  auto startsBy = [&](int second) {
    return std::any_of(considered.begin(), considered.end(), [&](const TimeLineItem* i) { return i->start <= second; });
  };

  // The start moves forward to the next recording, the end back to the last one.
  int newStart = kSecondsPerDay;
  if (covers(s)) newStart = s;
  else
    for (const TimeLineItem* i : considered)
      if (i->start > s) newStart = std::min(newStart, i->start);
  int newEnd = 0;
  if (covers(e)) newEnd = e;
  else
    for (const TimeLineItem* i : considered)
      if (i->end < e) newEnd = std::max(newEnd, i->end);

  if (newStart == newEnd && startsBy(newStart)) {
    // A click selects one minute, but never past the end of the day.
    m_nSelStart = newStart;
    const long long minuteLater = static_cast<long long>(newStart) + 60;
    m_nSelEnd = static_cast<int>(std::min<long long>(minuteLater, std::max(newStart, kSecondsPerDay)));
  } else if (newStart < newEnd && startsBy(newStart)) {
    m_nSelStart = newStart;
    m_nSelEnd = newEnd;
  } else {
    m_nSelStart = 0;
    m_nSelEnd = 0;
  }

  for (const TimeLineItem* i : considered)
    if (i->start < m_nSelEnd && m_nSelStart < i->end) m_nRowFlags[i->channel - 1] = 1;
}

int TimeLineModel::AutoScrollTick(int position, int maxPosition) {
  const int side = m_nAutoScroll;
  m_nAutoScroll = 0;
  const int step = 5 * m_nZoom;
  if (side > 0 && position + step <= maxPosition) return position + step;
  if (side < 0 && position - step >= 0) return position - step;
  return position;
}

}  // namespace selection
