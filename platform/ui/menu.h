#pragma once
// Menu bars built from menu tables; items are found by their command id.
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include <QAction>
#include <QMenuBar>

namespace platform::ui {

inline constexpr unsigned MF_BYCOMMAND = 0x0000;
inline constexpr unsigned MF_ENABLED = 0x0000;
inline constexpr unsigned MF_GRAYED = 0x0001;
inline constexpr unsigned MF_DISABLED = 0x0002;

struct MenuItemTemplate {
  QString text;      // empty with id 0: a separator
  unsigned id = 0;
  static MenuItemTemplate Separator() { return {}; }
};

struct PopupTemplate {
  QString text;
  std::vector<MenuItemTemplate> items;
};

struct MenuTemplate {
  int id = 0;
  std::vector<PopupTemplate> popups;
};

// A window's menu bar. Choosing an enabled item hands its command id to the
// command sink once the menu has closed; grayed items send nothing. The
// object may outlive its window: then every operation does nothing.
class MenuBar {
 public:
  using CommandSink = std::function<void(unsigned id)>;
  MenuBar(const MenuTemplate& tpl, QWidget* parent, CommandSink sink);
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;

  QMenuBar* Widget() const { return bar_; }
  // Returns the previous state (MF_ENABLED or MF_GRAYED), or -1 when no item has the id.
  int EnableMenuItem(unsigned id, unsigned flags);
  bool IsItemEnabled(unsigned id) const;
  bool HasItem(unsigned id) const { return actions_.count(id) != 0; }
  QAction* Item(unsigned id) const;

 private:
  QPointer<QMenuBar> bar_;
  std::map<unsigned, QPointer<QAction>> actions_;
};

}  // namespace platform::ui
