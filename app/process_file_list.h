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
#include <vector>

#include "app/local_path_tree.h"
#include "nvr/nvr_time.h"

class ProcessFileList {
 public:
  // A row as shown and fetched, made on demand.
  struct Row {
    QString recorderPath;   // as the answer file lists it (carriage returns dropped)
    QString localPath;      // destination folder + the local form of the path
    std::int64_t size = 0;
    bool safe = true;       // false: refused, nothing is fetched for it
    QString clampedSource;  // the day's record list: the clamped copy kept beside the executable
    QString status;         // "", "download", "pause", "complete" or "failed"
  };

  static constexpr const char* kDownload = "download";
  static constexpr const char* kPause = "pause";
  static constexpr const char* kComplete = "complete";
  static constexpr const char* kFailed = "failed";

  // No local path may be longer (PATH_MAX), and no name in it longer than a
  // folder entry may be (NAME_MAX); a recorder path beyond either is refused.
  // A backup folder on a filesystem with shorter names still refuses such a
  // file when it is saved, which the operator is told.
  static constexpr qsizetype kMaxPathBytes = 4096;
  static constexpr qsizetype kMaxNameBytes = 255;

  explicit ProcessFileList(QString destination = QString()) : destination_(std::move(destination)) {}

  void SetDestination(const QString& folder) { destination_ = folder; }

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
  // folder, or is longer than a local path may be; and when a disk could not
  // hold its file beside one of an earlier row (a file where the other's
  // folder would be, or the other way round: "/rec/dir" and
  // "/rec/dir/inner.avi"). Of two such rows the one listed first is kept,
  // as it is fetched first; deciding here, before anything is fetched, no
  // file that arrived is given up and "Resume" never starts a row that
  // cannot be saved. The same path listed twice is one file, no clash.
  int AddFileRow(const QString& recorderPath, std::int64_t size);

  int Count() const { return static_cast<int>(rows_.size()); }
  Row At(int row) const;
  QString RecorderPath(int row) const;
  QString LocalPath(int row) const;
  std::int64_t Size(int row) const { return Entry(row).size; }
  bool IsSafe(int row) const { return Entry(row).safe; }
  QString ClampedSource(int row) const;
  QString Status(int row) const;
  void SetStatus(int row, const QString& status);

  // Remembers the size a row's file had when it arrived, and finds the
  // fetchable rows that have not arrived or whose files are no longer there
  // as they arrived, in list order.
  void SetArrivedSize(int row, std::int64_t size);
  std::vector<int> LostRows() const;
  // The first row from `from` on that is still to be fetched (Count() when
  // none). Refused rows on the way read "failed": they are never fetched.
  int NextRowToFetch(int from);
  // The refused rows: how many, and the recorder paths of the first `max`.
  int RefusedCount() const;
  QStringList RefusedPaths(int max) const;
  // A job's record list (its answer's last line) is among the refused rows.
  bool RefusedARecordList() const;

  // The recorder path of a local path under the destination folder.
  QString ToRecorderPath(const QString& localPath) const { return localPath.mid(destination_.size()); }
  // The request that fetches a row's file with that backup id.
  QString RequestFor(int row, int backupId) const;

  // The local form of a recorder path (its Latin-1 bytes): every carriage
  // return dropped; "/" stays the separator. Rows keep their paths in this form.
  static QByteArray ToLocalPath(QByteArrayView recorderPath);
  // The row's "Number", "Size" texts.
  static QString NumberText(int row) { return QString::number(row + 1); }
  static QString SizeText(std::int64_t size);

 private:
  enum : std::uint8_t { kStatusNone, kStatusDownload, kStatusPause, kStatusComplete, kStatusFailed };
  struct Stored {
    qsizetype at = 0;       // the path's bytes in paths_
    qsizetype length = 0;
    std::int64_t size = 0;
    std::int64_t arrived = -1;  // the file's size when it arrived
    int job = -1;           // index into clampedSources_ for the day's record list, else -1
    std::uint8_t status = kStatusNone;
    bool safe = false;
    bool recordList = false;  // the job's answer's last line
  };
  const Stored& Entry(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  // One row from a line's bytes: the path before the first ",", the size after it.
  void AddLine(const char* line, qsizetype length, int job);
  void AddPathBytes(const char* path, qsizetype length, std::int64_t size, int job);

  QString destination_;
  QByteArray paths_;  // every row's path in its local form, Latin-1 as the recorder sent it
  std::vector<Stored> rows_;
  LocalPathTree files_;  // the files of the rows not refused
  std::vector<QString> clampedSources_;
};

// Puts the clamped record list `clampedSource` in place of the one just
// downloaded. Without a clamped copy the downloaded list stays (NoCopy). A
// copy that is empty or shorter than its own header says, or a copy that
// cannot be written whole, fails and leaves the downloaded list as it was;
// `error`, when given, then holds the system's error number.
enum class ClampedCopy { Replaced, NoCopy, Failed };
ClampedCopy PutClampedRecordList(const QString& clampedSource, const QString& downloaded, int* error = nullptr);
