#include "nvr/answer_file.h"

#include <QFile>

#include "nvr/decimal.h"
#include "platform/core/durable_file.h"
#include "platform/core/latin1.h"

namespace nvr {
namespace {

constexpr qint64 kHeaderSize = 56;
constexpr qint64 kEntrySize = 25;
constexpr quint32 kMaxEntries = 100000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void SplitString(const QString& text, QChar separator, QStringList* pieces) {
  qsizetype from = 0;
  while (from < text.size()) {
    const qsizetype at = text.indexOf(separator, from);
    if (at < 0) break;
    pieces->append(text.mid(from, at - from));
    from = at + 1;
  }
}

std::int64_t ReadAnswerFileTotal(const QString& path) {
  if (path.isEmpty()) return 0;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray head = file.read(80);
  if (head.size() < 2 || head[0] != 't' || head[1] != 'o') return 0;
  const QString text = platform::BytesToText(head);
  const qsizetype lf = text.indexOf(QLatin1Char('\n'));
  const QString line = lf < 0 ? QString() : text.left(lf);
  const qsizetype comma = line.indexOf(QLatin1Char(','));
  return ReadDecimal64(comma < 0 ? QStringView(line) : QStringView(line).mid(comma + 1));
}

QString RecorderPathOfLine(const QString& line) {
  const qsizetype comma = line.indexOf(QLatin1Char(','));
  return comma < 0 ? QString() : line.left(comma);
}

bool IsSafeRecorderPath(QByteArrayView path) {
  qsizetype nameStart = 0;
  for (qsizetype i = 0; i <= path.size(); ++i) {
    const char c = i < path.size() ? path[i] : '/';
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\') return false;
    if (c != '/') continue;
    const qsizetype length = i - nameStart;
    if ((length == 1 || length == 2) && path[nameStart] == '.' && path[i - 1] == '.') return false;
    nameStart = i + 1;
  }
  return true;
}

ClampResult ClampRecordListEndTimes(int hour, const QString& path, int minute, int second) {
  const long long limit = static_cast<long long>(hour) * 3600 + static_cast<long long>(minute) * 60 + second;
  QByteArray header;
  QByteArray entries;
  {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return ClampResult::NotAList;
    header = in.read(kHeaderSize);
    if (header.size() < kHeaderSize) return ClampResult::NotAList;
    const auto* h = reinterpret_cast<const unsigned char*>(header.constData());
    const quint32 count = quint32(h[4]) | quint32(h[5]) << 8 | quint32(h[6]) << 16 | quint32(h[7]) << 24;
    if (count - 1u > kMaxEntries - 1u) return ClampResult::NotAList;
    entries = in.read(qint64(count) * kEntrySize);
    if (entries.size() < qint64(count) * kEntrySize) return ClampResult::NotAList;
  }

  long long v = limit % 60 != 0 ? limit : limit - 1;
  if (v < 0) v = 0;
  if (v > 359999) v = 359999;
  char* data = entries.data();
  for (qsizetype at = 0; at + kEntrySize <= entries.size(); at += kEntrySize) {
    char* t = data + at + 6;
    bool digits = true;
    for (int i = 0; i < 6; ++i) digits = digits && IsDigit(t[i]);
    if (!digits) continue;  // not a time: leave it as the recorder wrote it
    const long long value = ((t[0] - '0') * 10 + (t[1] - '0')) * 3600LL + ((t[2] - '0') * 10 + (t[3] - '0')) * 60LL +
                            ((t[4] - '0') * 10 + (t[5] - '0'));
    if (value <= limit) continue;
    t[0] = char('0' + v / 36000);
    t[1] = char('0' + (v / 3600) % 10);
    t[2] = char('0' + ((v % 3600) / 60) / 10);
    t[3] = char('0' + ((v % 3600) / 60) % 10);
    t[4] = char('0' + (v % 60) / 10);
    t[5] = char('0' + (v % 60) % 10);
  }

  return platform::WriteFileDurably(path, header + entries, platform::FileAccess::Default) ? ClampResult::Clamped
                                                                                        : ClampResult::WriteFailed;
}

}  // namespace nvr
