#pragma once
// The backup progress dialog's file list without its window: the rows built
// from a job's answer file (the day's record list first, then the recorded
// files), the local file of each recorder path, the request that fetches it,
// and each row's status.
//
// An answer file may hold a million lines; each row keeps only its place in
// one shared store of path bytes, its size and its state, and the texts a
// window shows are made when asked for, so memory and time stay proportional
// to the answer's size.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

#include "nvr/nvr_time.h"

// A row left out of the backup: its recorder path and why. The reason is
// the system's error number of the save that could never succeed, or one
// of the list's own: kRefusedName (the path would leave the backup folder,
// names a folder, or holds bytes no name may) or kRefusedProgramName.
struct RefusedFile {
  static constexpr int kRefusedName = 0;
  // A name the program copy takes at the top of the backup folder.
  static constexpr int kRefusedProgramName = -1;
  QString path;
  int reason = kRefusedName;
};

class ProcessFileList {
 public:
  // A row as shown and fetched, made on demand.
  struct Row {
    QString recorderPath;   // as the answer file lists it (carriage returns dropped)
    QString localPath;      // destination folder + the local form of the path
    std::int64_t size = 0;
    bool safe = true;       // false: not fetched (refused, passed over, or listed before)
    QString clampedSource;  // the day's record list: the clamped copy kept beside the executable
    QString status;         // "", "download", "pause", "complete" or "failed"
  };

  static constexpr const char* kDownload = "download";
  static constexpr const char* kPause = "pause";
  static constexpr const char* kComplete = "complete";
  static constexpr const char* kFailed = "failed";

  // No local path may be longer (PATH_MAX, with the backup folder and the
  // download's temporary name in it), and no name in it longer than a folder
  // entry may be (NAME_MAX); a recorder path beyond either is refused. A
  // backup folder on a filesystem with shorter names still refuses such a
  // file when it is saved, and the row is then passed over.
  static constexpr qsizetype kMaxPathBytes = 4096;
  static constexpr qsizetype kMaxNameBytes = 255;

  explicit ProcessFileList(QString destination = QString()) { SetDestination(std::move(destination)); }

  void SetDestination(QString folder);
  // The names the program copy puts at the top of the backup folder: a row
  // whose path begins with one of them (letter case aside, as the FAT disks
  // backups often go to ignore it) is refused, so the copy replaces nothing
  // the backup saved. Set before the rows are added.
  void SetProgramNames(const QStringList& names);

  // Adds the rows of one job's answer file: its last line (the day's record
  // list) first, then lines 1 to n-2; line 0 (the total) gives no row. When
  // the last line names a record list, its row is replaced later by the
  // clamped copy named after the job's start day in `clampedFolder`. False,
  // and no row added, when the answer holds fewer than the total line and
  // the record-list line.
  bool AddJobAnswer(const QByteArray& answer, const nvr::NvrTime& jobStart, const QString& clampedFolder);
  // Reads the answer file first; false when it cannot be read.
  bool AddJobAnswerFile(const QString& path, const nvr::NvrTime& jobStart, const QString& clampedFolder);

  // Appends one row for a recorder path and its size.
  //
  // A row is refused when its path would leave the backup folder, names a
  // folder, is longer than a local path may be in the backup folder, or is a
  // program name. A row whose local file is that of an earlier row (the same
  // path listed again, perhaps with carriage returns or doubled "/" in it)
  // is listed but not fetched: the earlier row's file stands for both, and a
  // day's record list listed again never replaces its clamped copy.
  //
  // A file and a folder of one name ("/rec/dir" and "/rec/dir/inner.avi")
  // are not decided here: the first one listed is saved, and the save of the
  // other fails for good and passes it over (PassOver), as it does when the
  // backup folder already holds such a name.
  int AddFileRow(const QString& recorderPath, std::int64_t size);

  int Count() const { return static_cast<int>(rows_.size()); }
  Row At(int row) const;
  QString RecorderPath(int row) const;
  QString LocalPath(int row) const;
  std::int64_t Size(int row) const { return Entry(row).size; }
  // The row is fetched: neither refused, nor passed over, nor listed before.
  bool IsSafe(int row) const { return Entry(row).refusal == kFetched; }
  QString ClampedSource(int row) const;
  QString Status(int row) const;
  void SetStatus(int row, const QString& status);

  // A save that no retry can mend (CanNeverBeSaved): the row reads "failed",
  // is never fetched again and is named at the end with the reason.
  static bool CanNeverBeSaved(int error);
  void PassOver(int row, int error);

