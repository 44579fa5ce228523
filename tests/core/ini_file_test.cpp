// The ini reader and writer: lookups by the profile rules, and writes that
// change only their own line.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/core/ini_file.h"

using platform::IniFile;

namespace {

QString WriteFile(const QTemporaryDir& dir, const QByteArray& bytes) {
  const QString path = dir.filePath(QStringLiteral("test.ini"));
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  return path;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(IniFile, LooksValuesUpByTheProfileRules) {
  QTemporaryDir dir;
  const QString path = WriteFile(dir,
                                 "[other]\n"
                                 "history1=not this one\n"
                                 " [ History ] \n"
                                 "HISTORY1 =  A,h,81,u,p;  \n"
                                 "history1=the second is never seen\n"
                                 "quoted=\"  kept inside  \"\n"
                                 "half=\"only one quote\n"
                                 "empty=\n"
                                 "no equals sign here\n"
                                 "eq=a=b\n"
                                 "utf8=\xE5\xA4\xA7\xE5\xBB\xB3\n"
                                 "[next]\n"
                                 "late=1\n");
  struct Case {
    const char* section;
    const char* key;
    QString want;
  };
  const QString fallback = QStringLiteral("(none)");
  const std::vector<Case> cases = {
      {"history", "history1", "A,h,81,u,p;"},
      {"history", "quoted", "  kept inside  "},
      {"history", "half", "\"only one quote"},
      {"history", "empty", ""},
      {"history", "eq", "a=b"},
      {"history", "utf8", QString::fromUtf8("\xE5\xA4\xA7\xE5\xBB\xB3")},
      {"history", "late", fallback},  // belongs to the next section
      {"history", "missing", fallback},
      {"nosuch", "history1", fallback},
      {"other", "history1", "not this one"},
      {"next", "late", "1"},
  };
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(ini.Value(c.section, c.key, fallback), c.want);
    EXPECT_EQ(platform::ReadProfileString(path, c.section, c.key, fallback), c.want);
  }
  EXPECT_EQ(platform::ReadProfileString(dir.filePath("missing.ini"), "history", "history1", fallback), fallback);
  EXPECT_FALSE(ini.Load(dir.filePath("missing.ini")));
  EXPECT_EQ(ini.Value("history", "history1", fallback), fallback);
}

TEST(IniFile, WritesChangeOnlyTheirOwnLine) {
  struct Case {
    const char* name;
    QByteArray before;
    const char* section;
    const char* key;
    QString value;
    QByteArray after;
  };
  const std::vector<Case> cases = {
      {"replaces the key in place", "; note\n[history]\nHistory2=old\nx=1\n[setting]\nbackuplocation=/b\n", "history",
       "history2", "new", "; note\n[history]\nhistory2=new\nx=1\n[setting]\nbackuplocation=/b\n"},
      {"adds a key after the section's last line", "[history]\nx=1\n\n[setting]\ny=2\n", "history", "history3", "v",
       "[history]\nx=1\nhistory3=v\n\n[setting]\ny=2\n"},
      {"adds the section at the end", "[setting]\ny=2", "history", "history1", "v",
       "[setting]\ny=2\n[history]\nhistory1=v\n"},
      {"writes an empty value", "[history]\nhistory1=old\n", "history", "history1", "", "[history]\nhistory1=\n"},
      {"keeps CR LF line ends", "[history]\r\nhistory1=old\r\n", "history", "history1", "new",
       "[history]\r\nhistory1=new\r\n"},
      {"a line break cannot start another key", "[history]\n", "history", "history1", "a\r\nhistory2=b\nc",
       "[history]\nhistory1=a history2=b c\n"},
      {"an empty file gets the section", "", "history", "history1", "v", "[history]\nhistory1=v\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = WriteFile(dir, c.before);
    ASSERT_TRUE(platform::WriteProfileString(path, c.section, c.key, c.value));
    EXPECT_EQ(ReadFile(path), c.after);
  }
}

TEST(IniFile, ValuesRoundTripAndAFailedSaveKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString path = WriteFile(dir, "\xEF\xBB\xBF[history]\nhistory1=old\n");
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.Value("history", "history1"), "old");  // the byte-order mark is no part of the first line
  const QString values[] = {"Lobby,127.0.0.1,8080,admin,a;b,c;", QString::fromUtf8("\xE5\xA4\xA7\xE5\xBB\xB3,h,1,u,p;"),
                            "x=y"};
  int n = 1;
  for (const QString& v : values) ini.SetValue("history", QStringLiteral("history%1").arg(n++), v);
  ASSERT_TRUE(ini.Save(path));
  EXPECT_TRUE(ReadFile(path).startsWith("\xEF\xBB\xBF[history]\n"));
  IniFile again;
  ASSERT_TRUE(again.Load(path));
  n = 1;
  for (const QString& v : values) EXPECT_EQ(again.Value("history", QStringLiteral("history%1").arg(n++)), v);

  // A folder that cannot be written: the save fails and the file is unchanged.
  const QByteArray before = ReadFile(path);
  ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
  if (!QFile(dir.filePath("probe")).open(QIODevice::WriteOnly)) {  // not root
    again.SetValue("history", "history1", "lost?");
    EXPECT_FALSE(again.Save(path));
    EXPECT_EQ(ReadFile(path), before);
  }
  QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
