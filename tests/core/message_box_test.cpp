// The message-box seam: a test's handler sees each box's title, text and owner
// and gives the answer; the title defaults to the executable's name.
#include "platform/core/message_box.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

TEST(MessageBox, HandlerSeesTitleTextAndAnswers) {
  std::vector<MessageBoxRequest> shown;
  auto previous = SetMessageBoxHandler([&](const MessageBoxRequest& r) {
    shown.push_back(r);
    return IDNO;
  });
  EXPECT_EQ(FrameworkMessageBox("Network Failed!"), IDNO);
  EXPECT_EQ(ShowMessageBox(42, "Login failed!", "Error"), IDNO);
  SetMessageBoxHandler(previous);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "core_tests");  // the executable's name
  EXPECT_EQ(shown[0].text, "Network Failed!");
  EXPECT_EQ(shown[0].owner, kNoWindow);
  EXPECT_EQ(shown[1].title, "Error");
  EXPECT_EQ(shown[1].owner, 42u);
}

TEST(MessageBox, TitleDefaultsToExecutableName) {
  EXPECT_EQ(ApplicationTitle(), "core_tests");
}
