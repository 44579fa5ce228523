#pragma once
// Local wall-clock time, replaceable in tests.
#include <functional>

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12
  int hour = 0, minute = 0, second = 0;
};

LocalTime CurrentLocalTime();

// Installs a clock for tests (an empty function restores the real one) and
// returns the previous one.
using LocalClock = std::function<LocalTime()>;
LocalClock SetLocalClock(LocalClock clock);

}  // namespace platform
