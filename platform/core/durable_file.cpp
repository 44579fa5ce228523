#include "platform/core/durable_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kRandomLength = 6;
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

mode_t ModeFor(FileAccess access) { return access == FileAccess::OwnerOnly ? 0600 : 0666; }

QString RandomPart() {
  QString text;
  for (int i = 0; i < kRandomLength; ++i)
    text += QLatin1Char(kAlphabet[QRandomGenerator::system()->bounded(int(sizeof kAlphabet - 1))]);
  return text;
}

bool WriteAll(int fd, const char* data, qint64 size, off_t at = -1) {
  while (size > 0) {
    const ssize_t n = at < 0 ? ::write(fd, data, size_t(size)) : ::pwrite(fd, data, size_t(size), at);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    size -= n;
    if (at >= 0) at += n;
  }
  return true;
}

// The close of a written file can report a failed write-back; it counts.
// errno is the first step's error.
bool SyncAndClose(int fd) {
  const bool synced = ::fsync(fd) == 0;
  const int syncError = errno;
  const bool closed = ::close(fd) == 0;
  if (!synced) errno = syncError;
  return synced && closed;
}

// Rewrites an existing file in place. Growing it first means a full disk
// fails before any old byte is touched (on filesystems that overwrite in
// place, as ext4 and tmpfs do); the old length is then restored.
bool RewriteInPlace(const QString& path, const QByteArray& data, FileAccess access) {
  const int fd = ::open(Native(path).constData(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (access == FileAccess::OwnerOnly && ::fchmod(fd, 0600) != 0) {
    ::close(fd);
    return false;
  }
  const off_t oldSize = st.st_size;
  const off_t newSize = off_t(data.size());
  if (newSize > oldSize) {
    const int grown = ::posix_fallocate(fd, 0, newSize);
    if (grown != 0) {
      if (::ftruncate(fd, oldSize) != 0) { /* the old bytes are untouched either way */ }
      ::close(fd);
      return false;
    }
  }
  bool ok = WriteAll(fd, data.constData(), data.size(), 0);
  if (ok && newSize < oldSize) ok = ::ftruncate(fd, newSize) == 0;
  return SyncAndClose(fd) && ok;
}

}  // namespace

TemporaryFile::~TemporaryFile() { Discard(); }

bool TemporaryFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  return false;
}

bool TemporaryFile::Create(const QString& target, FileAccess access) { return Create(target, access, ModeFor(access)); }

bool TemporaryFile::Create(const QString& target, FileAccess access, unsigned mode) {
  if (access == FileAccess::OwnerOnly) mode &= 0600;
  Discard();
  error_ = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString candidate = target + QLatin1Char('.') + RandomPart() + QStringLiteral(".part");
    const int fd = ::open(Native(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode));
    if (fd >= 0) {
      fd_ = fd;
      path_ = candidate;
      target_ = target;
      return true;
    }
    if (errno != EEXIST) return Fail(errno);
  }
  return Fail(EEXIST);
}

bool TemporaryFile::Write(const char* data, qint64 size) {
  if (fd_ < 0 || size < 0) return Fail(EBADF);
  return WriteAll(fd_, data, size) || Fail(errno);
}

bool TemporaryFile::Commit() {
  if (fd_ < 0) return Fail(EBADF);
  const int fd = fd_;
  fd_ = -1;
  if (!SyncAndClose(fd) || std::rename(Native(path_).constData(), Native(target_).constData()) != 0) {
    Fail(errno);
    ::unlink(Native(path_).constData());
    path_.clear();
    return false;
  }
  path_.clear();
  return SyncFolderOf(target_) || Fail(errno);
}

void TemporaryFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.isEmpty()) ::unlink(Native(path_).constData());
  path_.clear();
}

bool WriteFileDurably(const QString& path, const QByteArray& data, FileAccess access) {
  TemporaryFile temp;
  if (!temp.Create(path, access)) return QFile::exists(path) && RewriteInPlace(path, data, access);
  return temp.Write(data.constData(), data.size()) && temp.Commit();
}

bool CopyFileDurably(const QString& from, const QString& to, FileAccess access, int* error) {
  auto fail = [error](int why) {
    if (error != nullptr) *error = why != 0 ? why : EIO;
    return false;
  };
  // Non-blocking, so a named pipe in place of a file cannot hang the copy.
  const int in = ::open(Native(from).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return fail(errno);
  struct stat st {};
  int notAFile = 0;
  if (::fstat(in, &st) != 0)
    notAFile = errno;
  else if (!S_ISREG(st.st_mode))
    notAFile = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  if (notAFile != 0) {
    ::close(in);
    return fail(notAFile);
  }
  // A new file's permissions, less the umask, plus the source's execute bits
  // so a program stays runnable; password files are owner-only.
  TemporaryFile temp;
  bool ok = temp.Create(to, access, access == FileAccess::OwnerOnly ? 0600 : (0666 | (st.st_mode & 0111)));
  int readError = 0;
  char buffer[64 * 1024];
  while (ok) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      if (!ok) readError = errno;
      break;
    }
    ok = temp.Write(buffer, n);
  }
  ::close(in);
  if (ok && temp.Commit()) return true;
  return fail(readError != 0 ? readError : temp.Error());
}

bool SyncFolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
  const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

bool IsTemporaryNameOf(const QString& fileName, const QString& baseName) {
  const QString suffix = QStringLiteral(".part");
  if (fileName.size() != baseName.size() + 1 + kRandomLength + suffix.size()) return false;
  if (!fileName.startsWith(baseName) || !fileName.endsWith(suffix) || fileName[baseName.size()] != QLatin1Char('.'))
    return false;
  for (int i = 0; i < kRandomLength; ++i) {
    const QChar c = fileName[baseName.size() + 1 + i];
    if (c.unicode() > 0x7F || !std::isalnum(static_cast<unsigned char>(c.unicode()))) return false;
  }
  return true;
}

}  // namespace platform
