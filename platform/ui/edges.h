#pragma once
// Three-dimensional edges along a rectangle, in the platform's standard
// colours: a raised one for bands and headers, a sunken one for wells.
#include <QRect>

class QPainter;

namespace platform::ui {

enum class Edge { Raised, Sunken };

// Two pixels wide on each of the four sides, inside the rectangle.
void DrawEdge(QPainter& painter, const QRect& rect, Edge edge);

}  // namespace platform::ui
