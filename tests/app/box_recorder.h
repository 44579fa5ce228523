#pragma once
// Answers every message box with its first button and keeps what was shown.
#include <vector>

#include "platform/core/message_box.h"

class BoxRecorder {
 public:
  BoxRecorder() {
    previous_ = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
      boxes.push_back(r);
      return (r.type & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    });
  }
  ~BoxRecorder() { platform::SetMessageBoxHandler(previous_); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  std::vector<platform::MessageBoxRequest> boxes;

 private:
  platform::MessageBoxHandler previous_;
};
