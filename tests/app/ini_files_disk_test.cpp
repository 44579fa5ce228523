// "history.ini" and "setting.ini" against real disk faults, through the calls
// the program makes: a full disk, a read-only mount and a vanished folder give
// the failure result and leave the old file byte for byte; a read-only folder
// around a writable file is still written; the history file stays owner-only.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

#include "app/brisnel_dlg.h"
#include "app/login_history.h"
#include "app/setting_ini.h"
#include "platform/core/ini_file.h"
#include "tests/support/test_files.h"
#include "tests/ui/qt_test_app.h"

using test_support::SmallDisk;
using test_support::FileNames;
using test_support::ModeOf;
using test_support::ReadBytes;

namespace {

// A history of ten logins, about 3.5 KB, as an operator's file holds it.
QByteArray FullHistory() {
  QByteArray text = "[history]\n";
  for (int n = 1; n <= 10; ++n)
    text += QStringLiteral("history%1=Recorder number %1 on the third floor,10.20.30.%1,8080,operator%1,%2;\n")
                .arg(n)
                .arg(QString(260, QLatin1Char('a' + n)))
                .toUtf8();
  return text;
}

const QByteArray kSetting = "[setting]\nbackuplocation=/media/backup/disk-one\n";

// Loads the history from `path`, logs in to a new recorder and saves it, as
// the main window does over a run.
bool SaveAfterALogin(const QString& path, const QString& password = QString(300, QLatin1Char('z'))) {
  LoginHistory history;
  history.Load(path);
  EXPECT_TRUE(history.Update("New", "10.99.99.99", 80, "admin", password));
  return history.Save(path);
}

}  // namespace

// The disk counts its space in whole pages, so each case leaves a number of
// pages free, checked before the write: none, one page less than the new file
// takes (the write fails, the old file stays byte for byte), and as many as it
// takes (the write goes through).
TEST(IniFilesOnDisk, AFullDiskFailsBothWritesAndLeavesTheOldFiles) {
  auto disk = test_support::MountSmallDiskOrSay(256 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString folder = QString::fromStdString(disk->Path());
  const std::size_t page = disk->PageBytes();
  ASSERT_GT(page, 0u);
  struct File {
    const char* name;
    QByteArray old;
    std::function<int(const QString&)> write;  // 1 on success, 0 on failure
  } files[] = {
      // Both new files are longer than a page, so a page less is not none.
      {"history.ini", FullHistory(),
       [](const QString& path) { return SaveAfterALogin(path, QString(1500, QLatin1Char('z'))) ? 1 : 0; }},
      {"setting.ini", kSetting,
       [](const QString& path) {
         return WriteIniValue(path, "setting", "backuplocation", QString(9000, QLatin1Char('/')));
       }},
  };
  for (const File& f : files) {
    ASSERT_TRUE(test_support::WriteBytes(folder + "/" + f.name, f.old));
  }

  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    const QString path = folder + "/" + f.name;
    // The new file, as a disk with room writes it.
    QTemporaryDir roomy;
    const QString scratch = roomy.filePath(f.name);
    ASSERT_TRUE(test_support::WriteBytes(scratch, f.old));
    ASSERT_EQ(f.write(scratch), 1);
    const QByteArray written = ReadBytes(scratch);
    const std::size_t pages = (std::size_t(written.size()) + page - 1) / page;
    ASSERT_GE(pages, 2u);

    const struct {
      std::size_t freePages;
      int result;
    } cases[] = {{0, 0}, {pages - 1, 0}, {pages, 1}};
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.freePages << " pages free, the new file takes " << pages);
      disk->Unfill();
      ASSERT_TRUE(test_support::WriteBytes(path, f.old));
      ASSERT_TRUE(disk->Fill(c.freePages * page));
      ASSERT_EQ(disk->FreeBytes(), c.freePages * page);
      EXPECT_EQ(f.write(path), c.result);
      EXPECT_EQ(ReadBytes(path), c.result ? written : f.old);
      EXPECT_EQ(FileNames(folder), QStringList({".ballast", "history.ini", "setting.ini"}));
    }
    disk->Unfill();
    ASSERT_TRUE(test_support::WriteBytes(path, f.old));
  }

  // With room again both go through.
  const QString history = folder + "/history.ini";
  const QString setting = folder + "/setting.ini";
  EXPECT_TRUE(SaveAfterALogin(history));
  EXPECT_EQ(WriteIniValue(setting, "setting", "backuplocation", "/media/two"), 1);
  EXPECT_TRUE(platform::ReadProfileString(history, "history", "history1").startsWith("New,10.99.99.99,80,admin,"));
  EXPECT_EQ(ReadIniValue(setting, "setting", "backuplocation"), "/media/two");
}

