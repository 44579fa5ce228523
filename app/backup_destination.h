#pragma once
// The new backup folder under the chosen location.
#include <QString>

#include "platform/core/local_time.h"

// The location followed by "/backup%.4d%.2d%.2d%.2d%.2d" of the year, month,
// day, hour and minute, appended as it is whether or not the location ends
// in a separator (a doubled "/" names the same folder).
QString BackupDestination(const QString& location, const platform::LocalTime& now);
