#include "platform/ui/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace platform::ui {

QPoint CentredOver(const QWidget* over, QSize size) {
  QScreen* screen = over != nullptr ? over->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return QPoint();
  const QRect area = screen->availableGeometry();
  const QPoint centre = over != nullptr ? over->geometry().center() : area.center();
  // Where a span of `length` centred on `middle` starts, kept within first..last.
  const auto start = [](int middle, int length, int first, int last) {
    return std::clamp(middle - length / 2, first, std::max(first, last + 1 - length));
  };
  return QPoint(start(centre.x(), size.width(), area.left(), area.right()),
                start(centre.y(), size.height(), area.top(), area.bottom()));
}

}  // namespace platform::ui
