#include "app/backup_destination.h"

QString BackupDestination(const QString& location, const platform::LocalTime& now) {
  return location +
         QString::asprintf("/backup%.4d%.2d%.2d%.2d%.2d", now.year, now.month, now.day, now.hour, now.minute);
}
