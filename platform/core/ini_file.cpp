#include "platform/core/ini_file.h"

#include <QFile>

#include "platform/core/durable_file.h"

namespace platform {
namespace {

// The name of a "[section]" line, or a null string for any other line.
QString SectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith(QLatin1Char('['))) return QString();
  const qsizetype close = t.indexOf(QLatin1Char(']'));
  const QString name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
  return name.isNull() ? QStringLiteral("") : name;
}

bool IsSection(const QString& line) { return !SectionName(line).isNull(); }

// Key and raw value of a "key=value" line; false for a line without "=".
bool SplitKeyLine(const QString& line, QString* key, QString* value) {
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  if (eq < 0) return false;
  *key = line.left(eq).trimmed();
  *value = line.mid(eq + 1);
  return true;
}

QString CleanValue(const QString& raw) {
  QString v = raw.trimmed();
  if (v.size() >= 2) {
    const QChar first = v.front();
    if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && v.back() == first) v = v.mid(1, v.size() - 2);
  }
  return v;
}

bool SameName(const QString& a, const QString& b) { return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0; }

}  // namespace

bool IniFile::Load(const QString& path) {
  lines_.clear();
  crlf_ = false;
  bom_ = false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QByteArray bytes = file.readAll();
  // A read cut short by an error would be written back cut.
  if (file.error() != QFileDevice::NoError) return false;
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    bom_ = true;
    bytes.remove(0, 3);
  }
  crlf_ = bytes.contains("\r\n");
  const QString text = QString::fromUtf8(bytes);
  if (text.isEmpty()) return true;
  lines_ = text.split(QLatin1Char('\n'));
  for (QString& line : lines_)
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
  // A last line end gives one empty element more than there are lines.
  if (text.endsWith(QLatin1Char('\n'))) lines_.removeLast();
  return true;
}

bool IniFile::Save(const QString& path, FileAccess access) const {
  const QString eol = crlf_ ? QStringLiteral("\r\n") : QStringLiteral("\n");
  QByteArray bytes;
  if (bom_) bytes += "\xEF\xBB\xBF";
  for (const QString& line : lines_) bytes += (line + eol).toUtf8();
  return WriteFileDurably(path, bytes, access);
}

int IniFile::FindSection(const QString& section) const {
  for (int i = 0; i < lines_.size(); ++i) {
    const QString name = SectionName(lines_[i]);
    if (!name.isNull() && SameName(name, section)) return i;
  }
  return -1;
}

int IniFile::FindKey(int header, const QString& key) const {
  for (int i = header + 1; i < lines_.size() && !IsSection(lines_[i]); ++i) {
    QString k, v;
    if (SplitKeyLine(lines_[i], &k, &v) && SameName(k, key)) return i;
  }
  return -1;
}

QString IniFile::Value(const QString& section, const QString& key, const QString& fallback) const {
  const int header = FindSection(section);
  if (header < 0) return fallback;
  const int line = FindKey(header, key);
  if (line < 0) return fallback;
  QString k, v;
  SplitKeyLine(lines_[line], &k, &v);
  return CleanValue(v);
}

void IniFile::SetValue(const QString& section, const QString& key, const QString& value) {
  QString oneLine = value;
  oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
  oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '));
  oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
  const QString entry = key.trimmed() + QLatin1Char('=') + oneLine;

  int header = FindSection(section);
  if (header < 0) {
    lines_.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
    lines_.append(entry);
    return;
  }
  const int line = FindKey(header, key);
  if (line >= 0) {
    lines_[line] = entry;
    return;
  }
  // After the section's last line that is not blank.
  int last = header;
  for (int i = header + 1; i < lines_.size() && !IsSection(lines_[i]); ++i)
    if (!lines_[i].trimmed().isEmpty()) last = i;
  lines_.insert(last + 1, entry);
}

QString ReadProfileString(const QString& path, const QString& section, const QString& key, const QString& fallback) {
  IniFile ini;
  if (!ini.Load(path)) return fallback;
  return ini.Value(section, key, fallback);
}

bool WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value,
                        FileAccess access) {
  IniFile ini;
  // A missing file starts empty; one that exists but cannot be read must not
  // be replaced by the one key.
  if (!ini.Load(path) && QFile::exists(path)) return false;
  ini.SetValue(section, key, value);
  return ini.Save(path, access);
}

}  // namespace platform
