#pragma once
// The backup progress dialog's file list without its window: the rows built
// from a job's answer file (the day's record list first, then the recorded
// files), the local file of each recorder path, the request that fetches it,
// and each row's status.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "nvr/nvr_time.h"

class ProcessFileList {
 public:
  struct Row {
    QString recorderPath;  // as the answer file lists it (carriage returns dropped)
    QString localPath;     // destination folder + the local form of the path
    std::int64_t size = 0;
    bool safe = true;      // false: the path would leave the folder; nothing is fetched for it
    QString clampedSource;  // record-list rows: the clamped copy kept beside the executable
    QString status;        // "", "download", "pause", "complete" or "failed"
  };

  static constexpr const char* kDownload = "download";
  static constexpr const char* kPause = "pause";
  static constexpr const char* kComplete = "complete";
  static constexpr const char* kFailed = "failed";

  explicit ProcessFileList(QString destination = QString()) : destination_(std::move(destination)) {}

  void SetDestination(const QString& folder) { destination_ = folder; }
  const QString& Destination() const { return destination_; }

  // Adds the rows of one job's answer file: its last line (the day's record
  // list) first, then lines 1 to n-2; line 0 (the total) gives no row. The
  // record-list row is replaced later by the clamped copy named after the
  // job's start day in `clampedFolder`. False, and no row added, when the
  // answer holds fewer than the total line and the record-list line.
  bool AddJobAnswer(const QByteArray& answer, const nvr::NvrTime& jobStart, const QString& clampedFolder);
  // Reads the answer file first; false when it cannot be read.
  bool AddJobAnswerFile(const QString& path, const nvr::NvrTime& jobStart, const QString& clampedFolder);

  // Appends one row for a recorder path and its size.
  int AddFileRow(const QString& recorderPath, std::int64_t size);

  int Count() const { return static_cast<int>(rows_.size()); }
  const Row& At(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  bool IsLastRow(int row) const { return row >= Count() - 1; }
  void SetStatus(int row, const QString& status);

  // The request that fetches a row's file with that backup id.
  QString RequestFor(int row, int backupId) const;

  // The recorder path with every carriage return dropped; "/" stays the separator.
  static QString ToLocalPath(const QString& recorderPath);
  // The row's "Number", "Size" texts.
  static QString NumberText(int row) { return QString::number(row + 1); }
  static QString SizeText(std::int64_t size);

 private:
  QString destination_;
  std::vector<Row> rows_;
};

// Puts the clamped record list in place of the one just downloaded; the
// downloaded one stays when there is no clamped copy. True when replaced.
bool ReplaceWithClampedRecordList(const QString& clampedSource, const QString& downloaded);
