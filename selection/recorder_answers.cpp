#include "selection/recorder_answers.h"

#include <cstring>

#include "nvr/decimal.h"
#include "platform/core/latin1.h"

namespace selection {

QString RecordDatesPath(int year, int month) {
  return QStringLiteral("/play/recdate?recyear=%1&recmonth=%2").arg(year).arg(month);
}

QString RecordListPath(int playId, int start, int year, int month, int day) {
  return QStringLiteral("/play/reclist?id=%1&start=%2&recyear=%3&recmonth=%4&recday=%5")
      .arg(playId)
      .arg(start)
      .arg(year)
      .arg(month)
      .arg(day);
}

int SplitByChar(QStringList* pieces, const QString& text, QChar separator) {
  pieces->clear();
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = text.indexOf(separator, from);
    if (at < 0) break;
    pieces->append(text.mid(from, at - from));
    from = at + 1;
  }
  pieces->append(text.mid(from));
  return static_cast<int>(pieces->size());
}

bool IsDateAnswer(const char* answer, int size) {
  return answer != nullptr && size >= 4 && std::memcmp(answer, "date", 4) == 0;
}

int ParsePlayPrivilege(const QString& answer) {
  const qsizetype at = answer.indexOf(QLatin1String("playprivilege"));
  if (at < 0) return kDefaultPlayPrivilege;
  const QString rest = answer.mid(at + 1);
  const qsizetype lineEnd = rest.indexOf(QLatin1Char('\n'));
  if (lineEnd < 0) return kDefaultPlayPrivilege;
  const QString line = rest.left(lineEnd);
  const qsizetype equals = line.indexOf(QLatin1Char('='));
  if (equals < 0) return kDefaultPlayPrivilege;
  return nvr::ReadDecimal32(QStringView(line).mid(equals + 1));
}

std::vector<int> ParseRecordDays(const QString& answer, int daysInMonth) {
  QStringList lines;
  const int count = SplitByChar(&lines, answer, QLatin1Char('\n'));
  std::vector<int> days;
  // The last piece is not followed by a line feed, so it is not a whole line.
  for (int i = 0; i + 1 < count; ++i) {
    const QString& line = lines[i];
    const int day = nvr::ReadDecimal32(QStringView(line).mid(line.lastIndexOf(QLatin1Char(',')) + 1));
    if (day >= 1 && day <= daysInMonth) days.push_back(day);
  }
  return days;
}

QString ChannelCaption(int channel, const QString& name) {
  QString caption = QStringLiteral("CH%1 %2").arg(channel, 2, 10, QLatin1Char('0')).arg(name);
  if (caption.size() > 14) {
    // A character of two units is kept whole or left out, never cut in half.
    qsizetype keep = 13;
    if (caption[keep - 1].isHighSurrogate()) --keep;
    caption = caption.left(keep) + QStringLiteral("...");
  }
  return caption;
}

namespace {

// The name's bytes decoded as UTF-8, at most kMaxNameChars units, never
// ending inside a surrogate pair.
QString DecodeName(const QString& field) {
  QString name = QString::fromUtf8(platform::TextToBytes(field));
  if (name.size() > kMaxNameChars) {
    qsizetype keep = kMaxNameChars;
    if (name[keep - 1].isHighSurrogate()) --keep;
    name.truncate(keep);
  }
  return name;
}

// The text after `marker` up to the next ";", and the rest after that ";".
bool FieldAfter(const QString& text, QLatin1String marker, QString* field, QString* rest) {
  const qsizetype at = text.indexOf(marker);
  if (at < 0) return false;
  const QString after = text.mid(at + marker.size());
  const qsizetype end = after.indexOf(QLatin1Char(';'));
  if (end < 0) return false;
  *field = after.left(end);
  *rest = after.mid(end + 1);
  return true;
}

// hhmmss: the first two characters, the two before the last two, the last two.
bool SecondOfDay(const QString& field, int* second) {
  if (field.size() < 6) return false;
  const QStringView f(field);
  const int hour = nvr::ReadDecimal32(f.left(2));
  const int minute = nvr::ReadDecimal32(f.mid(f.size() - 4, 2));
  const int sec = nvr::ReadDecimal32(f.right(2));
  if (hour < 0 || minute < 0 || sec < 0) return false;
  *second = hour * 3600 + minute * 60 + sec;
  return true;
}

}  // namespace

bool ParseChannelNames(const QString& answer, std::array<QString, kChannels>* names) {
  for (QString& n : *names) n.clear();
  QStringList lines;
  const int count = SplitByChar(&lines, answer, QLatin1Char('\n'));
  const qsizetype equals = lines[0].indexOf(QLatin1Char('='));
  if (equals < 1) return false;
  const int channels = nvr::ReadDecimal32(QStringView(lines[0]).mid(equals + 1));
  // Only 16 channels have a caption; lines that are not there count as
  // malformed lines.
  const int shown = channels < kChannels ? channels : kChannels;
  for (int i = 1; i <= shown; ++i) {
    if (i >= count) return false;
    const QString& line = lines[i];
    const qsizetype first = line.indexOf(QLatin1Char(';'));
    if (first < 0) return false;
    const qsizetype second = line.indexOf(QLatin1Char(';'), first + 1);
    if (second < 0) return false;
    (*names)[i - 1] = ChannelCaption(i, DecodeName(line.mid(first + 1, second - first - 1)));
  }
  return true;
}

void ParseRecordLine(const QString& line, int privilege, std::vector<RecordItem>* items) {
  QString startField, endField, rest;
  if (!FieldAfter(line, QLatin1String("t1="), &startField, &rest)) return;
  if (!FieldAfter(rest, QLatin1String("t2="), &endField, &rest)) return;
  const qsizetype typeAt = rest.indexOf(QLatin1String("type="));
  if (typeAt < 0) return;
  int start = 0, end = 0;
  if (!SecondOfDay(startField, &start) || !SecondOfDay(endField, &end)) return;

  QStringView list = QStringView(rest).mid(typeAt + 5);
  for (int channel = kChannels; channel >= 1; --channel) {
    if ((privilege & (1 << (channel - 1))) == 0) continue;
    int value = 0;
    if (channel >= 2) {
      const qsizetype comma = list.indexOf(QLatin1Char(','));
      if (comma < 0) return;
      value = nvr::ReadDecimal32(list.left(comma));
      list = list.mid(comma + 1);
    } else {
      value = nvr::ReadDecimal32(list);
    }
    if (value < 0) return;
    if (value > 0) items->push_back({channel, start, end, value});
  }
}

int ParseRecordPage(const QString& answer, int privilege, std::vector<RecordItem>* items) {
  QStringList lines;
  const int count = SplitByChar(&lines, answer, QLatin1Char('\n'));
  const qsizetype equals = lines[0].indexOf(QLatin1Char('='));
  const int total = nvr::ReadDecimal32(QStringView(lines[0]).mid(equals + 1));
  if (total == 0) return 0;
  // A page cut before its line 2 holds no records.
  if (count < 3 || !lines[2].startsWith(QLatin1Char('t'))) return total;
  for (int i = 2; i < count; ++i) ParseRecordLine(lines[i], privilege, items);
  return total;
}

}  // namespace selection
