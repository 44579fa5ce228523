#pragma once
// One backup job prepared on the recorder, and the request that asks for it.
#include <QString>

#include <cstdint>

#include "nvr/nvr_time.h"

namespace nvr {

struct BackupJob {
  int id = 0;  // local time of queueing as HHMMSS; names the answer file "%.6d.txt"
  NvrTime start;
  NvrTime end;  // as the caller gave it, not the request's adjusted end
  std::uint32_t channelMask = 0;  // bit i = channel i + 1
  std::int64_t totalSize = 0;
};

// The request's parameters in the order the recorder link keeps them.
struct BackupParameters {
  int startYear = 0, endYear = 0;
  int startMonth = 0, endMonth = 0;
  int startDay = 0, endDay = 0;
  int startHour = 0, endHour = 0;
  int startMinute = 0, endMinute = 0;
  int startSecond = 0, endSecond = 0;
  int channelFlags[16] = {};
  int channelCount = 0;
};

// Start and end day from the times, the end time of day raised to a whole minute
// and capped at 23:59:59, 16 channel flags from the mask.
BackupParameters MakeBackupParameters(const NvrTime& start, const NvrTime& end, std::uint32_t mask);

// "/config/tarnwell?starttime=...&endtime=...&channel=%d"; empty when the channel
// count is outside 1..16.
QString BuildNvrBackupUrl(const BackupParameters& p);
QString BuildNvrBackupUrlByValue(BackupParameters p);

}  // namespace nvr