  // Remembers the size a row's file had when it arrived, and finds the
  // fetchable rows that have not arrived or whose files are no longer there
  // as they arrived, in list order.
  void SetArrivedSize(int row, std::int64_t size);
  std::vector<int> LostRows() const;
  // The first row from `from` on that is still to be fetched (Count() when
  // none). Rows on the way that are not fetched read "failed", except that
  // a row listed before reads as the earlier row does.
  int NextRowToFetch(int from);
  // The rows left out of the backup (refused or passed over; a row listed
  // before is not left out): how many, and the first `max` with reasons.
  int RefusedCount() const;
  std::vector<RefusedFile> RefusedFiles(int max) const;
  // A job's record list (its answer's last line) is among the rows left out.
  bool RefusedARecordList() const;
  // No row is fetched at all: nothing of the backup can be saved.
  bool NothingToFetch() const;

  // The recorder path of a local path under the destination folder.
  QString ToRecorderPath(const QString& localPath) const { return localPath.mid(destination_.size()); }
  // The request that fetches a recorder path with that backup id.
  static QString RequestFor(int backupId, const QString& recorderPath);

  // The local form of a recorder path (its Latin-1 bytes): every carriage
  // return dropped; "/" stays the separator. Rows keep their paths in this form.
  static QByteArray ToLocalPath(QByteArrayView recorderPath);
  // The row's "Number", "Size" texts.
  static QString NumberText(int row) { return QString::number(row + 1); }
  static QString SizeText(std::int64_t size);

 private:
  enum : std::uint8_t { kStatusNone, kStatusDownload, kStatusPause, kStatusComplete, kStatusFailed };
  // Why a row is not fetched.
  enum : std::uint8_t { kFetched, kBadName, kTooLong, kProgramName, kListedBefore, kPassedOver };
  struct Stored {
    qsizetype at = 0;       // the path's bytes in paths_
    qsizetype length = 0;
    std::int64_t size = 0;
    std::int64_t arrived = -1;  // the file's size when it arrived
    int job = -1;           // index into clampedSources_ for the day's record list, else -1
    std::uint8_t status = kStatusNone;
    std::uint8_t refusal = kFetched;
    std::uint8_t error = 0;   // the system's error number of a row passed over
    bool recordList = false;  // the job's answer's last line
  };
  // A slot of the set of fetched rows' local files.
  struct Slot {
    std::int32_t row = -1;  // -1: free
    std::uint32_t hash = 0;
  };

  const Stored& Entry(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  // One row from a line's bytes: the path before the first ",", the size after it.
  void AddLine(const char* line, qsizetype length, int job);
  void AddPathBytes(const char* path, qsizetype length, std::int64_t size, int job);
  bool IsProgramName(const char* path, qsizetype length) const;
  // The path as a filesystem reads it, the file's key: one "/" before each
  // name. `scratch` holds it when it differs from the row's own bytes.
  QByteArrayView FileKey(const Stored& row, QByteArray& scratch) const;
  // The hash of a row's file key.
  std::uint32_t FileHash(int row) const;
  // A fetched row whose file an earlier fetched row has becomes one listed
  // before; else its file is added as one of its own. Open addressing over
  // slots_, a power of two long, which AdmitFiles has made room in.
  void AdmitFile(int row, std::uint32_t hash);
  // AdmitFile for the fetched rows from `first` to before `end`, in order.
  void AdmitFiles(int first, int end);
  void ReserveFiles(std::size_t files);
  // The earlier row whose file a row listed before has.
  int EarlierRowOf(int row) const;
  // Refused or passed over: the backup is without the row's file.
  static bool LeftOut(const Stored& row);

  QString destination_;
  qsizetype destinationBytes_ = 0;  // the destination's local (UTF-8) length
  std::vector<QByteArray> programNames_;
  QByteArray paths_;  // every row's path in its local form, Latin-1 as the recorder sent it
  std::vector<Stored> rows_;
  std::vector<Slot> slots_;
  std::size_t files_ = 0;  // slots taken
  std::vector<std::pair<int, int>> listedBefore_;  // (row, earlier row), by row
  std::vector<QString> clampedSources_;
};

// Puts the clamped record list `clampedSource` in place of the one just
// downloaded. Without a clamped copy the downloaded list stays (NoCopy). A
// copy that is empty or shorter than its own header says, or a copy that
// cannot be written whole, fails and leaves the downloaded list as it was;
// `error`, when given, then holds the system's error number.
enum class ClampedCopy { Replaced, NoCopy, Failed };
ClampedCopy PutClampedRecordList(const QString& clampedSource, const QString& downloaded, int* error = nullptr);
