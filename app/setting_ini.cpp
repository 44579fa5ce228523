#include "app/setting_ini.h"

#include <QDir>

#include "platform/core/files.h"
#include "platform/core/ini_file.h"

QString SettingFilePath(const QString& fileName) {
  if (QDir::isAbsolutePath(fileName)) return fileName;
  return platform::ExecutableFolder() + fileName;
}

QString ReadIniValue(const QString& fileName, const QString& section, const QString& key) {
  const QString path = SettingFilePath(fileName);
  if (!platform::PathExists(path)) return QString();
  // The whole value: a location cut short would send the backup elsewhere.
  return platform::ReadProfileString(path, section, key, QString());
}

int WriteIniValue(const QString& fileName, const QString& section, const QString& key, const QString& value) {
  const QString path = SettingFilePath(fileName);
  if (!platform::PathExists(path)) return 0;
  return platform::WriteProfileString(path, section, key, value) ? 1 : 0;
}
