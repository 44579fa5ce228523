#pragma once
// Writing a file so that it either arrives whole or the old one stays exactly
// as it was: the bytes go to a fresh temporary beside the target, which is
// flushed, synced and then renamed over the target, and the folder is synced
// so the rename itself survives a power loss.
//
// Temporaries are named "<target name>.<six letters or digits>.part" and are
// created exclusively, so a temporary never replaces a file that exists. For
// a target name within 12 bytes of the folder's name limit (255 bytes on the
// usual filesystems) the temporary keeps only as much of the name's start as
// fits, cut between two characters of its UTF-8 form, so every name that fits
// can be written. IsTemporaryNameOf recognises both forms.
#include <QByteArray>
#include <QString>

namespace platform {

// Files holding passwords are readable by their owner only (0600 at most,
// whatever mode the file they replace had); a new file of any other kind
// follows the umask, and a rewrite keeps the mode the file had.
enum class FileAccess { Default, OwnerOnly };

// A temporary beside its target, open for writing. Destroying it without a
// successful Commit removes it.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates the temporary for `target`, with the permission bits the file is
  // to have: those of the file it replaces, or for a new file 0666 less the
  // umask; 0600 at most for FileAccess::OwnerOnly. False when none can be
  // made (the folder is missing, read-only or full, the target's name is
  // longer than the folder takes: ENAMETOOLONG), or when a folder stands
  // where the target is to be (EISDIR), which no rename could replace.
  bool Create(const QString& target, FileAccess access);
  // The same, with the execute bits `executeBits` (of 0111) in place of the
  // old file's, for the classes that may read it (a new file: less the
  // umask), so a copied program stays runnable. Owner-only files get none.
  bool Create(const QString& target, FileAccess access, unsigned executeBits);
  bool IsOpen() const { return fd_ >= 0; }
  const QString& Path() const { return path_; }

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
  // The last Create failed because the folder refuses new names (EACCES or
  // EPERM from making the temporary itself), not for any other reason.
  bool FolderRefusedNewName() const { return folderRefused_; }

 private:
  bool Make(const QString& target, FileAccess access, int executeBits);  // -1: the old file's
  bool Fail(int error);
  int fd_ = -1;
  int error_ = 0;
  bool folderRefused_ = false;
  QString path_;
  QString target_;
};

// The most bytes the name of a temporary takes beside a target whose name has
// `nameBytes` bytes (in its UTF-8 form), in a folder whose names may have
// `nameLimit` bytes. The temporary's whole path, like any path, must stay
// under PATH_MAX, so a target within a few bytes of it cannot be written.
qsizetype TemporaryNameBytes(qsizetype nameBytes, long nameLimit = 255);

// Replaces `path` with `data` through a temporary. True only when every step
// succeeded; on false the file is as it was.
//
// One case writes in place instead: the folder refuses new names (making the
// temporary failed with EACCES or EPERM) while the file itself exists and is
// writable, as for a program folder the operator may not add to. The file is
// then grown to its new length, written, cut to length and synced, an order
// that a full disk cannot cut short where the filesystem overwrites in place
// (ext4, tmpfs; not copy-on-write). This rewrite is NOT safe against a crash:
// a program killed or a power loss during it can leave a mixed file (new
// bytes over the start of the old ones, followed by the old tail or by NUL
// bytes). A file over one page can lose its later lines for good: a kill
// during the rewrite of a 10 KB setting.ini left its first 4 KiB followed by
// zeros. It is still the better choice there, as the other is never saving
// the operator's settings or history in that folder at all. Any other failure
// to make the temporary (a full disk, a quota, no descriptor left) fails the
// write.
bool WriteFileDurably(const QString& path, const QByteArray& data, FileAccess access);

// Copies the file `from` over `to` durably; false when `from` is not a
// readable file or any write failed (`to` is then as it was). The copy has
// `from`'s execute bits and otherwise the mode of the `to` it replaces (a new
// one: 0666 less the umask); see TemporaryFile::Create. On failure a given
// `error` receives the system's error number of the step that failed.
bool CopyFileDurably(const QString& from, const QString& to, FileAccess access, int* error = nullptr);

// Makes an existing regular file of ours owner-only (0600 at most) when others
// have any access to it, as a password file an earlier build left 0644;
// creates nothing, and leaves other owners' files alone.
void MakeOwnerOnly(const QString& path);

// Syncs the folder that holds `path`, so a rename or a new name in it lasts.
bool SyncFolderOf(const QString& path);

// True when `fileName` is a temporary of the file named `baseName`, as
// TemporaryFile names them in a folder whose names may have `nameLimit` bytes
// (pathconf's _PC_NAME_MAX). A shortened temporary is recognised only where
// the whole name would not have fitted, and only in the one form it takes.
bool IsTemporaryNameOf(const QString& fileName, const QString& baseName, int nameLimit = 255);

// For tests only: where the six letters or digits of a temporary's name come
// from (null: the system's random source), so a test can make a temporary's
// name meet a file that exists. Each call gives one candidate. Returns the
// source that was set before.
using TemporaryNameSource = QByteArray (*)();
TemporaryNameSource SetTemporaryNameSourceForTests(TemporaryNameSource source);

}  // namespace platform
