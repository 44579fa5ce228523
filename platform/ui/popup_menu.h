#pragma once
// Pop-up menus tracked under a point, as a toolbar's drop-down opens them.
// Tracking goes through one function, so tests choose an item (or none) in
// advance and see what was offered.
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace platform::ui {

// Alignment flags of a tracked menu, by the names the program uses.
inline constexpr unsigned TPM_LEFTBUTTON = 0x0000;
inline constexpr unsigned TPM_LEFTALIGN = 0x0000;
inline constexpr unsigned TPM_TOPALIGN = 0x0000;
inline constexpr unsigned TPM_VERTICAL = 0x0040;

struct PopupMenuItem {
  unsigned id = 0;
  QString text;
};

class PopupMenu {
 public:
  void AppendMenu(unsigned id, const QString& text) { items_.push_back({id, text}); }
  const std::vector<PopupMenuItem>& Items() const { return items_; }

 private:
  std::vector<PopupMenuItem> items_;
};

struct PopupMenuRequest {
  std::vector<PopupMenuItem> items;
  QPoint topLeft;  // global position of the menu's top-left corner
  QRect exclude;   // global area the menu should not cover (the button)
  unsigned flags = 0;
  QWidget* owner = nullptr;
};

// Returns the chosen item's id, or 0 when nothing was chosen.
using PopupMenuHandler = std::function<unsigned(const PopupMenuRequest&)>;
// Installs a handler and returns the previous one; an empty handler restores the real menu.
PopupMenuHandler SetPopupMenuHandler(PopupMenuHandler handler);

// Shows the menu and waits until it closes (a nested loop); the chosen id or 0.
unsigned TrackPopupMenu(const PopupMenu& menu, unsigned flags, QPoint topLeft, QWidget* owner, const QRect& exclude);

// The real menu, shown with Qt. Placed below the excluded area, or above it
// when there is no room below.
unsigned ShowQtPopupMenu(const PopupMenuRequest& request);

}  // namespace platform::ui
