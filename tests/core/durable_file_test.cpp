// Durable writes against real faults: a full tmpfs, a read-only folder and a
// folder removed mid-write each leave the old file exactly as it was and
// report failure.
#include "platform/core/durable_file.h"
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
  QTemporaryDir dir;
  platform::TemporaryFile temp;
  ASSERT_TRUE(temp.Create(dir.path() + "/history.ini", FileAccess::OwnerOnly));
  EXPECT_TRUE(platform::IsTemporaryNameOf(temp.Path().section('/', -1), "history.ini"));
}