TEST(IniFilesOnDisk, AReadOnlyMountFailsBothWritesAndLeavesTheOldFiles) {
  auto disk = test_support::MountSmallDiskOrSay(64 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString folder = QString::fromStdString(disk->Path());
  ASSERT_TRUE(test_support::WriteBytes(folder + "/history.ini", FullHistory()));
  ASSERT_TRUE(test_support::WriteBytes(folder + "/setting.ini", kSetting));
  ASSERT_TRUE(disk->SetReadOnly(true));
  EXPECT_FALSE(SaveAfterALogin(folder + "/history.ini"));
  EXPECT_EQ(WriteIniValue(folder + "/setting.ini", "setting", "backuplocation", "/elsewhere"), 0);
  EXPECT_EQ(ReadBytes(folder + "/history.ini"), FullHistory());
  EXPECT_EQ(ReadBytes(folder + "/setting.ini"), kSetting);
  ASSERT_TRUE(disk->SetReadOnly(false));
}

TEST(IniFilesOnDisk, AFolderGoneBeforeTheSaveCreatesNothing) {
  QTemporaryDir dir;
  const QString folder = dir.path() + "/program";
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(test_support::WriteBytes(folder + "/history.ini", FullHistory()));
  LoginHistory history;
  history.Load(folder + "/history.ini");
  ASSERT_TRUE(history.Update("New", "10.99.99.99", 80, "admin", "pw"));
  ASSERT_TRUE(QDir(folder).removeRecursively());
  EXPECT_FALSE(history.Save(folder + "/history.ini"));
  EXPECT_EQ(WriteIniValue(folder + "/setting.ini", "setting", "backuplocation", "/x"), 0);
  EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(IniFilesOnDisk, AReadOnlyFolderAroundWritableFilesIsWrittenInPlace) {
  auto disk = test_support::MountSmallDiskOrSay(256 * 1024);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString folder = QString::fromStdString(disk->Path()) + "/program";
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString history = folder + "/history.ini";
  const QString setting = folder + "/setting.ini";
  ASSERT_TRUE(test_support::WriteBytes(history, FullHistory()));
  ASSERT_TRUE(test_support::WriteBytes(setting, kSetting));
  ASSERT_EQ(::chmod(QFile::encodeName(history).constData(), 0600), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
  {
    test_support::WithoutFileOverride asAUser;
    EXPECT_TRUE(SaveAfterALogin(history));
    EXPECT_EQ(WriteIniValue(setting, "setting", "backuplocation", "/media/two"), 1);
    // Shorter than before: the rest of the old file must not stay behind.
    EXPECT_EQ(WriteIniValue(setting, "setting", "backuplocation", "/m"), 1);
    // A full disk still leaves the old file.
    ASSERT_TRUE(disk->Fill(0));
    const QByteArray before = ReadBytes(history);
    LoginHistory longer;
    longer.Load(history);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(longer.Update("R", QString::number(i), 1, "u", QString(900, 'p')));
    EXPECT_FALSE(longer.Save(history));
    EXPECT_EQ(ReadBytes(history), before);
    disk->Unfill();
  }
  EXPECT_TRUE(platform::ReadProfileString(history, "history", "history1").startsWith("New,10.99.99.99,"));
  EXPECT_EQ(ReadBytes(setting), "[setting]\nbackuplocation=/m\n");
  EXPECT_EQ(FileNames(folder), QStringList({"history.ini", "setting.ini"}));
  EXPECT_EQ(ModeOf(history), 0600);
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
}

TEST(IniFilesOnDisk, ASettingsFileThatCannotBeReadIsNotReplacedByOneKey) {
  QTemporaryDir dir;
  const QString setting = dir.filePath("setting.ini");
  const QByteArray text = "[setting]\nbackuplocation=/media/one\n[other]\nkept=yes\n";
  ASSERT_TRUE(test_support::WriteBytes(setting, text));
  ASSERT_EQ(::chmod(QFile::encodeName(setting).constData(), 0200), 0);
  {
    test_support::WithoutFileOverride asAUser;
    EXPECT_EQ(WriteIniValue(setting, "setting", "backuplocation", "/media/two"), 0);
  }
  ASSERT_EQ(::chmod(QFile::encodeName(setting).constData(), 0600), 0);
  EXPECT_EQ(ReadBytes(setting), text);
}

TEST(IniFilesOnDisk, TheHistoryIsOwnerOnlyAndTheSettingsFollowTheUmask) {
  QTemporaryDir dir;
  const QString history = dir.filePath("history.ini");
  const QString setting = dir.filePath("setting.ini");
  const mode_t previous = ::umask(022);
  ASSERT_TRUE(test_support::WriteBytes(history, "[history]\n"));
  ASSERT_TRUE(test_support::WriteBytes(setting, kSetting));
  ASSERT_EQ(::chmod(QFile::encodeName(history).constData(), 0644), 0);
  EXPECT_TRUE(SaveAfterALogin(history));
  EXPECT_EQ(ModeOf(history), 0600);
  EXPECT_TRUE(SaveAfterALogin(history));  // and every rewrite keeps it so
  EXPECT_EQ(ModeOf(history), 0600);
  EXPECT_EQ(WriteIniValue(setting, "setting", "backuplocation", "/media/two"), 1);
  EXPECT_EQ(ModeOf(setting), 0644);
  ::umask(previous);
}

TEST(MainWindowHistory, AWindowThatNeverOpenedLeavesTheHistoryFileAlone) {
  testing_ui::App();
  QTemporaryDir dir;
  const QString history = dir.filePath("history.ini");
  ASSERT_TRUE(test_support::WriteBytes(history, FullHistory()));
  {
    CBrisnelDlg dlg;
    dlg.m_historyPath = history;
  }
  EXPECT_EQ(ReadBytes(history), FullHistory());
}

// Only a history that was read counts as loaded: a file that could not be
// read at start must never be overwritten by the empty list at exit.
TEST(MainWindowHistory, OnlyAHistoryThatWasReadCountsAsLoaded) {
  QTemporaryDir dir;
  const QString history = dir.filePath("history.ini");
  LoginHistory h;
  EXPECT_FALSE(h.Load(history));
  ASSERT_TRUE(test_support::WriteBytes(history, FullHistory()));
  ASSERT_EQ(::chmod(QFile::encodeName(history).constData(), 0200), 0);
  {
    test_support::WithoutFileOverride asAUser;
    EXPECT_FALSE(h.Load(history));
  }
  ASSERT_EQ(::chmod(QFile::encodeName(history).constData(), 0600), 0);
  EXPECT_TRUE(h.Load(history));
  EXPECT_FALSE(h.Entry(0).isEmpty());
}
