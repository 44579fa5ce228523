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
  const int x = std::clamp(centre.x() - size.width() / 2, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
  const int y = std::clamp(centre.y() - size.height() / 2, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
  return QPoint(x, y);
}

}  // namespace platform::ui
