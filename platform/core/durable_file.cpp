#include "platform/core/durable_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kRandomLength = 6;
constexpr char kSuffix[] = ".part";
// What a temporary adds to the part of its target's name that it keeps.
constexpr qsizetype kAddedBytes = 1 + kRandomLength + qsizetype(sizeof kSuffix - 1);
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

std::atomic<TemporaryNameSource> nameSource{nullptr};

QByteArray RandomPart() {
  if (const TemporaryNameSource source = nameSource.load()) return source();
  QByteArray text;
  for (int i = 0; i < kRandomLength; ++i)
    text += kAlphabet[QRandomGenerator::system()->bounded(int(sizeof kAlphabet - 1))];
  return text;
}

// The longest name, in bytes, that the folder takes.
long NameLimitOf(const QByteArray& folder) {
  const long limit = ::pathconf(folder.constData(), _PC_NAME_MAX);
  return limit > 0 ? limit : NAME_MAX;
}

// The start of a temporary's name, taken from its target's (UTF-8) name: the
// whole name, or as much of its start as leaves room under the limit for what
// a temporary adds, cut between two characters.
QByteArray StemOf(const QByteArray& name, long limit) {
  if (name.size() + kAddedBytes <= limit) return name;
  qsizetype cut = std::max<qsizetype>(limit - kAddedBytes, 0);
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.left(cut);
}

// The permission bits of a file that replaces `target`: those the old file
// has, for a new one 0666 (less the umask, which open applies); owner-only
// files at most 0600. `executeBits` (>= 0) replace the old file's execute
// bits, for the classes that may read it.
struct NewMode {
  mode_t bits;
  bool replaces;  // an old file exists: its mode is set exactly
  mode_t old;
  bool folder;    // a folder stands where the file is to be
};

NewMode ModeFor(const QByteArray& target, FileAccess access, int executeBits) {
  struct stat st {};
  const bool exists = ::stat(target.constData(), &st) == 0;
  const bool replaces = exists && S_ISREG(st.st_mode);
  const mode_t old = replaces ? st.st_mode & 0777 : 0;
  const mode_t execute = executeBits >= 0 ? mode_t(executeBits) & 0111 : 0;
  mode_t bits = replaces ? old : 0666 | execute;
  if (replaces && executeBits >= 0) bits = (old & 0666) | (execute & ((old & 0444) >> 2));
  if (access == FileAccess::OwnerOnly) bits &= 0600;
  return {bits, replaces, old, exists && S_ISDIR(st.st_mode)};
}

// Gives a temporary the mode of the file it replaces. A filesystem that keeps
// no modes (FAT) refuses; that is no failure as long as the temporary grants
// nothing the old file did not.
bool SetMode(int fd, const NewMode& mode) {
  if (::fchmod(fd, mode.bits) == 0) return true;
  const int error = errno;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (st.st_mode & 0777 & ~mode.old) == 0) return true;
  errno = error;
  return false;
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
  // Never creates the file; non-blocking, so a named pipe in its place cannot hang the write.
  const int fd = ::open(Native(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
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

qsizetype TemporaryNameBytes(qsizetype nameBytes, long nameLimit) {
  return std::min<qsizetype>(nameBytes + kAddedBytes, std::max<qsizetype>(nameLimit, nameBytes));
}

TemporaryFile::~TemporaryFile() { Discard(); }

bool TemporaryFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  return false;
}

bool TemporaryFile::Create(const QString& target, FileAccess access) { return Make(target, access, -1); }

bool TemporaryFile::Create(const QString& target, FileAccess access, unsigned executeBits) {
  return Make(target, access, int(executeBits & 0111));
}

bool TemporaryFile::Make(const QString& target, FileAccess access, int executeBits) {
  Discard();
  error_ = 0;
  folderRefused_ = false;
  const QByteArray native = Native(target);
  const qsizetype slash = native.lastIndexOf('/');
  const QByteArray name = native.mid(slash + 1);
  const long limit = NameLimitOf(slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash));
  // A target that cannot exist fails before anything is written for it.
  if (name.size() > limit) return Fail(ENAMETOOLONG);
  const QByteArray stem = native.left(slash + 1) + StemOf(name, limit);
  const NewMode mode = ModeFor(native, access, executeBits);
  // The rename at the end would fail on it: nothing is written for it first.
  if (mode.folder) return Fail(EISDIR);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray candidate = stem + '.' + RandomPart() + kSuffix;
    const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode.bits);
    if (fd >= 0) {
      if (mode.replaces && !SetMode(fd, mode)) {
        const int error = errno;
        ::close(fd);
        ::unlink(candidate.constData());
        return Fail(error);
      }
      fd_ = fd;
      path_ = QFile::decodeName(candidate);
      target_ = target;
      return true;
    }
    if (errno != EEXIST) {
      folderRefused_ = errno == EACCES || errno == EPERM;
      return Fail(errno);
    }
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
  if (temp.Create(path, access)) return temp.Write(data.constData(), data.size()) && temp.Commit();
  // Only a folder that refuses new names is a reason to write in place; a
  // full disk, a quota, no descriptor left or a mode the new file could not
  // be given fails the write untouched.
  return temp.FolderRefusedNewName() && RewriteInPlace(path, data, access);
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
  // The source's execute bits, so a copied program stays runnable.
  TemporaryFile temp;
  bool ok = temp.Create(to, access, unsigned(st.st_mode & 0111));
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

void MakeOwnerOnly(const QString& path) {
  const int fd = ::open(Native(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  // Should the change fail, the file stays as it was and the store still opens.
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0)
    (void)::fchmod(fd, st.st_mode & 0600);
  ::close(fd);
}

bool SyncFolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
  const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

TemporaryNameSource SetTemporaryNameSourceForTests(TemporaryNameSource source) { return nameSource.exchange(source); }

bool IsTemporaryNameOf(const QString& fileName, const QString& baseName, int nameLimit) {
  const QByteArray file = Native(fileName);
  const QByteArray base = Native(baseName);
  if (base.size() > nameLimit) return false;
  const QByteArray stem = StemOf(base, nameLimit);
  if (file.size() != stem.size() + kAddedBytes || !file.startsWith(stem) || !file.endsWith(kSuffix) ||
      file[stem.size()] != '.')
    return false;
  for (int i = 0; i < kRandomLength; ++i) {
    const char c = file[stem.size() + 1 + i];
    if (!(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

}  // namespace platform
