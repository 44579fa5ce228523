#include "platform/ui/menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace platform::ui {

MenuBar::MenuBar(const MenuTemplate& tpl, QWidget* parent, CommandSink sink) : bar_(new QMenuBar(parent)) {
  QMenuBar* bar = bar_.data();
  for (const PopupTemplate& popup : tpl.popups) {
    QMenu* menu = bar->addMenu(popup.text);
    for (const MenuItemTemplate& item : popup.items) {
      if (item.id == 0 && item.text.isEmpty()) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(item.text);
      actions_[item.id] = action;
      // Queued, so the command runs after the menu has closed, as a command
      // from a menu does on the platform the program came from.
      QObject::connect(action, &QAction::triggered, bar, [sink, id = item.id] { sink(id); },
                       Qt::QueuedConnection);
    }
  }
}

MenuBar::~MenuBar() = default;  // the bar belongs to its window, which deletes it

int MenuBar::EnableMenuItem(unsigned id, unsigned flags) {
  QAction* action = Item(id);
  if (action == nullptr) return -1;
  const int previous = action->isEnabled() ? static_cast<int>(MF_ENABLED) : static_cast<int>(MF_GRAYED);
  action->setEnabled((flags & (MF_GRAYED | MF_DISABLED)) == 0);
  return previous;
}

bool MenuBar::IsItemEnabled(unsigned id) const {
  QAction* action = Item(id);
  return action != nullptr && action->isEnabled();
}

QAction* MenuBar::Item(unsigned id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second.data();
}

}  // namespace platform::ui
