#include "app/process_file_list.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "nvr/answer_file.h"
#include "nvr/decimal.h"
#include "platform/core/durable_file.h"

namespace {

// An answer lists a day's files in lines of a few dozen bytes; a file this
// large is not an answer and is not read into memory.
constexpr qint64 kMaxAnswerBytes = 16 * 1024 * 1024;

// Record-list layout: a 56-byte header whose bytes 4 to 7 count the 25-byte entries.
constexpr qint64 kListHeader = 56;
constexpr qint64 kListEntry = 25;
constexpr quint32 kListMaxEntries = 100000;

const char* const kStatusTexts[] = {"", ProcessFileList::kDownload, ProcessFileList::kPause,
                                    ProcessFileList::kComplete, ProcessFileList::kFailed};

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal number a line's text begins with; only its first characters
// can matter, so a huge line costs nothing.
std::int64_t ReadNumber(const char* text, qsizetype length) {
  qsizetype i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  return nvr::ReadDecimal64(QString::fromLatin1(text + i, std::min<qsizetype>(length - i, 32)));
}

}  // namespace

QByteArray ProcessFileList::ToLocalPath(QByteArrayView recorderPath) {
  QByteArray local = recorderPath.toByteArray();
  local.removeIf([](char c) { return c == '\r'; });
  return local;
}

QString ProcessFileList::SizeText(std::int64_t size) {
  if (size < 1024) return QString::asprintf("%lld Bytes", static_cast<long long>(size));
  return QString::asprintf("%.2f MB", static_cast<double>(size) / 1024.0 / 1024.0);
}

void ProcessFileList::AddPathBytes(const char* path, qsizetype length, std::int64_t size, int job) {
  Stored row;
  row.size = size;
  row.job = job;
  row.at = paths_.size();
  // The local form, made a piece at a time so that a huge line is never
  // copied whole: beyond the longest local path the rest cannot matter.
  QByteArray local;
  for (qsizetype from = 0; from < length && local.size() <= kMaxPathBytes; from += kMaxPathBytes + 1)
    local += ToLocalPath(QByteArrayView(path + from, std::min(length - from, kMaxPathBytes + 1)));
  // Of a path too long for a local name only as much is kept as a name may
  // hold (it is shown, never fetched). Lengths count the bytes of the local
  // (UTF-8) name.
  qsizetype utf8 = 0;
  qsizetype name = 0;
  bool namesFit = true;
  for (const char c : std::as_const(local)) {
    const int bytes = static_cast<unsigned char>(c) < 0x80 ? 1 : 2;
    utf8 += bytes;
    if (utf8 > kMaxPathBytes) break;
    name = c == '/' ? 0 : name + bytes;
    if (name > kMaxNameBytes) namesFit = false;
    paths_.append(c);
  }
  row.length = paths_.size() - row.at;
  // A path that could leave the backup folder, that names a folder (the
  // backup folder itself among them) rather than a file, that no folder
  // could hold, or whose file cannot lie beside an earlier row's, is listed
  // but never fetched.
  row.safe = row.length > 0 && utf8 <= kMaxPathBytes && namesFit && paths_.back() != '/' &&
             nvr::IsSafeRecorderPath(QString::fromLatin1(paths_.constData() + row.at, row.length)) &&
             files_.Admit(paths_, row.at, row.length);
  rows_.push_back(row);
}

int ProcessFileList::AddFileRow(const QString& recorderPath, std::int64_t size) {
  const QByteArray bytes = recorderPath.toLatin1();
  AddPathBytes(bytes.constData(), bytes.size(), size, -1);
  return Count() - 1;
}

void ProcessFileList::AddLine(const char* line, qsizetype length, int job) {
  // The path is the text before the first ","; a line without one names no
  // path, and its size is the number it begins with.
  const char* comma = static_cast<const char*>(std::memchr(line, ',', static_cast<std::size_t>(length)));
  if (comma == nullptr) {
    AddPathBytes(line, 0, ReadNumber(line, length), job);
    return;
  }
  const qsizetype pathLength = comma - line;
  AddPathBytes(line, pathLength, ReadNumber(comma + 1, length - pathLength - 1), job);
}

bool ProcessFileList::AddJobAnswer(const QByteArray& answer, const nvr::NvrTime& jobStart,
                                   const QString& clampedFolder) {
  // Only text ended by a line feed counts; the last line is the record list.
  const char* data = answer.constData();
  const qsizetype end = answer.lastIndexOf('\n');
  if (end < 0) return false;
  const qsizetype firstEnd = answer.indexOf('\n');
  if (firstEnd == end) return false;  // the total line alone
  const qsizetype lastStart = answer.lastIndexOf('\n', end - 1) + 1;

  rows_.reserve(rows_.size() + static_cast<std::size_t>(answer.count('\n')));
  const int job = static_cast<int>(clampedSources_.size());
  AddLine(data + lastStart, end - lastStart, -1);
  rows_.back().recordList = true;
  // The clamped copy is the one the job thread made for this job's day; it
  // replaces the last line's file only when that line names a record list.
  if (RecorderPath(Count() - 1).contains(QStringLiteral("RecordList.db"))) {
    clampedSources_.push_back(clampedFolder + QString::asprintf("%.4d_%.2d_%.2d_RecordList.db", jobStart.year,
                                                                jobStart.month, jobStart.day));
    rows_.back().job = job;
  }
  for (qsizetype from = firstEnd + 1; from < lastStart;) {
    const qsizetype lf = answer.indexOf('\n', from);
    AddLine(data + from, lf - from, -1);
    from = lf + 1;
  }
  return true;
}

