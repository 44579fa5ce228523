#pragma once
// The main window's command rules, without a window: which menu items and
// toolbar buttons are enabled when logged in and out, and which commands are
// the login history's.
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

struct UiCommandStates {
  std::vector<std::pair<unsigned, bool>> menuItems;       // command id, enabled
  std::vector<std::pair<unsigned, bool>> toolbarButtons;  // command id, enabled
};

inline constexpr int kUiLoggedIn = 0;
inline constexpr int kUiLoggedOut = 1;

// Nothing for any other state: no command changes.
std::optional<UiCommandStates> CommandStatesFor(int state);

// The history entry a command stands for: the whole wParam must lie in
// 32777 to 32786 (the history pop-up's items); nothing for any other command.
std::optional<int> HistoryIndexForCommand(std::uintptr_t wParam);
