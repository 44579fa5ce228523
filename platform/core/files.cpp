#include "platform/core/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex& OverrideLock() {
  static std::mutex lock;
  return lock;
}

QString& FolderOverride() {
  static QString folder;
  return folder;
}

}  // namespace

QString SetExecutableFolderOverride(const QString& folder) {
  QString installed = folder;
  if (!installed.isEmpty() && !installed.endsWith(QLatin1Char('/'))) installed += QLatin1Char('/');
  std::lock_guard<std::mutex> hold(OverrideLock());
  QString previous = FolderOverride();
  FolderOverride() = installed;
  return previous;
}

QString ExecutablePath() { return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(); }

QString ExecutableFolder() {
  {
    std::lock_guard<std::mutex> hold(OverrideLock());
    if (!FolderOverride().isEmpty()) return FolderOverride();
  }
  const QString exe = ExecutablePath();
  QString folder = exe.isEmpty() ? QDir::currentPath() : QFileInfo(exe).absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

bool PathExists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

bool CreateDirectoryChain(const QString& path) {
  if (path.isEmpty()) {
    errno = ENOENT;
    return false;
  }
  // Each folder of the chain in turn, so the step that fails keeps its errno.
  const QByteArray native = QFile::encodeName(path);
  for (qsizetype end = 1; end <= native.size(); ++end) {
    if (end < native.size() && native[end] != '/') continue;
    const QByteArray folder = native.left(end);
    if (::mkdir(folder.constData(), 0777) == 0) continue;
    if (errno != EEXIST) return false;
    struct stat st {};
    if (::stat(folder.constData(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
      errno = ENOTDIR;
      return false;
    }
  }
  return true;
}

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool DeleteFilePath(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  return ::unlink(native.constData()) == 0 || errno == ENOENT;
}

}  // namespace platform
