#pragma once
// Initialisation files ("history.ini", "setting.ini") read and written with
// the rules the program's files were made under: "[section]" lines, then
// "key=value" lines; section and key names match without regard to case and
// surrounding blanks; a value loses its surrounding blanks and one pair of
// matching quotes when read; the first of two equal keys wins; a write
// changes that one line, or adds the key at the end of its section, or the
// section at the end of the file, and keeps every other line as it was.
// The text is UTF-8; the file's line ends (LF or CR LF) are kept.
#include <QString>
#include <QStringList>

#include "platform/core/durable_file.h"

namespace platform {

class IniFile {
 public:
  // False when the file cannot be read; the object is then empty.
  bool Load(const QString& path);
  // Writes the whole file durably: it is replaced whole or left exactly as it
  // was, and false means it was left (a full disk, a read-only mount, a
  // vanished folder). A writable file in a folder that takes no new names is
  // rewritten in place. `access` is the mode the written file gets.
  bool Save(const QString& path, FileAccess access = FileAccess::Default) const;

  // `fallback` when the section or the key is missing.
  QString Value(const QString& section, const QString& key, const QString& fallback = QString()) const;
  // Line breaks in the value are written as blanks: a value is one line.
  void SetValue(const QString& section, const QString& key, const QString& value);

 private:
  // Index of the section's header line, -1 when there is none.
  int FindSection(const QString& section) const;
  // Index of the key's line inside the section that starts after `header`, -1 when none.
  int FindKey(int header, const QString& key) const;

  QStringList lines_;
  bool crlf_ = false;
  bool bom_ = false;
};

// One value of a file, as the profile calls read it: `fallback` when the
// file, the section or the key is missing.
QString ReadProfileString(const QString& path, const QString& section, const QString& key,
                          const QString& fallback = QString());
// Writes one value; the file is created when missing, as the profile calls do
// (callers that must not create it check that it exists first).
// False when the write failed or the file exists but cannot be read.
bool WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value,
                        FileAccess access = FileAccess::Default);

}  // namespace platform
