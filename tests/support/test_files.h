#pragma once
// Small file helpers that the disk-fault tests share.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "tests/support/small_disk.h"

namespace test_support {

// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes the file whole, its folders made first; `mode` >= 0 sets its permissions.
inline bool WriteBytes(const QString& path, const QByteArray& bytes, int mode = -1) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) return false;
  f.close();
  return mode < 0 || ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// The permission bits, -1 when the file is missing.
inline int ModeOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
  return int(st.st_mode & 0777);
}

// The files directly in the folder, hidden ones included, sorted.
inline QStringList FileNames(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A small disk, or null after printing why there is none (the test skips).
inline std::unique_ptr<SmallDisk> MountSmallDiskOrSay(std::size_t bytes) {
  std::string why;
  auto disk = SmallDisk::Mount(bytes, &why);
  if (!disk) std::printf("skipped: %s\n", why.c_str());
  return disk;
}

}  // namespace test_support
