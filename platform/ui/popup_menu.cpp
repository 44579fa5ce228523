#include "platform/ui/popup_menu.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>

namespace platform::ui {
namespace {

PopupMenuHandler& Handler() {
  static PopupMenuHandler handler;
  return handler;
}

}  // namespace

PopupMenuHandler SetPopupMenuHandler(PopupMenuHandler handler) {
  PopupMenuHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

unsigned TrackPopupMenu(const PopupMenu& menu, unsigned flags, QPoint topLeft, QWidget* owner, const QRect& exclude) {
  PopupMenuRequest request{menu.Items(), topLeft, exclude, flags, owner};
  if (Handler()) return Handler()(request);
  return ShowQtPopupMenu(request);
}

unsigned ShowQtPopupMenu(const PopupMenuRequest& request) {
  if (request.items.empty()) return 0;  // an empty menu shows nothing
  QPointer<QMenu> menu = new QMenu(request.owner);
  menu->setObjectName(QStringLiteral("popup_menu"));
  for (const PopupMenuItem& item : request.items) menu->addAction(item.text)->setData(item.id);
  QPoint at = request.topLeft;
  if (QScreen* screen = QGuiApplication::screenAt(at) ? QGuiApplication::screenAt(at) : QGuiApplication::primaryScreen()) {
    const int height = menu->sizeHint().height();
    if (!request.exclude.isNull() && at.y() + height > screen->availableGeometry().bottom())
      at.setY(request.exclude.top() - height);
  }
  QAction* chosen = menu->exec(at);
  const unsigned id = chosen != nullptr ? chosen->data().toUInt() : 0;
  delete menu.data();
  return id;
}

}  // namespace platform::ui
