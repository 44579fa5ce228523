#include "platform/core/disk_space.h"

#include <QFile>
#include <QFileInfo>
#include <sys/statvfs.h>

#include <mutex>

namespace platform {
namespace {

std::mutex& QueryLock() {
  static std::mutex lock;
  return lock;
}

DiskFreeSpaceQuery& Query() {
  static DiskFreeSpaceQuery query;
  return query;
}

bool RealDiskFreeSpace(const QString& folder, DiskFreeSpace* out) {
  // Only a folder has room to back up into; the platform's query refuses a file too.
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  struct statvfs fs {};
  if (statvfs(QFile::encodeName(folder).constData(), &fs) != 0) return false;
  const std::uint64_t unit = fs.f_frsize != 0 ? fs.f_frsize : fs.f_bsize;
  out->freeToCaller = std::uint64_t(fs.f_bavail) * unit;
  out->total = std::uint64_t(fs.f_blocks) * unit;
  out->totalFree = std::uint64_t(fs.f_bfree) * unit;
  return true;
}

}  // namespace

bool GetDiskFreeSpace(const QString& folder, DiskFreeSpace* out) {
  if (out == nullptr) return false;
  DiskFreeSpaceQuery query;
  {
    std::lock_guard<std::mutex> hold(QueryLock());
    query = Query();
  }
  return query ? query(folder, out) : RealDiskFreeSpace(folder, out);
}

DiskFreeSpaceQuery SetDiskFreeSpaceQuery(DiskFreeSpaceQuery query) {
  std::lock_guard<std::mutex> hold(QueryLock());
  DiskFreeSpaceQuery previous = std::move(Query());
  Query() = std::move(query);
  return previous;
}

}  // namespace platform
