#pragma once
// The two small helpers through which the backup settings keep their
// location in "setting.ini" beside the executable. The file is never
// created: both read and write only when it already exists.
#include <QString>

// The file's path: a bare file name lies in the executable's folder; an
// absolute path is taken as it is.
QString SettingFilePath(const QString& fileName);

// The key's value; empty when the file, the section or the key is missing.
QString ReadIniValue(const QString& fileName, const QString& section, const QString& key);

// 1 when the value was written, 0 when the file is missing or the write failed.
int WriteIniValue(const QString& fileName, const QString& section, const QString& key, const QString& value);
