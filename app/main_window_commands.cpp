#include "app/main_window_commands.h"

#include "res/resource.h"

std::optional<UiCommandStates> CommandStatesFor(int state) {
  if (state != kUiLoggedIn && state != kUiLoggedOut) return std::nullopt;
  const bool in = state == kUiLoggedIn;
  UiCommandStates s;
  // "Remove" and "Backup" become enabled only when the job list has rows.
  s.menuItems = {{ID_RUN_ADD, in}, {ID_RUN_REMOVE, false}, {ID_RUN_BACKUP, false}, {ID_RUN_LOGOUT, in}};
  s.toolbarButtons = {{ID_TOOL_ADD, in}, {ID_TOOL_REMOVE, false}, {ID_TOOL_BACKUP, false}};
  return s;
}

std::optional<int> HistoryIndexForCommand(std::uintptr_t wParam) {
  if (wParam < ID_HISTORY_FIRST || wParam > ID_HISTORY_LAST) return std::nullopt;
  return static_cast<int>(wParam - ID_HISTORY_FIRST);
}
