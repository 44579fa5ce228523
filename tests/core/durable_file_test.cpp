// Durable writes against real faults: a full tmpfs, a read-only folder and a
// folder removed mid-write each leave the old file exactly as it was and
// report failure.
#include "platform/core/durable_file.h"
#include "platform/core/ini_file.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <optional>

#include <sys/mount.h>
#include <sys/stat.h>

using platform::FileAccess;
using test_support::SmallDisk;
using test_support::FileNames;
using test_support::ModeOf;
using test_support::ReadBytes;

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Gives the temporaries' names the letters a test chose, one list entry per
// candidate, the last one again and again; the random source comes back when
// it goes.
class ChosenTemporaryNames {
 public:
  explicit ChosenTemporaryNames(std::vector<QByteArray> names) {
    names_ = std::move(names);
    next_ = 0;
    previous_ = platform::SetTemporaryNameSourceForTests(&Next);
  }
  ~ChosenTemporaryNames() { platform::SetTemporaryNameSourceForTests(previous_); }
  ChosenTemporaryNames(const ChosenTemporaryNames&) = delete;
  ChosenTemporaryNames& operator=(const ChosenTemporaryNames&) = delete;

 private:
  static QByteArray Next() { return names_[std::min(next_++, names_.size() - 1)]; }
  static inline std::vector<QByteArray> names_;
  static inline std::size_t next_ = 0;
  platform::TemporaryNameSource previous_;
};

// A name of `bytes` bytes in UTF-8: "a", then as many "€" (three bytes) as
// fit, then "a"s for the rest, so that byte 243 lies inside a "€" whenever
// the name is longer.
QString EuroName(int bytes) {
  return "a" + QString((bytes - 1) / 3, QChar(0x20AC)) + QString((bytes - 1) % 3, 'a');
}
QString AsciiName(int bytes) { return QString(bytes - 4, 'a') + ".ini"; }

qsizetype Utf8Size(const QString& text) { return QFile::encodeName(text).size(); }

// Sets the process's umask while it lives.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(previous_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t previous_;
};

const QByteArray kOld = QByteArray(3000, 'o');
const QByteArray kLonger = QByteArray(9000, 'n');
const QByteArray kShorter = QByteArray(100, 's');

}  // namespace

TEST(DurableFile, FullDiskLeavesTheOldFileAndNoTemporary) {
  auto disk = test_support::MountSmallDiskOrSay(256 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString folder = QString::fromStdString(disk->Path());
  const QString target = folder + "/history.ini";
  ASSERT_TRUE(test_support::WriteBytes(target, kOld));
  const QString source = folder + "/source";
  ASSERT_TRUE(test_support::WriteBytes(source, kLonger));
  ASSERT_TRUE(disk->Fill(0));

  EXPECT_FALSE(platform::WriteFileDurably(target, kLonger, FileAccess::OwnerOnly));
  EXPECT_FALSE(platform::CopyFileDurably(source, target, FileAccess::Default));
  EXPECT_EQ(ReadBytes(target), kOld);
  EXPECT_EQ(FileNames(folder), QStringList({".ballast", "history.ini", "source"}));

  disk->Unfill();
  EXPECT_TRUE(platform::WriteFileDurably(target, kLonger, FileAccess::OwnerOnly));
  EXPECT_EQ(ReadBytes(target), kLonger);
}

TEST(DurableFile, ReadOnlyFolderRewritesAWritableFileInPlace) {
  auto disk = test_support::MountSmallDiskOrSay(256 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString folder = QString::fromStdString(disk->Path()) + "/locked";
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString target = folder + "/setting.ini";
  ASSERT_TRUE(test_support::WriteBytes(target, kOld));
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);

  struct Case {
    const char* name;
    QByteArray data;
    bool fillDisk;
    bool ok;
  };
  const Case cases[] = {
      {"longer", kLonger, false, true},
      {"shorter", kShorter, false, true},
      {"back to the old", kOld, false, true},
      {"longer on a full disk", kLonger, true, false},
      {"shorter on a full disk", kShorter, true, true},
  };
  QByteArray expected = kOld;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.fillDisk) {
      ASSERT_TRUE(disk->Fill(0));
    }
    {
      test_support::WithoutFileOverride asAUser;
      EXPECT_EQ(platform::WriteFileDurably(target, c.data, FileAccess::Default), c.ok);
      EXPECT_FALSE(platform::WriteFileDurably(folder + "/missing.ini", c.data, FileAccess::Default));
    }
    if (c.ok) expected = c.data;
    EXPECT_EQ(ReadBytes(target), expected);
    EXPECT_EQ(FileNames(folder), QStringList({"setting.ini"}));
    disk->Unfill();
  }
}

