#include "app/process_file_list.h"

#include <QFile>
#include <QFileInfo>

#include <QHashFunctions>

#include <algorithm>
#include <cerrno>
#include <climits>
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

void ProcessFileList::SetDestination(QString folder) {
  destination_ = std::move(folder);
  destinationBytes_ = QFile::encodeName(destination_).size();
}

void ProcessFileList::SetProgramNames(const QStringList& names) {
  programNames_.clear();
  for (const QString& name : names) programNames_.push_back(name.toLatin1());
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
  const char* kept = paths_.constData() + row.at;
  // On the disk the file lies in the backup folder, and its download's
  // temporary beside it; neither path may reach PATH_MAX.
  const qsizetype onDisk = destinationBytes_ + (row.length > 0 && kept[0] == '/' ? 0 : 1) + utf8 - name +
                           platform::TemporaryNameBytes(name);
  // A path that could leave the backup folder, that names a folder (the
  // backup folder itself among them) rather than a file, that no folder
  // could hold, or that the program copy would replace, is listed but never
  // fetched.
  if (row.length == 0 || kept[row.length - 1] == '/' ||
      !nvr::IsSafeRecorderPath(QByteArrayView(kept, row.length)))
    row.refusal = kBadName;
  else if (utf8 > kMaxPathBytes || !namesFit || onDisk >= PATH_MAX)
    row.refusal = kTooLong;
  else if (IsProgramName(kept, row.length))
    row.refusal = kProgramName;
  rows_.push_back(row);
}

bool ProcessFileList::IsProgramName(const char* path, qsizetype length) const {
  if (programNames_.empty()) return false;
  qsizetype from = 0;
  while (from < length && path[from] == '/') ++from;
  const void* slash = std::memchr(path + from, '/', static_cast<std::size_t>(length - from));
  const qsizetype end = slash != nullptr ? static_cast<const char*>(slash) - path : length;
  for (const QByteArray& program : programNames_)
    if (program.size() == end - from && qstrnicmp(path + from, end - from, program.constData(), program.size()) == 0)
      return true;
  return false;
}

QByteArrayView ProcessFileList::FileKey(const Stored& row, QByteArray& scratch) const {
  const char* p = paths_.constData() + row.at;
  const qsizetype n = row.length;
  if (n > 0 && p[0] == '/' && ::memmem(p, static_cast<std::size_t>(n), "//", 2) == nullptr) return {p, n};
  scratch.clear();
  for (qsizetype i = 0; i < n; ++i) {
    if (p[i] == '/') continue;
    if (i == 0 || p[i - 1] == '/') scratch += '/';
    scratch += p[i];
  }
  return scratch;
}

void ProcessFileList::ReserveFiles(std::size_t files) {
  // At most three quarters of the slots are taken, so a probe ends soon.
  std::size_t size = std::max<std::size_t>(slots_.size(), 64);
  while (files * 4 > size * 3) size *= 2;
  if (size == slots_.size()) return;
  std::vector<Slot> table(size);
  const std::size_t mask = size - 1;
  for (const Slot& slot : slots_) {
    if (slot.row < 0) continue;
    std::size_t i = slot.hash & mask;
    while (table[i].row >= 0) i = (i + 1) & mask;
    table[i] = slot;
  }
  slots_ = std::move(table);
}

std::uint32_t ProcessFileList::FileHash(int row) const {
  QByteArray scratch;
  const QByteArrayView key = FileKey(Entry(row), scratch);
  // Seeded per process, so a recorder cannot choose names that all fall in one slot.
  return static_cast<std::uint32_t>(
      qHashBits(key.data(), static_cast<std::size_t>(key.size()), QHashSeed::globalSeed()));
}

void ProcessFileList::AdmitFile(int row, std::uint32_t hash) {
  QByteArray scratch, other;
  QByteArrayView key;  // made only when a hash meets its own
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.row < 0) {
      slot = Slot{row, hash};
      ++files_;
      return;
    }
    if (slot.hash != hash) continue;
    if (key.isNull()) key = FileKey(Entry(row), scratch);
    const QByteArrayView known = FileKey(Entry(slot.row), other);
    if (known.size() == key.size() && std::memcmp(known.data(), key.data(), static_cast<std::size_t>(key.size())) == 0) {
      rows_[static_cast<std::size_t>(row)].refusal = kListedBefore;
      listedBefore_.emplace_back(row, slot.row);
      return;
    }
  }
}

