#pragma once
// The command state of the main window for "logged in" and "logged out",
// without a window: which menu items and toolbar buttons are enabled.
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
