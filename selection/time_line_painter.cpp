#include "selection/time_line_painter.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <algorithm>

#include "platform/ui/edges.h"
#include "selection/time_line_model.h"

namespace selection {
namespace {

const QColor kGridGrey(157, 157, 157);
const QColor kHeader(239, 235, 222);
const QColor kShade(221, 221, 221);
const QColor kSelection(85, 136, 204);
const QColor kNormal(221, 0, 0);
const QColor kMotion(0, 0, 221);
const QColor kEvent(0, 221, 0);

// An axis-aligned line drawn from its start to its end, the end pixel left out.
void LineTo(QPainter& p, int x0, int y0, int x1, int y1, const QColor& colour) {
  if (x0 == x1) {
    const int top = y1 > y0 ? y0 : y1 + 1;
    const int bottom = y1 > y0 ? y1 - 1 : y0;
    if (bottom >= top) p.fillRect(QRect(x0, top, 1, bottom - top + 1), colour);
  } else if (y0 == y1) {
    const int left = x1 > x0 ? x0 : x1 + 1;
    const int right = x1 > x0 ? x1 - 1 : x0;
    if (right >= left) p.fillRect(QRect(left, y0, right - left + 1, 1), colour);
  }
}

// Left, top, right and bottom, the right and bottom excluded.
QRect FromEdges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace

void PaintTimeLine(QPainter& p, const TimeLineModel& m) {
  const int w = m.GridWidth();
  const int cw = m.m_nCellWidth;
  const int rh = m.m_nRowHeight;
  const int left = m.m_nLeftMargin;
  const int top = m.m_nHeaderHeight;

  p.fillRect(FromEdges(0, 0, w + 6, m.GridBottom() + 1), Qt::white);
  const QRect header = FromEdges(0, 0, w + 6, top);
  p.fillRect(header, kHeader);
  platform::ui::DrawEdge(p, header, platform::ui::Edge::Raised);

  for (int i = 0; i < kColumns; ++i) {
    const int x = left + i * cw;
    LineTo(p, x, 2, x, i % 4 == 0 ? 9 : 6, kGridGrey);
  }

  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(12);
  p.setFont(font);
  p.setPen(Qt::black);
  const int textHeight = p.fontMetrics().height();
  for (int hour = 0; hour < 24; ++hour) {
    const int x = left + 4 * hour * cw - 2;
    p.drawText(QRect(x, top - 16, 40, textHeight), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0')));
  }

  for (int column = 0; column < kColumns; column += 4)
    for (int row = 0; row < kChannelRows; ++row) p.fillRect(QRect(left + column * cw, top + row * rh, cw, rh), kShade);

  // The selection's columns run from the smaller to the larger (excluded) of
  // the start's column and the column after the end's.
  const int a = m.XOfSecond(m.m_nSelStart);
  const int b = m.XOfSecond(m.m_nSelEnd) + 1;
  const int selLeft = std::min(a, b);
  const int selRight = std::max(a, b);
  if (m.m_bDragging == 1) {
    if (m.m_nSelRowEnd != 0) {
      const int low = std::min(m.m_nSelRowStart, m.m_nSelRowEnd);
      const int high = std::max(m.m_nSelRowStart, m.m_nSelRowEnd);
      p.fillRect(FromEdges(selLeft, top + (low - 1) * rh, selRight, top + high * rh), kSelection);
    }
  } else {
    for (int n = 1; n <= kChannelRows; ++n)
      if (m.m_nRowFlags[n - 1] == 1) p.fillRect(FromEdges(selLeft, top + (n - 1) * rh, selRight, top + n * rh), kSelection);
  }

  for (int column = 0; column < kColumns; ++column) {
    for (int row = 0; row < kChannelRows; ++row) {
      const int x0 = left + column * cw;
      const int y0 = top + row * rh;
      LineTo(p, x0, y0, x0 + cw, y0, kGridGrey);
      LineTo(p, x0 + cw, y0, x0 + cw, y0 + rh, kGridGrey);
      LineTo(p, x0 + cw, y0 + rh, x0, y0 + rh, kGridGrey);
      LineTo(p, x0, y0 + rh, x0, y0, kGridGrey);
    }
  }

  // Later items over earlier ones; within one, event over motion over normal.
  for (const auto& item : m.Items()) {
    // A channel outside 1..16 keeps its nominal row, which may lie off the picture.
    const long long y = top + (static_cast<long long>(item->channel) - 1) * rh + 5;
    if (y < -rh || y > m.GridBottom()) continue;
    const int x0 = m.XOfSecond(item->start);
    const QRect bar(x0, static_cast<int>(y), m.XOfSecond(item->end) - x0 + 1, 6);
    if (bar.width() <= 0) continue;  // an end before its start draws nothing
    if (item->type & 0x01) p.fillRect(bar, kNormal);
    if (item->type & 0x12) p.fillRect(bar, kMotion);
    if (item->type & 0x24) p.fillRect(bar, kEvent);
  }
}

}  // namespace selection
