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

// Without a handler a box is answered with its first button: Yes of a Yes/No
// box, OK of the others, whatever icon it names.
TEST(MessageBox, WithoutAHandlerTheFirstButtonAnswers) {
  const MessageBoxHandler previous = SetMessageBoxHandler(nullptr);
  EXPECT_EQ(ShowMessageBox(kNoWindow, "Resume?", "Message", MB_YESNO), IDYES);
  EXPECT_EQ(ShowMessageBox(kNoWindow, "Resume?", "Message", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(ShowMessageBox(kNoWindow, "Delete?", "Warning", MB_OKCANCEL), IDOK);
  EXPECT_EQ(ShowMessageBox(42, "Login failed!", "Error", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(FrameworkMessageBox("Network Failed!"), IDOK);
  EXPECT_EQ(FirstButton(MB_YESNO | MB_ICONWARNING), IDYES);
  EXPECT_EQ(FirstButton(MB_OKCANCEL), IDOK);
  SetMessageBoxHandler(previous);
}
