#include "platform/core/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace platform {
namespace {

std::mutex overrideLock;
QString& FolderOverride() {
  static QString folder;
  return folder;
}

}  // namespace

QString SetExecutableFolderOverride(const QString& folder) {
  std::lock_guard<std::mutex> hold(overrideLock);
  QString previous = FolderOverride();
  FolderOverride() = folder;
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) FolderOverride() += QLatin1Char('/');
  return previous;
}

QString ExecutableFolder() {
  {
    std::lock_guard<std::mutex> hold(overrideLock);
    if (!FolderOverride().isEmpty()) return FolderOverride();
  }
  QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
  QString folder = exe.isEmpty() ? QDir::currentPath() : QFileInfo(exe).absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

bool PathExists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

bool CreateDirectoryChain(const QString& path) {
  if (path.isEmpty()) return false;
  return QDir().mkpath(path);
}

bool DeleteFilePath(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  return ::unlink(native.constData()) == 0 || errno == ENOENT;
}

bool RenameOver(const QString& from, const QString& to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace platform