// Only a folder that refuses new names lets the file be rewritten in place:
// any other failure to make the temporary fails the write and leaves the file.
TEST(DurableFile, NoTemporaryInAWritableFolderFailsAndLeavesTheFile) {
  auto disk = test_support::MountSmallDiskOrSay(256 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  // A disk with room for bytes but none for another file: its root folder
  // and the target take its two inodes.
  const QString noInodes = QString::fromStdString(disk->Path()) + "/no-inodes";
  ASSERT_TRUE(QDir().mkpath(noInodes));
  ASSERT_EQ(::mount("tarnwell-test", QFile::encodeName(noInodes).constData(), "tmpfs", 0, "size=262144,nr_inodes=2"),
            0);
  QTemporaryDir elsewhere;
  struct Case {
    const char* name;
    QString folder;
    std::vector<QByteArray> temporaryNames;  // empty: random
    int error;
  };
  const Case cases[] = {
      {"no inode left", noInodes, {}, ENOSPC},
      {"every temporary name taken", elsewhere.path(), {"AAAAAA"}, EEXIST},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString target = c.folder + "/setting.ini";
    ASSERT_TRUE(test_support::WriteBytes(target, kOld));
    if (!c.temporaryNames.empty()) {
      ASSERT_TRUE(test_support::WriteBytes(c.folder + "/setting.ini." + c.temporaryNames[0] + ".part", "taken"));
    }
    const QStringList before = FileNames(c.folder);
    std::optional<ChosenTemporaryNames> names;
    if (!c.temporaryNames.empty()) names.emplace(c.temporaryNames);
    platform::TemporaryFile temp;
    EXPECT_FALSE(temp.Create(target, FileAccess::Default));
    EXPECT_EQ(temp.Error(), c.error);
    for (const QByteArray& data : {kShorter, kLonger}) {
      EXPECT_FALSE(platform::WriteFileDurably(target, data, FileAccess::Default));
      EXPECT_EQ(ReadBytes(target), kOld);
      EXPECT_EQ(FileNames(c.folder), before);
    }
  }
  ::umount2(QFile::encodeName(noInodes).constData(), MNT_DETACH);
}

TEST(DurableFile, ReadOnlyMountFailsAndChangesNothing) {
  auto disk = test_support::MountSmallDiskOrSay(64 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString target = QString::fromStdString(disk->Path()) + "/history.ini";
  ASSERT_TRUE(test_support::WriteBytes(target, kOld));
  ASSERT_TRUE(disk->SetReadOnly(true));
  EXPECT_FALSE(platform::WriteFileDurably(target, kShorter, FileAccess::OwnerOnly));
  EXPECT_EQ(ReadBytes(target), kOld);
  ASSERT_TRUE(disk->SetReadOnly(false));
}

TEST(DurableFile, FolderRemovedMidWriteIsAFailure) {
  QTemporaryDir dir;
  const QString folder = dir.path() + "/gone";
  ASSERT_TRUE(QDir().mkpath(folder));
  platform::TemporaryFile temp;
  ASSERT_TRUE(temp.Create(folder + "/x.avi", FileAccess::Default));
  ASSERT_TRUE(temp.Write("abc", 3));
  ASSERT_TRUE(QDir(folder).removeRecursively());
  EXPECT_FALSE(temp.Commit());
  EXPECT_FALSE(QFile::exists(folder + "/x.avi"));
}

TEST(DurableFile, PasswordFilesAreOwnerOnlyAndOthersFollowTheUmask) {
  QTemporaryDir dir;
  const mode_t old = ::umask(022);
  const QString secret = dir.path() + "/history.ini";
  const QString plain = dir.path() + "/setting.ini";
  ASSERT_TRUE(test_support::WriteBytes(secret, kOld));
  ::chmod(QFile::encodeName(secret).constData(), 0644);
  EXPECT_TRUE(platform::WriteFileDurably(secret, kShorter, FileAccess::OwnerOnly));
  EXPECT_TRUE(platform::WriteFileDurably(plain, kShorter, FileAccess::Default));
  ::umask(old);
  EXPECT_EQ(ModeOf(secret), 0600);
  EXPECT_EQ(ModeOf(plain), 0644);
}

// A rewrite keeps the mode the file had, a password file is owner-only
// whatever it had, and a new file follows the umask. A copy takes the
// source's execute bits, for the classes that may read the file.
TEST(DurableFile, ARewriteKeepsTheModeAndPasswordFilesStayOwnerOnly) {
  QTemporaryDir dir;
  const QString data = dir.path() + "/data";
  const QString program = dir.path() + "/program";
  ASSERT_TRUE(test_support::WriteBytes(data, kLonger, 0644));
  ASSERT_TRUE(test_support::WriteBytes(program, kLonger, 0755));
  constexpr int kNew = -1;
  struct Case {
    int old;  // kNew: no file yet
    FileAccess access;
    mode_t umask;
    int written;       // by WriteFileDurably
    int copied;        // by CopyFileDurably from `data`
    int copiedProgram; // by CopyFileDurably from `program`
  };
  const Case cases[] = {
      {kNew, FileAccess::Default, 022, 0644, 0644, 0755},   {kNew, FileAccess::Default, 077, 0600, 0600, 0700},
      {kNew, FileAccess::OwnerOnly, 022, 0600, 0600, 0600}, {0600, FileAccess::Default, 022, 0600, 0600, 0700},
      {0640, FileAccess::Default, 022, 0640, 0640, 0750},   {0644, FileAccess::Default, 022, 0644, 0644, 0755},
      {0664, FileAccess::Default, 022, 0664, 0664, 0775},   {0664, FileAccess::Default, 077, 0664, 0664, 0775},
      {0755, FileAccess::Default, 022, 0755, 0644, 0755},   {0600, FileAccess::OwnerOnly, 022, 0600, 0600, 0600},
      {0640, FileAccess::OwnerOnly, 022, 0600, 0600, 0600}, {0644, FileAccess::OwnerOnly, 022, 0600, 0600, 0600},
      {0664, FileAccess::OwnerOnly, 022, 0600, 0600, 0600},
  };
  const QString target = dir.path() + "/setting.ini";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "old " << std::oct << c.old << ", umask " << c.umask
                                    << (c.access == FileAccess::OwnerOnly ? ", owner-only" : ""));
    const auto prepare = [&] {
      QFile::remove(target);
      return c.old == kNew || test_support::WriteBytes(target, kOld, c.old);
    };
    const ScopedUmask umask(c.umask);
    ASSERT_TRUE(prepare());
    EXPECT_TRUE(platform::WriteFileDurably(target, kShorter, c.access));
    const int written = ModeOf(target);
    ASSERT_TRUE(prepare());
    EXPECT_TRUE(platform::CopyFileDurably(data, target, c.access));
    const int copied = ModeOf(target);
    ASSERT_TRUE(prepare());
    EXPECT_TRUE(platform::CopyFileDurably(program, target, c.access));
    const int copiedProgram = ModeOf(target);
    EXPECT_EQ(written, c.written) << std::oct << written;
    EXPECT_EQ(copied, c.copied) << std::oct << copied;
    EXPECT_EQ(copiedProgram, c.copiedProgram) << std::oct << copiedProgram;
  }
}

