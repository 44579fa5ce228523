#include "app/process_file_list.h"

#include <QFile>

#include "nvr/answer_file.h"
#include "nvr/decimal.h"
#include "platform/core/files.h"
#include "platform/core/latin1.h"

namespace {

// An answer lists a day's files in lines of a few dozen bytes; a file this
// large is not an answer and is not read into memory.
constexpr qint64 kMaxAnswerBytes = 16 * 1024 * 1024;

struct Line {
  QString path;
  std::int64_t size = 0;
};

Line ParseLine(const QString& line) {
  Line out;
  const qsizetype comma = line.indexOf(QLatin1Char(','));
  out.path = comma < 0 ? line : line.left(comma);
  if (comma >= 0) out.size = nvr::ReadDecimal64(QStringView(line).mid(comma + 1));
  return out;
}

}  // namespace

QString ProcessFileList::ToLocalPath(const QString& recorderPath) {
  QString local = recorderPath;
  local.remove(QChar(13));
  return local;
}

QString ProcessFileList::SizeText(std::int64_t size) {
  if (size < 1024) return QString::asprintf("%lld Bytes", static_cast<long long>(size));
  return QString::asprintf("%.2f MB", static_cast<double>(size) / 1024.0 / 1024.0);
}

int ProcessFileList::AddFileRow(const QString& recorderPath, std::int64_t size) {
  Row row;
  row.recorderPath = ToLocalPath(recorderPath);
  row.size = size;
  // A path that could leave the backup folder is listed but never fetched.
  row.safe = !row.recorderPath.isEmpty() && nvr::IsSafeRecorderPath(row.recorderPath);
  QString relative = row.recorderPath;
  if (!relative.startsWith(QLatin1Char('/'))) relative.prepend(QLatin1Char('/'));
  row.localPath = destination_ + relative;
  rows_.push_back(row);
  return Count() - 1;
}

bool ProcessFileList::AddJobAnswer(const QByteArray& answer, const nvr::NvrTime& jobStart,
                                   const QString& clampedFolder) {
  QStringList lines;
  nvr::SplitString(platform::BytesToText(answer), QLatin1Char('\n'), &lines);
  if (lines.size() < 2) return false;

  const Line list = ParseLine(lines.last());
  const int listRow = AddFileRow(list.path, list.size);
  // The clamped copy is the one the job thread made for this job's day,
  // whatever folders the recorder named.
  rows_[static_cast<std::size_t>(listRow)].clampedSource =
      clampedFolder + QString::asprintf("%.4d_%.2d_%.2d_RecordList.db", jobStart.year, jobStart.month, jobStart.day);
  for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
    const Line file = ParseLine(lines[i]);
    AddFileRow(file.path, file.size);
  }
  return true;
}

bool ProcessFileList::AddJobAnswerFile(const QString& path, const nvr::NvrTime& jobStart,
                                       const QString& clampedFolder) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxAnswerBytes) return false;
  return AddJobAnswer(file.readAll(), jobStart, clampedFolder);
}

void ProcessFileList::SetStatus(int row, const QString& status) {
  if (row >= 0 && row < Count()) rows_[static_cast<std::size_t>(row)].status = status;
}

QString ProcessFileList::RequestFor(int row, int backupId) const {
  return QStringLiteral("/config/backupdownload?id=%1&path=").arg(backupId) + At(row).recorderPath;
}

bool ReplaceWithClampedRecordList(const QString& clampedSource, const QString& downloaded) {
  if (clampedSource.isEmpty() || !QFile::exists(clampedSource)) return false;
  // Copied beside the target first, so a failed copy leaves the downloaded list.
  const QString part = downloaded + QStringLiteral(".part");
  platform::DeleteFilePath(part);
  if (!QFile::copy(clampedSource, part)) {
    platform::DeleteFilePath(part);
    return false;
  }
  if (!platform::RenameOver(part, downloaded)) {
    platform::DeleteFilePath(part);
    return false;
  }
  return true;
}