bool ProcessFileList::AddJobAnswerFile(const QString& path, const nvr::NvrTime& jobStart,
                                       const QString& clampedFolder) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxAnswerBytes) return false;
  return AddJobAnswer(file.read(kMaxAnswerBytes), jobStart, clampedFolder);
}

QString ProcessFileList::RecorderPath(int row) const {
  const Stored& r = Entry(row);
  return QString::fromLatin1(paths_.constData() + r.at, r.length);
}

QString ProcessFileList::LocalPath(int row) const {
  QString relative = RecorderPath(row);
  // Whatever the recorder wrote, the file lies inside the destination folder.
  if (!relative.startsWith(QLatin1Char('/'))) relative.prepend(QLatin1Char('/'));
  return destination_ + relative;
}

QString ProcessFileList::ClampedSource(int row) const {
  const int job = Entry(row).job;
  return job < 0 ? QString() : clampedSources_.at(static_cast<std::size_t>(job));
}

QString ProcessFileList::Status(int row) const { return QString::fromLatin1(kStatusTexts[Entry(row).status]); }

ProcessFileList::Row ProcessFileList::At(int row) const {
  Row out;
  out.recorderPath = RecorderPath(row);
  out.localPath = LocalPath(row);
  out.size = Size(row);
  out.safe = IsSafe(row);
  out.clampedSource = ClampedSource(row);
  out.status = Status(row);
  return out;
}

void ProcessFileList::SetStatus(int row, const QString& status) {
  if (row < 0 || row >= Count()) return;
  for (std::uint8_t s = 0; s < std::size(kStatusTexts); ++s)
    if (status == QLatin1String(kStatusTexts[s])) rows_[static_cast<std::size_t>(row)].status = s;
}

void ProcessFileList::SetArrivedSize(int row, std::int64_t size) {
  if (row >= 0 && row < Count()) rows_[static_cast<std::size_t>(row)].arrived = size;
}

std::vector<int> ProcessFileList::LostRows() const {
  std::vector<int> lost;
  for (int row = 0; row < Count(); ++row) {
    const Stored& r = Entry(row);
    if (!r.safe) continue;
    const QFileInfo file(LocalPath(row));
    if (r.status != kStatusComplete || !file.isFile() || file.size() != r.arrived) lost.push_back(row);
  }
  return lost;
}

int ProcessFileList::NextRowToFetch(int from) {
  int row = std::max(from, 0);
  for (; row < Count(); ++row) {
    Stored& r = rows_[static_cast<std::size_t>(row)];
    if (!r.safe) {
      r.status = kStatusFailed;
      continue;
    }
    if (r.status != kStatusComplete) break;
  }
  return row;
}

int ProcessFileList::RefusedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Stored& r) { return !r.safe; }));
}

QStringList ProcessFileList::RefusedPaths(int max) const {
  QStringList paths;
  for (int row = 0; row < Count() && paths.size() < max; ++row)
    if (!Entry(row).safe) paths << RecorderPath(row);
  return paths;
}

bool ProcessFileList::RefusedARecordList() const {
  return std::any_of(rows_.begin(), rows_.end(), [](const Stored& r) { return r.recordList && !r.safe; });
}

QString ProcessFileList::RequestFor(int row, int backupId) const {
  return QStringLiteral("/config/backupdownload?id=%1&path=").arg(backupId) + ToRecorderPath(LocalPath(row));
}

ClampedCopy PutClampedRecordList(const QString& clampedSource, const QString& downloaded, int* error) {
  int ignored = 0;
  int& why = error != nullptr ? *error : ignored;
  why = 0;
  if (clampedSource.isEmpty()) return ClampedCopy::NoCopy;
  // Opened here, so a copy that cannot be read is told with its own reason.
  const int fd = ::open(QFile::encodeName(clampedSource).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ClampedCopy::NoCopy;
    why = errno;
    return ClampedCopy::Failed;
  }
  QFile source;
  if (!source.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    why = EIO;
    return ClampedCopy::Failed;
  }
  // The clamp writes whole files, the header and every entry its count
  // announces. Anything less is no clamped list (the recorder sent it so, or
  // it was damaged since) and must never replace the list downloaded beside it.
  const QByteArray header = source.read(kListHeader);
  if (header.size() < kListHeader) return ClampedCopy::NoCopy;
  const auto* h = reinterpret_cast<const unsigned char*>(header.constData());
  const quint32 count = quint32(h[4]) | quint32(h[5]) << 8 | quint32(h[6]) << 16 | quint32(h[7]) << 24;
  if (count - 1u < kListMaxEntries && source.size() < kListHeader + qint64(count) * kListEntry)
    return ClampedCopy::NoCopy;
  source.close();
  return platform::CopyFileDurably(clampedSource, downloaded, platform::FileAccess::Default, &why)
             ? ClampedCopy::Replaced
             : ClampedCopy::Failed;
}
