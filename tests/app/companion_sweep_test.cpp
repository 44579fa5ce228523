// The companion copy into a backup folder and the exit sweep of temporary files.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/brisnel_dlg.h"
#include "app/companion_copy.h"
#include "app/temp_file_sweep.h"
#include "platform/core/files.h"
#include "tests/ui/qt_test_app.h"

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every path under the folder, relative, sorted ("d/" for folders).
QStringList Tree(const QString& root) {
  QStringList out;
  const QDir base(root);
  std::function<void(const QString&)> walk = [&](const QString& folder) {
    for (const QFileInfo& e : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                                         QDir::Name)) {
      const QString rel = base.relativeFilePath(e.filePath());
      if (e.isDir() && !e.isSymLink()) {
        out << rel + QLatin1Char('/');
        walk(e.filePath());
      } else {
        out << rel;
      }
    }
  };
  walk(root);
  return out;
}

}  // namespace

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

TEST(CompanionCopy, CopiesExactlyTheListedFilesAndFoldersAndSkipsWhatIsMissing) {
  QTemporaryDir src, dst;
  const QString s = src.path() + QLatin1Char('/');
  // Every other companion file is present; the others are missing.
  QStringList present;
  for (int i = 0; i < CompanionFileNames().size(); i += 2) {
    present << CompanionFileNames()[i];
    ASSERT_TRUE(Write(s + CompanionFileNames()[i], "new " + CompanionFileNames()[i].toUtf8()));
  }
  ASSERT_TRUE(Write(s + "server.db", "the store"));
  if (!present.contains(QStringLiteral("server.db"))) present << QStringLiteral("server.db");
  // What is not listed stays behind.
  for (const char* other : {"Tarnwell", "093005.txt", "2012_05_13_RecordList.db", "notes.txt", "tmp.bmp"})
    ASSERT_TRUE(Write(s + other, "not for the backup"));
  ASSERT_TRUE(Write(s + "images/Indicator.gif", "gif"));
  ASSERT_TRUE(Write(s + "images/x/y.bmp", "nested"));
  ASSERT_TRUE(Write(s + "images/x/z/.hidden", "hidden too"));
  ASSERT_EQ(::symlink(qPrintable(src.path() + "/images"), qPrintable(s + "images/x/loop")), 0);
  // An existing target is replaced; the destination is named with a trailing "/".
  ASSERT_FALSE(CompanionFileNames().isEmpty());
  ASSERT_TRUE(Write(dst.path() + "/" + CompanionFileNames()[0], "old"));

  CopyCompanionFiles(src.path(), dst.path() + QLatin1Char('/'));

  QStringList expected;
  for (const QString& name : present) expected << name;
  expected << QStringLiteral("images/") << QStringLiteral("images/Indicator.gif") << QStringLiteral("images/x/")
           << QStringLiteral("images/x/y.bmp") << QStringLiteral("images/x/z/") << QStringLiteral("images/x/z/.hidden")
           << QStringLiteral("lang/");
  expected.sort();
  QStringList got = Tree(dst.path());
  got.sort();
  EXPECT_EQ(got, expected);
  EXPECT_EQ(Read(dst.path() + "/" + CompanionFileNames()[0]), "new " + CompanionFileNames()[0].toUtf8());
  EXPECT_EQ(Read(dst.path() + "/images/x/y.bmp"), QByteArray("nested"));
  EXPECT_EQ(Read(dst.path() + "/server.db"), QByteArray("the store"));
}

TEST(CompanionCopy, OrderOfTheListAndTheSystemsOwnFiles) {
  const QStringList& names = CompanionFileNames();
  ASSERT_EQ(names.size(), 16);
  EXPECT_EQ(names[9], QStringLiteral("setting.ini"));
  EXPECT_EQ(names[10], QStringLiteral("history.ini"));
  EXPECT_EQ(names[12], QStringLiteral("server.db"));
  EXPECT_EQ(names[15], QStringLiteral("Vestrel"));
  // None of them is a name the exit sweep removes.
  for (const QString& n : names) EXPECT_FALSE(IsTempFileName(n)) << n.toStdString();
}

TEST(CompanionCopy, AFailedFileStopsItsTreeButNotTheNext) {
  QTemporaryDir src, dst;
  const QString s = src.path() + QLatin1Char('/');
  ASSERT_TRUE(Write(s + "images/a.bmp", "a"));
  // A link to nothing cannot be copied, whoever runs the test.
  ASSERT_EQ(::symlink(qPrintable(s + "gone.bmp"), qPrintable(s + "images/b.bmp")), 0);
  ASSERT_TRUE(Write(s + "images/c.bmp", "c"));
  ASSERT_TRUE(Write(s + "lang/en/strings.txt", "lang"));

  EXPECT_EQ(CopyFolder(s + "images", dst.path() + "/images-alone"), 0);
  EXPECT_EQ(CopyFolder(s + "no-such-folder", dst.path() + "/empty"), 1);
  EXPECT_TRUE(QFileInfo(dst.path() + "/empty").isDir());

  CopyCompanionFiles(src.path(), dst.path());
  EXPECT_TRUE(QFile::exists(dst.path() + "/images/a.bmp"));
  EXPECT_FALSE(QFile::exists(dst.path() + "/images/b.bmp"));
  for (const QString& left : QDir(dst.path() + "/images").entryList(QDir::Files | QDir::Hidden))
    EXPECT_FALSE(left.endsWith(".part")) << left.toStdString();
  EXPECT_FALSE(QFile::exists(dst.path() + "/images/c.bmp"));
  EXPECT_EQ(Read(dst.path() + "/lang/en/strings.txt"), QByteArray("lang"));
}

