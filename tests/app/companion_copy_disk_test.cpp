// The companion copy's files: the password files arrive owner-only, the rest
// as the umask says and programs stay programs; on a full disk every copied
// file is either whole or the old one, and the copy reports that it failed,
// naming what failed first and why.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "app/companion_copy.h"
#include "tests/support/test_files.h"

using test_support::MountSmallDiskOrSay;
using test_support::SmallDisk;
using test_support::ModeOf;
using test_support::ReadBytes;
using test_support::WriteBytes;

namespace {

// Every file under the folder, relative, sorted.
QStringList Files(const QString& root) {
  QStringList out;
  const QDir base(root);
  std::function<void(const QString&)> walk = [&](const QString& folder) {
    for (const QFileInfo& e :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
      if (e.isDir())
        walk(e.filePath());
      else
        out << base.relativeFilePath(e.filePath());
    }
  };
  walk(root);
  out.sort();
  return out;
}

}  // namespace

TEST(CompanionCopyFiles, PasswordFilesArriveOwnerOnlyOthersFollowTheUmask) {
  QTemporaryDir src, dst;
  const QString s = src.path() + QLatin1Char('/');
  const QString d = dst.path() + QLatin1Char('/');
  const mode_t previous = ::umask(022);
  ASSERT_TRUE(WriteBytes(s + "history.ini", "[history]\nhistory1=A,h,1,u,secret;\n", 0644));
  ASSERT_TRUE(WriteBytes(s + "server.db", "rows", 0644));
  ASSERT_TRUE(WriteBytes(s + "setting.ini", "[setting]\n", 0600));
  ASSERT_TRUE(WriteBytes(s + "Vestrel", "#!/bin/sh\n", 0755));
  ASSERT_TRUE(WriteBytes(s + "libavutil.so.51", "lib", 0755));
  ASSERT_TRUE(WriteBytes(s + "images/Indicator.gif", "gif", 0644));
  // A copy from an earlier backup, readable by all, is replaced by an owner-only one.
  ASSERT_TRUE(WriteBytes(d + "history.ini", "old", 0644));

  EXPECT_EQ(CopyCompanionFiles(src.path(), dst.path()), 1);
  ::umask(previous);

  EXPECT_EQ(ReadBytes(d + "history.ini"), ReadBytes(s + "history.ini"));
  EXPECT_EQ(ModeOf(d + "history.ini"), 0600);
  EXPECT_EQ(ModeOf(d + "server.db"), 0600);
  EXPECT_EQ(ModeOf(d + "setting.ini"), 0644);
  EXPECT_EQ(ModeOf(d + "Vestrel"), 0755);
  EXPECT_EQ(ModeOf(d + "libavutil.so.51"), 0755);
  EXPECT_EQ(ModeOf(d + "images/Indicator.gif"), 0644);
  EXPECT_EQ(Files(dst.path()), QStringList({"Vestrel", "history.ini", "images/Indicator.gif", "libavutil.so.51",
                                            "server.db", "setting.ini"}));
}

TEST(CompanionCopyFiles, AFullDiskLeavesEveryOldFileWholeAndReportsFailure) {
  auto disk = [] {
    std::string why;
    auto mounted = SmallDisk::Mount(256 * 1024, &why);
    if (!mounted) std::printf("skipped: %s\n", why.c_str());
    return mounted;
  }();
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  QTemporaryDir src;
  const QString s = src.path() + QLatin1Char('/');
  const QString d = QString::fromStdString(disk->Path()) + "/backup202401020304/";
  const QByteArray big(20000, 'n');
  for (const char* name : {"history.ini", "server.db", "setting.ini", "Vestrel", "images/a.bmp", "lang/en.txt"})
    ASSERT_TRUE(WriteBytes(s + name, big + name));
  for (const char* name : {"history.ini", "server.db", "images/a.bmp"}) ASSERT_TRUE(WriteBytes(d + name, "old"));
  const QStringList before = Files(d);
  ASSERT_TRUE(disk->Fill(0));

  CompanionCopyFailure failure;
  EXPECT_EQ(CopyCompanionFiles(src.path(), d, &failure), 0);
  EXPECT_EQ(failure.name.toStdString(), "setting.ini");  // the first of the copy order present
  EXPECT_EQ(failure.error, ENOSPC);
  EXPECT_EQ(Files(d), before);
  for (const QString& name : before) EXPECT_EQ(ReadBytes(d + name), "old") << name.toStdString();

  disk->Unfill();
  EXPECT_EQ(CopyCompanionFiles(src.path(), d), 1);
  EXPECT_EQ(ReadBytes(d + "history.ini"), big + "history.ini");
  EXPECT_EQ(ReadBytes(d + "lang/en.txt"), big + "lang/en.txt");
}

TEST(CompanionCopyFiles, MissingFilesAreSkippedWithoutCountingAsAFailure) {
  QTemporaryDir src, dst;
  ASSERT_TRUE(WriteBytes(src.path() + "/setting.ini", "[setting]\n"));
  EXPECT_EQ(CopyCompanionFiles(src.path(), dst.path()), 1);
  EXPECT_EQ(Files(dst.path()), QStringList({"setting.ini"}));
}

// What failed first is named as it stands under the backup folder, with the
// system's reason; a folder that could not be made is named itself, not the
// file that then had nowhere to go. What comes after a failure is still tried.
TEST(CompanionCopyFiles, TheFirstFailureIsNamedWithItsReason) {
  auto disk = MountSmallDiskOrSay(1 << 20);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QByteArray big(300 * 1024, 'b');
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, QByteArray>> files;
    bool readOnly;  // else the disk is nearly full
    const char* failed;
    int error;
    const char* copiedAfter;
  };
  const Case cases[] = {
      {"two program files too big", {{"libavcodec.so.54", big}, {"Vestrel", big}, {"images/a.bmp", "a"}}, false,
       "libavcodec.so.54", ENOSPC, "images/a.bmp"},
      {"files too big deep in the trees", {{"setting.ini", "s"}, {"images/sub/big.bmp", big}, {"lang/big.txt", big},
       {"lang/a.txt", "a"}}, false, "images/sub/big.bmp", ENOSPC, "lang/a.txt"},
      {"a folder that cannot be made", {{"images/a.bmp", "a"}}, true, "images", EROFS, nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir src;
    for (const auto& [name, bytes] : c.files) ASSERT_TRUE(WriteBytes(src.path() + "/" + name, bytes));
    const QString d = QString::fromStdString(disk->Path()) + QStringLiteral("/backup%1").arg(++n);
    ASSERT_TRUE(QDir().mkpath(d));
    ASSERT_TRUE(c.readOnly ? disk->SetReadOnly(true) : disk->Fill(64 * 1024));

    CompanionCopyFailure failure;
    EXPECT_EQ(CopyCompanionFiles(src.path(), d, &failure), 0);
    EXPECT_EQ(failure.name.toStdString(), c.failed);
    EXPECT_EQ(failure.error, c.error) << std::strerror(failure.error);
    EXPECT_EQ(CompanionCopyFailureText(failure).toStdString(),
              std::string("The program files could not all be copied into the backup folder: ") + c.failed + ": " +
                  std::strerror(c.error));
    if (c.copiedAfter != nullptr) {
      EXPECT_EQ(ReadBytes(d + "/" + c.copiedAfter), ReadBytes(src.path() + "/" + c.copiedAfter));
    }
    for (const QString& left : Files(d)) EXPECT_FALSE(left.endsWith(".part")) << left.toStdString();

    ASSERT_TRUE(disk->SetReadOnly(false));
    disk->Unfill();
  }
}
