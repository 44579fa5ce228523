#include "app/loading_countdown.h"

int NextIndicatorFrame(int frame, int count) {
  if (count <= 0) return 0;
  const int next = frame + 1;
  return next > count - 1 ? 0 : next;
}

bool LoadingCountdown::Tick(int flag) {
  if (ticks_ < kMaxTicks && flag != 0) {
    ++ticks_;
    return false;
  }
  return true;
}