TEST(TempFileSweep, RemovesOnlyTheSystemsOwnTemporaryNames) {
  QTemporaryDir dir;
  const QString d = dir.path() + QLatin1Char('/');
  const QStringList removed = {"093005.txt", "000000.txt", "2012_05_13_RecordList.db", "093005.txt.part",
                               "2012_05_13_RecordList.db.part"};
  const QStringList kept = {"notes.txt.bak", "README.TXT", "readme.txt", "CMakeCache.txt", "93005.txt",
                            "0930055.txt", "093005.txt.bak", "x093005.txt", "2012_5_13_RecordList.db",
                            "RecordList.db", "2012_05_13_RecordList.db.old", "setting.ini", "server.db", ".093005.txt",
                            ".2012_05_13_RecordList.db"};
  for (const QString& name : removed + kept) ASSERT_TRUE(Write(d + name, "x"));
  ASSERT_TRUE(QDir().mkdir(d + "123456.txt"));  // a folder with the name of an answer file
  ASSERT_TRUE(Write(d + "sub/123456.txt", "x"));  // subfolders are not searched
  ASSERT_EQ(::symlink(qPrintable(d + "readme.txt"), qPrintable(d + "654321.txt")), 0);
  // A socket with a temporary name is no plain file.
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const QByteArray sockPath = QFile::encodeName(d + "111111.txt");
  ASSERT_LT(sockPath.size(), qsizetype(sizeof addr.sun_path));
  std::memcpy(addr.sun_path, sockPath.constData(), std::size_t(sockPath.size()));
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  SweepTempFiles(dir.path());

  for (const QString& name : removed) EXPECT_FALSE(QFileInfo::exists(d + name)) << name.toStdString();
  for (const QString& name : kept) EXPECT_TRUE(QFileInfo::exists(d + name)) << name.toStdString();
  EXPECT_TRUE(QFileInfo(d + "123456.txt").isDir());
  EXPECT_TRUE(QFileInfo::exists(d + "sub/123456.txt"));
  EXPECT_TRUE(QFileInfo(d + "654321.txt").isSymLink());
  EXPECT_TRUE(QFileInfo::exists(d + "111111.txt"));
  ::close(sock);
}

// The main window sweeps the program's folder when it goes (here the test
// program's own folder in place of the executable's).
TEST(TempFileSweep, TheMainWindowSweepsTheProgramsFolderWhenItGoes) {
  testing_ui::App();
  const QString bin = platform::ExecutableFolder();
  for (const char* name : {"123456.txt", "2012_05_13_RecordList.db", "history.ini.a1B2c3.part", "notes.txt.bak"})
    ASSERT_TRUE(Write(bin + name, "x"));
  { CBrisnelDlg window; }
  for (const char* name : {"123456.txt", "2012_05_13_RecordList.db", "history.ini.a1B2c3.part"})
    EXPECT_FALSE(QFileInfo::exists(bin + name)) << name;
  EXPECT_TRUE(QFileInfo::exists(bin + "notes.txt.bak"));
}

TEST(TempFileSweep, RemovesTheWritersTemporariesOfItsOwnFilesOnly) {
  struct Case {
    const char* name;
    bool removed;
  };
  // A temporary of a 250-byte recorder file keeps only 243 bytes of its name.
  static const std::string shortened = std::string(243, 'a') + ".a1B2c3.part";
  const Case cases[] = {
      // Temporaries of the ini writer and of downloads, in every form they take.
      {"history.ini.a1B2c3.part", true},
      {"setting.ini.ZZZZZZ.part", true},
      {"093005.txt.x9Y8z7.part", true},
      {"2012_05_13_RecordList.db.000000.part", true},
      {"093005.txt.part", true},
      {"2012_05_13_RecordList.db.part", true},
      // The files themselves, and names that only look alike.
      {"history.ini", false},
      {"setting.ini", false},
      {"server.db", false},
      {"history.ini.part", false},
      {"history.ini.a1B2c.part", false},
      {"history.ini.a1B2c3d.part", false},
      {"history.ini.a1-2c3.part", false},
      {"history.ini.a1B2c3.tmp", false},
      // A name of the operator's own that looks like one, such as a copy.
      {"history.ini.a1B2c3", false},
      {"history.ini.backup", false},
      {"xhistory.ini.a1B2c3.part", false},
      {"History.ini.a1B2c3.part", false},
      {"server.db.a1B2c3.part", false},
      {"vestrel.sdb.a1B2c3.part", false},
      {"x.avi.a1B2c3.part", false},
      {"93005.txt.a1B2c3.part", false},
      {"093005.txt.bak.a1B2c3.part", false},
      {"2012_5_13_RecordList.db.a1B2c3.part", false},
      {"093005.txt.a1B2c3.part.part", false},
      {".history.ini.a1B2c3.part", false},
      // The shortened form a temporary takes for a name near the length
      // limit: the sweep's own names are far too short to need it.
      {"history.in.a1B2c3.part", false},
      {"setting.i.a1B2c3.part", false},
      {"093005.tx.a1B2c3.part", false},
      {"2012_05_13_RecordList.a1B2c3.part", false},
      {shortened.c_str(), false},
  };
  QTemporaryDir dir;
  const QString d = dir.path() + QLatin1Char('/');
  for (const Case& c : cases) ASSERT_TRUE(Write(d + c.name, "x"));
  ASSERT_TRUE(QDir().mkdir(d + "setting.ini.abcdef.part"));  // a folder is never swept

  SweepTempFiles(dir.path());

  for (const Case& c : cases) {
    EXPECT_EQ(IsTempFileName(QString::fromLatin1(c.name)), c.removed) << c.name;
    EXPECT_EQ(QFileInfo::exists(d + c.name), !c.removed) << c.name;
  }
  EXPECT_TRUE(QFileInfo(d + "setting.ini.abcdef.part").isDir());
}
