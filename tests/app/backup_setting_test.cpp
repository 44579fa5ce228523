// The backup settings dialog: its controls, the location kept in
// "setting.ini" only when that file exists, the folder browser's answers, and
// OK's free-space check. Free space and the browser are answered by seams.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

#include "app/backup_setting_dlg.h"
#include "platform/core/disk_space.h"
#include "platform/ui/folder_browser.h"
#include "res/resource.h"
#include "tests/app/box_recorder.h"
#include "tests/app/run_dialog.h"
#include "tests/ui/qt_test_app.h"

namespace ui = platform::ui;

namespace {

class BackupSettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    settingPath = dir.filePath(QStringLiteral("setting.ini"));
    previousQuery_ = platform::SetDiskFreeSpaceQuery([this](const QString& folder, platform::DiskFreeSpace* out) {
      asked.push_back(folder);
      if (!freeBytes) return false;
      out->freeToCaller = *freeBytes;
      out->totalFree = *freeBytes + 1000;  // more than the user may take: must not count
      out->total = out->totalFree * 2;
      return true;
    });
    previousBrowser_ = ui::SetFolderBrowserHandler([this](const ui::FolderBrowseRequest& r) {
      browsed.push_back(r);
      return browseAnswer;
    });
  }
  void TearDown() override {
    platform::SetDiskFreeSpaceQuery(previousQuery_);
    ui::SetFolderBrowserHandler(previousBrowser_);
  }

  void WriteSetting(const QByteArray& bytes) {
    QFile f(settingPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  QByteArray ReadSetting() const {
    QFile f(settingPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  // Runs a dialog with this test's setting file and acts inside it.
  int Run(CBackupSettingDlg& dlg, const std::function<void(CBackupSettingDlg&)>& act) {
    dlg.m_settingFile = settingPath;
    return RunDialog<CBackupSettingDlg>(dlg, act);
  }

  QTemporaryDir dir;
  QString settingPath;
  std::optional<std::uint64_t> freeBytes = 1000000;
  std::vector<QString> asked;
  std::vector<ui::FolderBrowseRequest> browsed;
  ui::FolderBrowseResult browseAnswer;
  BoxRecorder boxes;

 private:
  platform::DiskFreeSpaceQuery previousQuery_;
  ui::FolderBrowserHandler previousBrowser_;
};

}  // namespace

TEST_F(BackupSettingTest, StartsWithTheSavedLocationAndTheTemplatesControls) {
  WriteSetting("[setting]\nbackuplocation=/media/usb/backups\n");
  CBackupSettingDlg dlg;
  Run(dlg, [&](CBackupSettingDlg& d) {
    EXPECT_EQ(d.Window()->windowTitle(), QStringLiteral("Backup Setting"));
    ASSERT_NE(d.m_editLocation, nullptr);
    EXPECT_EQ(d.m_editLocation->text(), QStringLiteral("/media/usb/backups"));
    auto* disk = d.Item<QRadioButton>(IDC_RADIO_DISK);
    auto* cd = d.Item<QRadioButton>(IDC_RADIO_CDROM);
    ASSERT_NE(disk, nullptr);
    ASSERT_NE(cd, nullptr);
    EXPECT_TRUE(disk->isChecked());
    EXPECT_EQ(disk->text(), QStringLiteral("Backup to Disk"));
    EXPECT_FALSE(cd->isVisible());
    EXPECT_FALSE(cd->isEnabled());
    ASSERT_NE(d.m_chkUnusualEvents, nullptr);
    EXPECT_FALSE(d.m_chkUnusualEvents->isVisible());
    EXPECT_FALSE(d.m_chkUnusualEvents->isEnabled());
    ASSERT_NE(d.m_chkIncludeCompanion, nullptr);
    EXPECT_EQ(d.m_chkIncludeCompanion->text(), QStringLiteral("Include the Vestrel Program"));
    EXPECT_FALSE(d.m_chkIncludeCompanion->isChecked());
    ASSERT_NE(d.m_grpMedia, nullptr);
    ASSERT_NE(d.m_grpOptions, nullptr);
    EXPECT_EQ(d.m_grpMedia->title(), QStringLiteral("Backup Media"));
    EXPECT_EQ(d.m_grpOptions->title(), QStringLiteral("Options"));
    ASSERT_NE(d.m_btnBrowse, nullptr);
    EXPECT_EQ(d.m_btnBrowse->text(), QStringLiteral("..."));
  });
}

TEST_F(BackupSettingTest, OkKeepsTheLocationOnlyWhenTheFileExists) {
  const QString location = dir.filePath(QStringLiteral("target"));
  ASSERT_TRUE(QDir().mkpath(location));

  // Without the file: the edit starts empty every time and no file is made.
  for (int run = 0; run < 2; ++run) {
    CBackupSettingDlg dlg;
    dlg.m_nRequiredBytes = 10;
    const int result = Run(dlg, [&](CBackupSettingDlg& d) {
      EXPECT_EQ(d.m_editLocation->text(), QString());
      d.m_editLocation->setText(location);
      d.m_chkIncludeCompanion->click();
      d.SendCommand(ui::IDOK);
    });
    EXPECT_EQ(result, ui::IDOK);
    EXPECT_EQ(dlg.m_strLocation, location);
    EXPECT_EQ(dlg.m_bIncludeCompanion, 1);
    EXPECT_FALSE(QFile::exists(settingPath));
  }
  EXPECT_TRUE(boxes.boxes.empty());

  // With the file: OK saves it and the next run starts with it.
  WriteSetting("[setting]\n");
  {
    CBackupSettingDlg dlg;
    EXPECT_EQ(Run(dlg, [&](CBackupSettingDlg& d) {
                d.m_editLocation->setText(location);
                d.SendCommand(ui::IDOK);
              }),
              ui::IDOK);
    EXPECT_EQ(dlg.m_bIncludeCompanion, 0);
  }
  EXPECT_EQ(ReadSetting(), (QByteArray("[setting]\nbackuplocation=") + location.toUtf8() + "\n"));
  {
    CBackupSettingDlg dlg;
    Run(dlg, [&](CBackupSettingDlg& d) { EXPECT_EQ(d.m_editLocation->text(), location); });
  }

  // Cancel keeps nothing.
  {
    CBackupSettingDlg dlg;
    EXPECT_EQ(Run(dlg, [&](CBackupSettingDlg& d) {
                d.m_editLocation->setText(QStringLiteral("/elsewhere"));
                d.SendCommand(ui::IDCANCEL);
              }),
              ui::IDCANCEL);
  }
  EXPECT_EQ(ReadSetting(), (QByteArray("[setting]\nbackuplocation=") + location.toUtf8() + "\n"));
}

TEST_F(BackupSettingTest, OkNeedsRoomForTheJobsBytes) {
  struct Case {
    const char* name;
    std::optional<std::uint64_t> free;
    std::uint64_t required;
    const char* box;  // null: accepted
  };
  const Case cases[] = {
      {"as many bytes as are free: refused", 5000, 5000, "Not Enough Free Disk Space to Backup!"},
      {"one byte less: accepted", 5000, 4999, nullptr},
      {"more than free: refused", 5000, 5001, "Not Enough Free Disk Space to Backup!"},
      {"the whole 64 bits", UINT64_MAX, UINT64_MAX - 1, nullptr},
      {"nothing needed, nothing free", 0, 0, "Not Enough Free Disk Space to Backup!"},
      {"free space cannot be read", std::nullopt, 1, "The specified location is invalid!"},
  };
  WriteSetting("[setting]\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.boxes.clear();
    asked.clear();
    freeBytes = c.free;
    CBackupSettingDlg dlg;
    dlg.m_nRequiredBytes = c.required;
    bool openAfterOk = false;
    const int result = Run(dlg, [&](CBackupSettingDlg& d) {
      d.m_editLocation->setText(QStringLiteral("/media/case"));
      d.SendCommand(ui::IDOK);
      openAfterOk = d.HasWindow() && !d.HasEnded();
    });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], QStringLiteral("/media/case"));
    if (c.box == nullptr) {
      EXPECT_EQ(result, ui::IDOK);
      EXPECT_TRUE(boxes.boxes.empty());
      EXPECT_EQ(ReadSetting(), QByteArray("[setting]\nbackuplocation=/media/case\n"));
    } else {
      // The dialog stays open on a framework box; nothing is saved.
      EXPECT_TRUE(openAfterOk);
      EXPECT_EQ(result, ui::IDCANCEL);
      ASSERT_EQ(boxes.boxes.size(), 1u);
      EXPECT_EQ(boxes.boxes[0].text, QString::fromLatin1(c.box));
      EXPECT_EQ(boxes.boxes[0].owner, platform::kNoWindow);
      EXPECT_EQ(boxes.boxes[0].title, platform::ApplicationTitle());
      EXPECT_EQ(ReadSetting(), QByteArray("[setting]\n"));
    }
    WriteSetting("[setting]\n");
  }
}

