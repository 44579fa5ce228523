#pragma once
// Where a window stands when it is centred over another (or on the screen).
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace platform::ui {

// The top-left corner of a window of the given size centred over the window
// `over` (on the primary screen when null), kept within that screen's
// available area.
QPoint CentredOver(const QWidget* over, QSize size);

}  // namespace platform::ui
