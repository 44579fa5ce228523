#pragma once
// The job list's rules without a window: the texts of a job's row, the
// channel mask a selection stands for, which selections may be queued, and
// which job commands the row count enables.
#include <QString>
#include <array>
#include <cstdint>

#include "nvr/nvr_time.h"

struct JobRowTexts {
  QString startTime;  // "Start Time"
  QString endTime;    // "End Time"
  QString camera;     // "Camera"
  QString diskSize;   // "Disk Size"
};

// "%.4d/%.2d/%.2d %.2d:%.2d:%.2d" of year, month, day, hour, minute, second.
QString FormatJobTime(const nvr::NvrTime& t);
// The channel numbers of bits 0 to 15 in rising order, ", " between them
// ("1, 3, 16"); higher bits are ignored.
QString FormatCameraList(std::uint32_t mask);
// "%.2f MB" of the byte count read as unsigned, over 1024 and 1024 again.
QString FormatDiskSize(std::int64_t bytes);
JobRowTexts MakeJobRowTexts(const nvr::NvrTime& start, const nvr::NvrTime& end, std::uint32_t mask,
                            std::int64_t bytes);

// Bit i set exactly when flag i equals 1.
std::uint32_t ChannelMaskFromFlags(const std::array<int, 16>& flags);

// A start year before 1990 or a month above 12 queues nothing.
bool SelectionMayBeQueued(const nvr::NvrTime& start);

// Same year, month and day; the time of day plays no part.
bool SameStartDate(const nvr::NvrTime& a, const nvr::NvrTime& b);

// "Remove" and "Backup" follow the row count: enabled while rows remain.
inline bool JobCommandsEnabled(int rowCount) { return rowCount > 0; }