TEST_F(BackupSettingTest, RealFreeSpaceRefusesAFileAndAMissingFolder) {
  platform::SetDiskFreeSpaceQuery(nullptr);  // the real query
  const QString file = dir.filePath(QStringLiteral("plain"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  for (const QString& location : {file, dir.filePath(QStringLiteral("missing")), QString()}) {
    SCOPED_TRACE(location.toStdString());
    boxes.boxes.clear();
    CBackupSettingDlg dlg;
    EXPECT_EQ(Run(dlg, [&](CBackupSettingDlg& d) {
                d.m_editLocation->setText(location);
                d.SendCommand(ui::IDOK);
              }),
              ui::IDCANCEL);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("The specified location is invalid!"));
  }
  // A real folder with room is accepted.
  CBackupSettingDlg dlg;
  dlg.m_nRequiredBytes = 1;
  EXPECT_EQ(Run(dlg, [&](CBackupSettingDlg& d) {
              d.m_editLocation->setText(dir.path());
              d.SendCommand(ui::IDOK);
            }),
            ui::IDOK);
}

TEST_F(BackupSettingTest, FolderBrowserAnswers) {
  WriteSetting("[setting]\nbackuplocation=/kept\n");
  struct Case {
    const char* name;
    ui::FolderBrowseResult answer;
    const char* edit;
    const char* box;
  };
  const Case cases[] = {
      {"cancelled: nothing changes", {false, false, QString()}, "/kept", nullptr},
      {"an item without a path", {true, false, QString()}, "/kept", "It's not a data folder."},
      {"a folder", {true, true, QStringLiteral("/media/chosen")}, "/media/chosen", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.boxes.clear();
    browsed.clear();
    browseAnswer = c.answer;
    CBackupSettingDlg dlg;
    Run(dlg, [&](CBackupSettingDlg& d) {
      d.m_btnBrowse->click();
      ASSERT_EQ(browsed.size(), 1u);
      EXPECT_EQ(browsed[0].owner, d.Id());
      EXPECT_EQ(browsed[0].title, QStringLiteral("Please select a folder."));
      EXPECT_EQ(browsed[0].flags, 0x241u);
      EXPECT_EQ(d.m_editLocation->text(), QString::fromLatin1(c.edit));
      if (c.box == nullptr) {
        EXPECT_TRUE(boxes.boxes.empty());
      } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, QString::fromLatin1(c.box));
        EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Error"));
        EXPECT_EQ(boxes.boxes[0].owner, d.Id());
      }
      EXPECT_TRUE(d.HasWindow() && !d.HasEnded());
    });
  }
}

TEST_F(BackupSettingTest, Screenshot) {
  WriteSetting("[setting]\nbackuplocation=/media/usb0/tarnwell\n");
  CBackupSettingDlg dlg;
  bool saved = false;
  Run(dlg, [&](CBackupSettingDlg& d) {
    testing_ui::Pump(std::chrono::milliseconds(50));
    QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
    saved = d.Window()->grab().save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/backup_setting.png"));
  });
  EXPECT_TRUE(saved);
}
