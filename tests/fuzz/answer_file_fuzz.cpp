// Fuzz target for the answer file and the record-list clamp. The input is read
// both ways: as an answer file (its lines, their recorder paths and the total)
// and, after three bytes that give the clamp's limit, as a record-list file.
// A path called safe must stay inside the folder it is placed under; the clamp
// must keep the header and whole entries and change no byte but entry times,
// each only down to the limit, and must leave a file that is no list as it was.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "nvr/answer_file.h"
#include "platform/core/latin1.h"

namespace {

constexpr int kHeader = 56;
constexpr int kEntry = 25;

void Check(bool ok) {
  if (!ok) std::abort();
}

bool AllDigits(const char* p) {
  for (int i = 0; i < 6; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

long long Seconds(const char* p) {
  return ((p[0] - '0') * 10 + (p[1] - '0')) * 3600LL + ((p[2] - '0') * 10 + (p[3] - '0')) * 60LL +
         ((p[4] - '0') * 10 + (p[5] - '0'));
}

void CheckAnswerFile(const QByteArray& bytes) {
  const QString text = platform::BytesToText(bytes);
  QStringList lines;
  nvr::SplitString(text, QLatin1Char('\n'), &lines);
  Check(lines.size() == text.count(QLatin1Char('\n')));
  if (!lines.isEmpty()) Check(lines.join(QLatin1Char('\n')) + QLatin1Char('\n') == text.left(text.lastIndexOf('\n') + 1));

  const QString folder = QStringLiteral("/backup/backup201205031200");
  for (const QString& line : lines) {
    const QString path = nvr::RecorderPathOfLine(line);
    Check(!path.contains(QLatin1Char(',')));
    if (path.isEmpty() || !nvr::IsSafeRecorderPath(path.toLatin1())) continue;
    // Placed as the progress dialog places it: under the folder, after one "/".
    const QString local = folder + (path.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + path;
    const QString clean = QDir::cleanPath(local);
    Check(clean == folder || clean.startsWith(folder + QLatin1Char('/')));
  }

  // The total, read from a file that holds exactly these bytes.
  const int fd = ::memfd_create("answer", MFD_CLOEXEC);
  Check(fd >= 0);
  Check(::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size());
  const std::int64_t total = nvr::ReadAnswerFileTotal(QStringLiteral("/proc/self/fd/%1").arg(fd));
  ::close(fd);
  if (!bytes.startsWith("to") || !bytes.left(80).contains('\n')) Check(total == 0);
}

void CheckClamp(int hour, int minute, int second, const QByteArray& before) {
  static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/clamp-fuzz-XXXXXX")
                                                                    : QDir::tempPath() + "/clamp-fuzz-XXXXXX");
  Check(dir.isValid());
  const QString path = dir.path() + QStringLiteral("/2012_05_03_RecordList.db");
  {
    QFile f(path);
    Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(before) == before.size());
  }
  const nvr::ClampResult result = nvr::ClampRecordListEndTimes(hour, path, minute, second);
  QFile f(path);
  Check(f.open(QIODevice::ReadOnly));
  const QByteArray after = f.readAll();
  Check(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size() == 1);

  const auto* h = reinterpret_cast<const unsigned char*>(before.constData());
  const std::uint32_t count =
      before.size() < kHeader ? 0 : std::uint32_t(h[4]) | std::uint32_t(h[5]) << 8 | std::uint32_t(h[6]) << 16 | std::uint32_t(h[7]) << 24;
  const bool isList = before.size() >= kHeader && count >= 1 && count <= 100000 &&
                      before.size() >= kHeader + qint64(count) * kEntry;
  Check(result != nvr::ClampResult::WriteFailed);
  Check((result == nvr::ClampResult::Clamped) == isList);
  if (!isList) {
    Check(after == before);
    return;
  }
  // Header and whole entries, nothing after them.
  Check(after.size() == kHeader + qint64(count) * kEntry);
  Check(after.left(kHeader) == before.left(kHeader));
  const long long limit = hour * 3600LL + minute * 60LL + second;
  for (std::uint32_t i = 0; i < count; ++i) {
    const qsizetype at = kHeader + qsizetype(i) * kEntry;
    Check(after.mid(at, 6) == before.mid(at, 6));
    Check(after.mid(at + 12, 13) == before.mid(at + 12, 13));
    const char* was = before.constData() + at + 6;
    const char* now = after.constData() + at + 6;
    if (std::equal(was, was + 6, now)) {
      // Untouched: not a time, or not after the limit.
      Check(!AllDigits(was) || Seconds(was) <= limit);
    } else {
      // Brought down to the limit, written as a time of day.
      Check(AllDigits(was) && Seconds(was) > limit);
      Check(AllDigits(now) && Seconds(now) <= limit && Seconds(now) < Seconds(was));
      Check(now[2] <= '5' && now[4] <= '5');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  CheckAnswerFile(bytes);
  if (size >= 3) CheckClamp(data[0] % 25, data[1] % 60, data[2] % 60, bytes.mid(3));
  return 0;
}
