#include "app/backup_setting_dlg.h"

#include <QSignalBlocker>

#include "app/setting_ini.h"
#include "platform/core/disk_space.h"
#include "platform/core/message_box.h"
#include "platform/ui/folder_browser.h"
#include "res/resource.h"
#include "res/resource_tables.h"

namespace ui = platform::ui;

namespace {

const QString kSection = QStringLiteral("setting");
const QString kLocationKey = QStringLiteral("backuplocation");

}  // namespace

CBackupSettingDlg::CBackupSettingDlg() : Dialog(res::Dialog(IDD_BACKUP_SETTING)) {
  MapCommand(IDC_BTN_BROWSE, [this] { OnBrowse(); });
  MapCommand(ui::IDOK, [this] { OnClickedOk(); });
}

CBackupSettingDlg::~CBackupSettingDlg() = default;

void CBackupSettingDlg::DoDataExchange() {
  DDX_Control(IDC_CHECK_UNUSUAL_EVENTS, m_chkUnusualEvents);
  DDX_Control(IDC_CHECK_INCLUDE_COMPANION, m_chkIncludeCompanion);
  DDX_Control(IDC_GROUP_OPTIONS, m_grpOptions);
  DDX_Control(IDC_GROUP_MEDIA, m_grpMedia);
  DDX_Control(IDC_BTN_BROWSE, m_btnBrowse);
  DDX_Control(IDC_EDIT_LOCATION, m_editLocation);
}

bool CBackupSettingDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  if (m_chkUnusualEvents) m_chkUnusualEvents->setEnabled(false);
  // The only medium offered; the other one stays hidden and disabled.
  if (auto* disk = Item<QRadioButton>(IDC_RADIO_DISK)) {
    const QSignalBlocker block(disk);
    disk->setChecked(true);
  }
  if (auto* cd = Item<QRadioButton>(IDC_RADIO_CDROM)) cd->setEnabled(false);
  if (m_editLocation) {
    const QSignalBlocker block(m_editLocation.data());
    m_editLocation->setText(ReadIniValue(m_settingFile, kSection, kLocationKey));
  }
  return true;
}

void CBackupSettingDlg::OnBrowse() { BrowseForFolder(); }

void CBackupSettingDlg::BrowseForFolder() {
  ui::FolderBrowseRequest request;
  request.owner = Id();
  request.title = QStringLiteral("Please select a folder.");
  request.flags = ui::BIF_RETURNONLYFSDIRS | ui::BIF_NEWDIALOGSTYLE | ui::BIF_NONEWFOLDERBUTTON;
  const ui::FolderBrowseResult chosen = ui::BrowseForFolder(request);
  if (!chosen.chosen) return;
  if (!chosen.hasPath) {
    platform::ShowMessageBox(Id(), QStringLiteral("It's not a data folder."), QStringLiteral("Error"));
    return;
  }
  if (m_editLocation) {
    const QSignalBlocker block(m_editLocation.data());
    m_editLocation->setText(chosen.path);
  }
}

void CBackupSettingDlg::OnClickedOk() {
  m_strLocation = m_editLocation ? m_editLocation->text() : QString();
  platform::DiskFreeSpace space;
  if (!platform::GetDiskFreeSpace(m_strLocation, &space)) {
    platform::FrameworkMessageBox(QStringLiteral("The specified location is invalid!"));
    return;
  }
  // Equal counts as not enough.
  if (!(m_nRequiredBytes < space.freeToCaller)) {
    platform::FrameworkMessageBox(QStringLiteral("Not Enough Free Disk Space to Backup!"));
    return;
  }
  WriteIniValue(m_settingFile, kSection, kLocationKey, m_strLocation);
  m_bIncludeCompanion = m_chkIncludeCompanion && m_chkIncludeCompanion->isChecked() ? 1 : 0;
  OnOK();
}