TEST(DurableFile, TemporariesNeverReplaceAnExistingFile) {
  QTemporaryDir dir;
  const QString target = dir.path() + "/x.avi";
  // A second temporary of a target whose first is still open takes a name of
  // its own, and the bare ".part" name (a recorder file may have it) is never
  // a temporary's: that neighbour keeps its bytes.
  platform::TemporaryFile temp;
  ASSERT_TRUE(temp.Create(target, FileAccess::Default));
  const QString first = temp.Path();
  ASSERT_TRUE(test_support::WriteBytes(dir.path() + "/x.avi.part", "neighbour"));
  platform::TemporaryFile second;
  ASSERT_TRUE(second.Create(target, FileAccess::Default));
  EXPECT_NE(second.Path(), first);
  EXPECT_NE(second.Path(), dir.path() + "/x.avi.part");
  EXPECT_EQ(ReadBytes(dir.path() + "/x.avi.part"), "neighbour");
}

// A file of the operator's that has the very name the temporary picks is never
// opened for writing: the temporary is made exclusively and takes the next name.
TEST(DurableFile, ATemporaryNameThatExistsIsLeftAndTheNextIsTaken) {
  QTemporaryDir dir;
  const QString target = dir.path() + "/setting.ini";
  const QString operators = dir.path() + "/setting.ini.AAAAAA.part";
  ASSERT_TRUE(test_support::WriteBytes(target, kOld));
  ASSERT_TRUE(test_support::WriteBytes(operators, "the operator's own"));
  {
    ChosenTemporaryNames names({"AAAAAA", "BBBBBB"});
    EXPECT_TRUE(platform::WriteFileDurably(target, kShorter, FileAccess::Default));
  }
  EXPECT_EQ(ReadBytes(target), kShorter);
  EXPECT_EQ(ReadBytes(operators), "the operator's own");
  EXPECT_EQ(FileNames(dir.path()), QStringList({"setting.ini", "setting.ini.AAAAAA.part"}));

  // Every name it tries exists: no temporary, and it says why.
  ChosenTemporaryNames names({"AAAAAA"});
  platform::TemporaryFile temp;
  EXPECT_FALSE(temp.Create(target, FileAccess::Default));
  EXPECT_EQ(temp.Error(), EEXIST);
  EXPECT_EQ(ReadBytes(operators), "the operator's own");
  EXPECT_EQ(ReadBytes(target), kShorter);
}

