#pragma once
// Writing a file so that it either arrives whole or the old one stays exactly
// as it was: the bytes go to a fresh temporary beside the target, which is
// flushed, synced and then renamed over the target, and the folder is synced
// so the rename itself survives a power loss.
//
// Temporaries are named "<target name>.<six letters or digits>.part" and are
// created exclusively, so a temporary never replaces a file that exists; the
// exit sweep recognises the form through IsTemporaryNameOf.
#include <QByteArray>
#include <QString>

namespace platform {

// Files holding passwords are readable by their owner only; all others follow
// the umask.
enum class FileAccess { Default, OwnerOnly };

// A temporary beside its target, open for writing. Destroying it without a
// successful Commit removes it.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates the temporary for `target`; false when none can be made (the
  // folder is missing, read-only or full).
  bool Create(const QString& target, FileAccess access);
  // The same with the permission bits to create it with (the umask applies).
  bool Create(const QString& target, FileAccess access, unsigned mode);
  bool IsOpen() const { return fd_ >= 0; }
  const QString& Path() const { return path_; }
  const QString& Target() const { return target_; }

  // Writes every byte; false on any error (a full disk among them).
  bool Write(const char* data, qint64 size);
  // Syncs and closes the temporary, renames it over the target and syncs the
  // folder. False when any step failed: up to the rename the target is then as
  // it was; a folder that cannot be synced after it reports false too, since
  // the new name may not survive a power loss.
  bool Commit();
  // Closes and removes the temporary; the target is left alone.
  void Discard();
  // The system's error number of the first step that failed (0: none), so a
  // caller can say why the file could not be saved.
  int Error() const { return error_; }

 private:
  bool Fail(int error);
  int fd_ = -1;
  int error_ = 0;
  QString path_;
  QString target_;
};

// Replaces `path` with `data` through a temporary. When no temporary can be
// made beside an existing, writable file (a read-only folder), the file is
// rewritten in place instead, in an order that a full disk cannot cut short
// where the filesystem overwrites in place (ext4, tmpfs; not copy-on-write):
// it is first grown to its new length, then written, then cut to length and
// synced. True only when every step succeeded.
bool WriteFileDurably(const QString& path, const QByteArray& data, FileAccess access);

// Copies the file `from` over `to` durably, as a new file (umask applies) that
// keeps `from`'s execute bits, or owner-only for FileAccess::OwnerOnly; false when `from` is not a
// readable file or any write failed (`to` is then as it was). On failure a
// given `error` receives the system's error number of the step that failed.
bool CopyFileDurably(const QString& from, const QString& to, FileAccess access, int* error = nullptr);

// Syncs the folder that holds `path`, so a rename or a new name in it lasts.
bool SyncFolderOf(const QString& path);

// True when `fileName` is a temporary of the file named `baseName`, as
// TemporaryFile names them.
bool IsTemporaryNameOf(const QString& fileName, const QString& baseName);

}  // namespace platform
