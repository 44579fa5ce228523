// Posting to windows by id: only registered windows receive, ids are never
// reused, and a post racing the window's end is safe.
#include "platform/core/window_post.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;

TEST(WindowPost, DeliversOnlyToRegisteredWindows) {
  const WindowId id = NewWindowId();
  std::vector<unsigned> seen;
  EXPECT_FALSE(PostWindowMessage(id, WM_USER + 1));
  RegisterWindow(id, [&](unsigned msg, std::uintptr_t w, std::intptr_t l) {
    seen.push_back(msg);
    EXPECT_EQ(w, 7u);
    EXPECT_EQ(l, -3);
  });
  EXPECT_TRUE(PostWindowMessage(id, WM_USER + 2, 7, -3));
  UnregisterWindow(id);
  EXPECT_FALSE(PostWindowMessage(id, WM_USER + 3, 7, -3));
  EXPECT_FALSE(PostWindowMessage(kNoWindow, WM_USER + 4));
  EXPECT_EQ(seen, std::vector<unsigned>{WM_USER + 2});
}

TEST(WindowPost, IdsAreNeverReused) {
  const WindowId a = NewWindowId();
  RegisterWindow(a, [](unsigned, std::uintptr_t, std::intptr_t) {});
  UnregisterWindow(a);
  EXPECT_NE(NewWindowId(), a);
}

TEST(WindowPost, PostingRacesUnregisteringSafely) {
  const WindowId id = NewWindowId();
  std::atomic<int> delivered{0};
  RegisterWindow(id, [&](unsigned, std::uintptr_t, std::intptr_t) { ++delivered; });
  std::atomic<bool> go{true};
  std::vector<std::thread> posters;
  for (int i = 0; i < 4; ++i)
    posters.emplace_back([&] {
      while (go) PostWindowMessage(id, WM_USER);
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  UnregisterWindow(id);
  const int atUnregister = delivered.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  go = false;
  for (auto& t : posters) t.join();
  EXPECT_EQ(delivered.load(), atUnregister);
}