// Every name the filesystem takes (255 bytes here) can be written: a temporary
// too long for it keeps less of the target's name, cut between characters. A
// longer name fails before anything is made, and says why.
TEST(DurableFile, EveryNameThatFitsCanBeWrittenAndNoLongerOne) {
  QTemporaryDir dir;
  ASSERT_EQ(::pathconf(QFile::encodeName(dir.path()).constData(), _PC_NAME_MAX), 255);
  struct Case {
    const char* name;
    QString file;
    qsizetype temporaryBytes;  // 0: none can be made
  };
  const Case cases[] = {
      {"ASCII, 243 bytes", AsciiName(243), 255}, {"ASCII, 244 bytes", AsciiName(244), 255},
      {"ASCII, 250 bytes", AsciiName(250), 255}, {"ASCII, 255 bytes", AsciiName(255), 255},
      {"ASCII, 256 bytes", AsciiName(256), 0},
      // Byte 243 lies inside a three-byte character: the cut moves before it, to 241.
      {"UTF-8, 243 bytes", EuroName(243), 255},   {"UTF-8, 244 bytes", EuroName(244), 253},
      {"UTF-8, 250 bytes", EuroName(250), 253},   {"UTF-8, 255 bytes", EuroName(255), 253},
      {"UTF-8, 256 bytes", EuroName(256), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString target = dir.path() + "/" + c.file;
    {
      platform::TemporaryFile temp;
      const bool made = temp.Create(target, FileAccess::Default);
      ASSERT_EQ(made, c.temporaryBytes > 0);
      if (made) {
        const QString name = temp.Path().section('/', -1);
        EXPECT_EQ(Utf8Size(name), c.temporaryBytes);
        // The name on the disk is the one the temporary reports, whole characters only.
        EXPECT_EQ(FileNames(dir.path()), QStringList{name});
        EXPECT_TRUE(platform::IsTemporaryNameOf(name, c.file));
      } else {
        EXPECT_EQ(temp.Error(), ENAMETOOLONG);
      }
    }
    const bool fits = c.temporaryBytes > 0;
    EXPECT_EQ(platform::WriteFileDurably(target, kOld, FileAccess::Default), fits);
    EXPECT_EQ(ReadBytes(target), fits ? kOld : QByteArray("<missing>"));
    platform::IniFile ini;
    ini.SetValue("setting", "key", "value");
    EXPECT_EQ(ini.Save(target, FileAccess::OwnerOnly), fits);
    EXPECT_EQ(platform::ReadProfileString(target, "setting", "key"), fits ? "value" : "");
    EXPECT_EQ(FileNames(dir.path()), fits ? QStringList{c.file} : QStringList{});
    QFile::remove(target);
  }
}

TEST(DurableFile, TemporaryNames) {
  struct Case {
    const char* file;
    bool isTemporary;
  };
  const Case cases[] = {
      {"history.ini.a1B2c3.part", true}, {"history.ini.part", false},   {"history.ini.a1B2c.part", false},
      {"history.ini.a1B2c3d.part", false}, {"history.ini.a1-2c3.part", false}, {"history.ini.a1B2c3.tmp", false},
      {"xhistory.ini.a1B2c3.part", false}, {"history.inia1B2c34.part", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::IsTemporaryNameOf(QString::fromLatin1(c.file), "history.ini"), c.isTemporary) << c.file;

  // Long names: only the one shortened form, and only where the whole name
  // does not fit the folder's limit.
  const QString ascii = AsciiName(250);
  const QString euro = EuroName(250);  // "a", 83 "€": whole characters end at byte 241
  struct LongCase {
    const char* name;
    QString file;
    QString base;
    int limit;
    bool isTemporary;
  };
  const LongCase longCases[] = {
      {"243 bytes kept", ascii.left(243) + ".a1B2c3.part", ascii, 255, true},
      {"242 bytes kept", ascii.left(242) + ".a1B2c3.part", ascii, 255, false},
      {"the whole name", ascii + ".a1B2c3.part", ascii, 255, false},
      {"kept for a limit of 143", AsciiName(140).left(131) + ".a1B2c3.part", AsciiName(140), 143, true},
      {"kept for 143, read for 255", AsciiName(140).left(131) + ".a1B2c3.part", AsciiName(140), 255, false},
      {"letters not six", ascii.left(244) + ".a1B2c.part", ascii, 255, false},
      {"whole characters", euro.left(81) + ".a1B2c3.part", euro, 255, true},
      {"a character short", euro.left(80) + ".a1B2c3.part", euro, 255, false},
      {"a name that fits whole", QString("history.in.a1B2c3.part"), QString("history.ini"), 255, false},
      {"a base that cannot exist", AsciiName(256).left(243) + ".a1B2c3.part", AsciiName(256), 255, false},
  };
  for (const LongCase& c : longCases)
    EXPECT_EQ(platform::IsTemporaryNameOf(c.file, c.base, c.limit), c.isTemporary) << c.name;

  QTemporaryDir dir;
  platform::TemporaryFile temp;
  ASSERT_TRUE(temp.Create(dir.path() + "/history.ini", FileAccess::OwnerOnly));
  EXPECT_TRUE(platform::IsTemporaryNameOf(temp.Path().section('/', -1), "history.ini"));
}
