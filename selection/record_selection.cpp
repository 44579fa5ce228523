#include "selection/record_selection.h"

#include <chrono>

namespace selection {

int RoundUpToMinute(int seconds) {
  if (seconds % 60 == 0) return seconds;
  return (seconds + 60) / 60 * 60;
}

Span SpanFromSelection(int selectionStart, int selectionEnd) {
  Span span;
  span.startHour = selectionStart / 3600;
  span.startMinute = (selectionStart - 3600 * span.startHour) / 60;
  span.startSecond = 0;
  const int e = RoundUpToMinute(selectionEnd);
  span.endHour = e / 3600;
  span.endMinute = (e - 3600 * span.endHour) / 60;
  span.endSecond = e - 60 * (span.endMinute + 60 * span.endHour);
  return span;
}

bool FillRecordSelection(const std::array<int, 16>& rowFlags, int year, int month, int day, const Span& span,
                         RecordSelection* selection) {
  std::array<int, 16> flags{};
  int chosen = 0;
  for (int n = 0; n < 16; ++n) {
    flags[n] = rowFlags[n] == 1 ? 1 : 0;
    chosen += flags[n];
  }
  if (chosen == 0) return false;
  selection->m_channelFlags = flags;

  auto& start = selection->m_startTime;
  start[kSecond] = 0;
  start[kMinute] = span.startMinute;
  start[kHour] = span.startHour;
  start[kDay] = day;
  start[kMonth] = month;
  start[kYear] = year;

  const int t = RoundUpToMinute(SecondOfDay(span.endHour, span.endMinute, span.endSecond));
  auto& end = selection->m_endTime;
  end[kSecond] = t % 60;
  end[kMinute] = (t / 60) % 60;
  end[kHour] = t / 3600;
  end[kDay] = day;
  end[kMonth] = month;
  end[kYear] = year;
  return true;
}

int PreviewChannel(const std::array<int, 16>& rowFlags) {
  for (int n = 1; n <= 16; ++n)
    if (rowFlags[n - 1] == 1) return n;
  return 1;
}

QString ChannelSelectorText(int channel) {
  QString text;
  for (int n = 1; n <= 16; ++n) {
    if (n > 1) text += QLatin1Char(',');
    text += n == channel ? QLatin1Char('1') : QLatin1Char('0');
  }
  return text;
}

QString PreviewTimeText(int year, int month, int day, int hour, int minute, int second) {
  return QStringLiteral("%1,%2,%3,%4,%5,%6").arg(year).arg(month).arg(day).arg(hour).arg(minute).arg(second);
}

QString SearchDataPath(int playId, const QString& startText, const QString& endText, int channel) {
  return QStringLiteral("/play/searchdata?id=%1&recstarttime=").arg(playId) + startText +
         QStringLiteral("&recendtime=") + endText + QStringLiteral("&avdevids=") + ChannelSelectorText(channel);
}

QString PreviewStreamPath(int playId, int channel) {
  return QStringLiteral("/play/mav/nvrprofilestream?id=%1&avdevid=").arg(playId) + ChannelSelectorText(channel) +
         QStringLiteral("&profile=1");
}

bool DialogPlacement(int screenWidth, int screenHeight, int* x, int* y, int* width, int* height) {
  const int halfWidth = screenWidth / 2;
  const int halfHeight = screenHeight / 2;
  if (halfWidth <= 425 || halfHeight <= 320) return false;
  *x = halfWidth - 425;
  *y = halfHeight - 320;
  *width = 850;
  *height = 660;
  return true;
}

namespace {

PerformanceCounter& Counter() {
  static PerformanceCounter counter;
  return counter;
}

}  // namespace

std::int64_t QueryPerformanceCounter() {
  if (Counter().count) return Counter().count();
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t QueryPerformanceFrequency() {
  if (Counter().frequency) return Counter().frequency();
  return 1000000;
}

PerformanceCounter SetPerformanceCounter(PerformanceCounter counter) {
  PerformanceCounter previous = std::move(Counter());
  Counter() = std::move(counter);
  return previous;
}

std::int64_t ElapsedMs(std::int64_t from, std::int64_t to, std::int64_t frequency) {
  if (frequency <= 0) return 0;
  // Microsecond counts times 1000 stay inside 64 bits for centuries of uptime.
  return (to - from) * 1000 / frequency;
}

}  // namespace selection
