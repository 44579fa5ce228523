#include "app/job_rows.h"

QString FormatJobTime(const nvr::NvrTime& t) {
  return QString::asprintf("%.4d/%.2d/%.2d %.2d:%.2d:%.2d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

QString FormatCameraList(std::uint32_t mask) {
  QString text;
  for (int i = 0; i < 16; ++i)
    if (mask & (1u << i)) text += QString::asprintf(", %d", i + 1);
  return text.mid(2);  // the first separator goes
}

QString FormatDiskSize(std::int64_t bytes) {
  const double megabytes = static_cast<double>(static_cast<std::uint64_t>(bytes)) / 1024.0 / 1024.0;
  return QString::asprintf("%.2f MB", megabytes);
}

JobRowTexts MakeJobRowTexts(const nvr::NvrTime& start, const nvr::NvrTime& end, std::uint32_t mask,
                            std::int64_t bytes) {
  return {FormatJobTime(start), FormatJobTime(end), FormatCameraList(mask), FormatDiskSize(bytes)};
}

std::uint32_t ChannelMaskFromFlags(const std::array<int, 16>& flags) {
  std::uint32_t mask = 0;
  for (int i = 0; i < 16; ++i)
    if (flags[i] == 1) mask |= 1u << i;
  return mask;
}

bool SelectionMayBeQueued(const nvr::NvrTime& start) { return start.year >= 1990 && start.month <= 12; }

bool SameStartDate(const nvr::NvrTime& a, const nvr::NvrTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}
