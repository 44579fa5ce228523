#pragma once
// What the loading page decides on each tick, without a window: which frame
// comes next, and whether the page ends.

// The frame after `frame` in an indicator of `count` frames (0 when there are none).
int NextIndicatorFrame(int frame, int count);

// Counts the ticks while the owner's flag stays set; the page ends on the first
// tick that finds the flag at 0, or on the 101st tick.
class LoadingCountdown {
 public:
  static constexpr int kMaxTicks = 100;
  // True when this tick ends the page.
  bool Tick(int flag);
  int Ticks() const { return ticks_; }
  void Reset() { ticks_ = 0; }

 private:
  int ticks_ = 0;
};
