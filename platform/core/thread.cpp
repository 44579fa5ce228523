#include "platform/core/thread.h"

namespace platform {

bool Thread::Start(std::function<void()> body) {
  if (IsActive()) return false;
  Join();
  active_ = 1;
  thread_ = std::thread([this, body = std::move(body)] {
    body();
    active_ = 0;
  });
  return true;
}

void Thread::Join() {
  if (thread_.joinable() && !IsCurrent()) thread_.join();
}

}  // namespace platform
