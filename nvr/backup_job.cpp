#include "nvr/backup_job.h"

namespace nvr {

BackupParameters MakeBackupParameters(const NvrTime& start, const NvrTime& end, std::uint32_t mask) {
  BackupParameters p;
  p.startYear = start.year;
  p.startMonth = start.month;
  p.startDay = start.day;
  p.startHour = start.hour;
  p.startMinute = start.minute;
  p.startSecond = start.second;
  p.endYear = end.year;
  p.endMonth = end.month;
  p.endDay = end.day;
  long long s = static_cast<long long>(end.hour) * 3600 + static_cast<long long>(end.minute) * 60 + end.second;
  if (s % 60 != 0) s += 60 - ((s % 60) + 60) % 60;
  if (s >= 86400) s = 86399;
  if (s < 0) s = 0;
  p.endHour = int(s / 3600);
  p.endMinute = int((s % 3600) / 60);
  p.endSecond = int(s % 60);
  p.channelCount = 16;
  for (int i = 0; i < 16; ++i) p.channelFlags[i] = (mask >> i) & 1u;
  return p;
}

QString BuildNvrBackupUrl(const BackupParameters& p) {
  if (p.channelCount < 1 || p.channelCount > 16) return QString();
  unsigned mask = 0;
  for (int i = 0; i < p.channelCount; ++i) mask += unsigned(p.channelFlags[i] & 1) << i;
  return QString::asprintf(
      "/config/tarnwell?starttime=%.4d,%.2d,%.2d,%.2d,%.2d,%.2d&endtime=%.4d,%.2d,%.2d,%.2d,%.2d,%.2d&channel=%d",
      p.startYear, p.startMonth, p.startDay, p.startHour, p.startMinute, p.startSecond, p.endYear, p.endMonth,
      p.endDay, p.endHour, p.endMinute, p.endSecond, int(mask));
}

QString BuildNvrBackupUrlByValue(BackupParameters p) { return BuildNvrBackupUrl(p); }

}  // namespace nvr
