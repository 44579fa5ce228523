#include "platform/ui/edges.h"

#include <QColor>
#include <QPainter>

namespace platform::ui {
namespace {

const QColor kHighlight(255, 255, 255);
const QColor kLight(227, 227, 227);
const QColor kShadow(160, 160, 160);
const QColor kDarkShadow(105, 105, 105);

// One ring of an edge: top and left in one colour, bottom and right in another.
void Ring(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  if (r.width() <= 0 || r.height() <= 0) return;
  p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

}  // namespace

void DrawEdge(QPainter& painter, const QRect& rect, Edge edge) {
  const QRect inner = rect.adjusted(1, 1, -1, -1);
  if (edge == Edge::Raised) {
    Ring(painter, rect, kLight, kDarkShadow);
    Ring(painter, inner, kHighlight, kShadow);
  } else {
    Ring(painter, rect, kShadow, kHighlight);
    Ring(painter, inner, kDarkShadow, kLight);
  }
}

}  // namespace platform::ui
