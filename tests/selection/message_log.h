#pragma once
// A window id for tests that records what is posted to it.
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/core/window_post.h"

namespace testing_selection {

struct Posted {
  unsigned msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool operator==(const Posted&) const = default;
};

class MessageLog {
 public:
  MessageLog() : id_(platform::NewWindowId()) {
    platform::RegisterWindow(id_, [this](unsigned msg, std::uintptr_t w, std::intptr_t l) {
      std::lock_guard<std::mutex> hold(lock_);
      posted_.push_back({msg, w, l});
    });
  }
  ~MessageLog() { platform::UnregisterWindow(id_); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  platform::WindowId Id() const { return id_; }
  // Returns what was posted since the last call.
  std::vector<Posted> Take() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<Posted> out;
    out.swap(posted_);
    return out;
  }

 private:
  platform::WindowId id_;
  std::mutex lock_;
  std::vector<Posted> posted_;
};

}  // namespace testing_selection