void ProcessFileList::AdmitFiles(int first, int end) {
  ReserveFiles(files_ + static_cast<std::size_t>(end - first));
  // The slots of a million rows lie far apart: each row's slot is asked of
  // memory a few rows ahead of its turn, which the rows are taken in.
  constexpr int kAhead = 16;
  std::uint32_t hashes[kAhead] = {};
  const std::size_t mask = slots_.size() - 1;
  for (int row = first; row < end + kAhead; ++row) {
    // The row due now is taken before its place in `hashes` is reused.
    const int due = row - kAhead;
    if (due >= first && Entry(due).refusal == kFetched) AdmitFile(due, hashes[due % kAhead]);
    if (row < end && Entry(row).refusal == kFetched) {
      hashes[row % kAhead] = FileHash(row);
      __builtin_prefetch(&slots_[hashes[row % kAhead] & mask]);
    }
  }
}

int ProcessFileList::EarlierRowOf(int row) const {
  const auto it = std::lower_bound(listedBefore_.begin(), listedBefore_.end(), std::make_pair(row, -1));
  return it != listedBefore_.end() && it->first == row ? it->second : -1;
}

int ProcessFileList::AddFileRow(const QString& recorderPath, std::int64_t size) {
  const QByteArray bytes = recorderPath.toLatin1();
  AddPathBytes(bytes.constData(), bytes.size(), size, -1);
  AdmitFiles(Count() - 1, Count());
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

  const auto lines = static_cast<std::size_t>(answer.count('\n'));
  rows_.reserve(rows_.size() + lines);
  paths_.reserve(paths_.size() + std::min<qsizetype>(answer.size(), qsizetype(lines) * (kMaxPathBytes + 1)));
  const int first = Count();
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
  AdmitFiles(first, Count());
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
    if (r.refusal != kFetched) continue;
    const QFileInfo file(LocalPath(row));
    if (r.status != kStatusComplete || !file.isFile() || file.size() != r.arrived) lost.push_back(row);
  }
  return lost;
}

int ProcessFileList::NextRowToFetch(int from) {
  int row = std::max(from, 0);
  for (; row < Count(); ++row) {
    Stored& r = rows_[static_cast<std::size_t>(row)];
    if (r.refusal == kListedBefore) {
      // Every earlier row has been fetched or passed over by now.
      r.status = Entry(EarlierRowOf(row)).status == kStatusComplete ? kStatusComplete : kStatusFailed;
      continue;
    }
    if (r.refusal != kFetched) {
      r.status = kStatusFailed;
      continue;
    }
    if (r.status != kStatusComplete) break;
  }
  return row;
}

bool ProcessFileList::CanNeverBeSaved(int error) {
  switch (error) {
    case ENAMETOOLONG:  // the name, or the whole path, is longer than the folder takes
    case ENOTDIR:       // a file stands where one of its folders must be
    case EISDIR:        // a folder stands where the file must be
    case EINVAL:        // a name the filesystem cannot hold (FAT: ":", "?", "*" and the like)
    case EILSEQ:        // bytes the filesystem's names cannot hold
      return true;
    default:
      return false;
  }
}

void ProcessFileList::PassOver(int row, int error) {
  if (row < 0 || row >= Count()) return;
  Stored& r = rows_[static_cast<std::size_t>(row)];
  r.refusal = kPassedOver;
  r.error = static_cast<std::uint8_t>(std::clamp(error, 0, 255));
  r.status = kStatusFailed;
}

bool ProcessFileList::LeftOut(const Stored& row) { return row.refusal != kFetched && row.refusal != kListedBefore; }

int ProcessFileList::RefusedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), LeftOut));
}

std::vector<RefusedFile> ProcessFileList::RefusedFiles(int max) const {
  std::vector<RefusedFile> files;
  for (int row = 0; row < Count() && int(files.size()) < max; ++row) {
    const Stored& r = Entry(row);
    if (!LeftOut(r)) continue;
    int reason = RefusedFile::kRefusedName;
    if (r.refusal == kTooLong) reason = ENAMETOOLONG;
    if (r.refusal == kProgramName) reason = RefusedFile::kRefusedProgramName;
    if (r.refusal == kPassedOver) reason = r.error;
    files.push_back(RefusedFile{RecorderPath(row), reason});
  }
  return files;
}

bool ProcessFileList::RefusedARecordList() const {
  return std::any_of(rows_.begin(), rows_.end(),
                     [](const Stored& r) { return r.recordList && LeftOut(r); });
}

bool ProcessFileList::NothingToFetch() const {
  return std::none_of(rows_.begin(), rows_.end(), [](const Stored& r) { return r.refusal == kFetched; });
}

QString ProcessFileList::RequestFor(int backupId, const QString& recorderPath) {
  return QStringLiteral("/config/backupdownload?id=%1&path=").arg(backupId) + recorderPath;
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
