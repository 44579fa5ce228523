#include "platform/core/local_time.h"

#include <ctime>
#include <mutex>

namespace platform {
namespace {

std::mutex& ClockLock() {
  static std::mutex lock;
  return lock;
}

LocalClock& Clock() {
  static LocalClock clock;
  return clock;
}

}  // namespace

LocalTime CurrentLocalTime() {
  LocalClock clock;
  {
    std::lock_guard<std::mutex> hold(ClockLock());
    clock = Clock();
  }
  if (clock) return clock();
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalClock SetLocalClock(LocalClock clock) {
  std::lock_guard<std::mutex> hold(ClockLock());
  LocalClock previous = std::move(Clock());
  Clock() = std::move(clock);
  return previous;
}

}  // namespace platform
