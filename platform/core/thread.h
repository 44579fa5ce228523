#pragma once
// A worker thread with exactly one owner, who joins it. Start does nothing while
// a previous run is still going; a finished run is joined before a new one starts.
#include <atomic>
#include <functional>
#include <thread>

namespace platform {

class Thread {
 public:
  Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread() { Join(); }

  // False (and nothing started) while a run is active.
  bool Start(std::function<void()> body);
  // True from Start until the body has returned.
  bool IsActive() const { return active_.load() != 0; }
  // Waits for the body to return; harmless when nothing runs.
  void Join();
  // True when called from this thread's body.
  bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

 private:
  std::thread thread_;
  std::atomic<int> active_{0};
};

}  // namespace platform
