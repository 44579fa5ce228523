#pragma once
// What the selection dialog hands back, and the span arithmetic behind it:
// one day, a start and an end of that day (the end rounded up to a whole
// minute, so it may read 24:00) and 16 channel flags.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

// Time blocks hold nine integers in broken-down order: second, minute, hour,
// day of the month, month 1..12, full year, then weekday, day of the year and
// daylight flag, which nothing sets or reads (left 0).
struct RecordSelection {
  std::array<int, 9> m_startTime{};
  std::array<int, 9> m_endTime{};
  // Element n-1 is 1 when channel n is chosen, else 0.
  std::array<int, 16> m_channelFlags{};
};

namespace selection {

inline constexpr int kSecond = 0, kMinute = 1, kHour = 2, kDay = 3, kMonth = 4, kYear = 5;

// t itself when it is a whole minute, else the next whole minute.
int RoundUpToMinute(int seconds);

// The span the dialog keeps: the start's seconds dropped, the end rounded up.
struct Span {
  int startHour = 0, startMinute = 0, startSecond = 0;
  int endHour = 0, endMinute = 0, endSecond = 0;
  bool IsZero() const {
    return startHour == 0 && startMinute == 0 && startSecond == 0 && endHour == 0 && endMinute == 0 && endSecond == 0;
  }
  friend bool operator==(const Span&, const Span&) = default;
};
Span SpanFromSelection(int selectionStart, int selectionEnd);

// Fills the selection from the time line's row flags, the chosen day and the
// span. False, with nothing changed, when no row is flagged.
bool FillRecordSelection(const std::array<int, 16>& rowFlags, int year, int month, int day, const Span& span,
                         RecordSelection* selection);

// The lowest flagged channel, channel 1 when none is.
int PreviewChannel(const std::array<int, 16>& rowFlags);
// Sixteen "0"/"1" separated by ",", with the single 1 at the channel's place.
QString ChannelSelectorText(int channel);
// "%d,%d,%d,%d,%d,%d" of year, month, day, hour, minute, second.
QString PreviewTimeText(int year, int month, int day, int hour, int minute, int second);
// The positioning request and the stream request of a preview.
QString SearchDataPath(int playId, const QString& startText, const QString& endText, int channel);
QString PreviewStreamPath(int playId, int channel);

// Where the dialog goes on the primary screen: moved to (half width - 425,
// half height - 320) and sized 850 x 660 when half the width is above 425
// and half the height above 320; false (the template's size and place) otherwise.
bool DialogPlacement(int screenWidth, int screenHeight, int* x, int* y, int* width, int* height);

// The high-resolution counter the preview spacing is measured with; tests
// install their own.
struct PerformanceCounter {
  std::function<std::int64_t()> count;
  std::function<std::int64_t()> frequency;
};
std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();
PerformanceCounter SetPerformanceCounter(PerformanceCounter counter);

// Milliseconds between two counter readings, multiplication first.
std::int64_t ElapsedMs(std::int64_t from, std::int64_t to, std::int64_t frequency);
inline constexpr std::int64_t kMinPreviewSpacingMs = 500;

// Seconds of the day of a time picker's value.
inline int SecondOfDay(int hour, int minute, int second) { return hour * 3600 + minute * 60 + second; }

}  // namespace selection

