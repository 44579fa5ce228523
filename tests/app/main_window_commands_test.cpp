// The main window's command rules, without a window.
#include <gtest/gtest.h>

#include "app/main_window_commands.h"
#include "platform/ui/messages.h"
#include "res/resource.h"

TEST(MainWindowCommands, OnlyTheWholeWParamInTheHistoryRangeIsAHistoryLogin) {
  using platform::ui::MakeWParam;
  const std::pair<std::uintptr_t, std::optional<int>> cases[] = {
      {ID_HELP_ABOUT, std::nullopt},           // 32776, just below
      {ID_HISTORY_FIRST, 0},                   // 32777
      {ID_HISTORY_FIRST + 4, 4},
      {ID_HISTORY_LAST, 9},                    // 32786
      {ID_HISTORY_LAST + 1, std::nullopt},
      {MakeWParam(ID_HISTORY_FIRST, 1), std::nullopt},  // a notification code in the high word
      {0, std::nullopt},
  };
  for (const auto& [wParam, index] : cases) EXPECT_EQ(HistoryIndexForCommand(wParam), index) << wParam;
}

TEST(MainWindowCommands, LoggedInAndLoggedOutStatesAndNothingElse) {
  const auto in = CommandStatesFor(kUiLoggedIn);
  const auto out = CommandStatesFor(kUiLoggedOut);
  ASSERT_TRUE(in && out);
  const std::vector<std::pair<unsigned, bool>> inMenu = {
      {ID_RUN_ADD, true}, {ID_RUN_REMOVE, false}, {ID_RUN_BACKUP, false}, {ID_RUN_LOGOUT, true}};
  const std::vector<std::pair<unsigned, bool>> inTools = {{ID_TOOL_ADD, true}, {ID_TOOL_REMOVE, false}, {ID_TOOL_BACKUP, false}};
  EXPECT_EQ(in->menuItems, inMenu);
  EXPECT_EQ(in->toolbarButtons, inTools);
  for (const auto& [id, enabled] : out->menuItems) EXPECT_FALSE(enabled) << id;
  for (const auto& [id, enabled] : out->toolbarButtons) EXPECT_FALSE(enabled) << id;
  for (int other : {-1, 2, 100}) EXPECT_FALSE(CommandStatesFor(other)) << other;
}
