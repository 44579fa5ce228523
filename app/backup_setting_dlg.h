#pragma once
// The backup settings: where the backup goes (a folder with room for the
// job's bytes, kept in "setting.ini") and whether the companion player goes
// with it.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <cstdint>

#include "platform/ui/dialog.h"

class CBackupSettingDlg : public platform::ui::Dialog {
 public:
  CBackupSettingDlg();
  ~CBackupSettingDlg() override;

  QPointer<QCheckBox> m_chkUnusualEvents;     // hidden and disabled; nothing reads it
  QPointer<QCheckBox> m_chkIncludeCompanion;  // "Include the Vestrel Program"
  QPointer<QGroupBox> m_grpOptions;
  QPointer<QGroupBox> m_grpMedia;
  QPointer<QPushButton> m_btnBrowse;
  QPointer<QLineEdit> m_editLocation;
  // The location as it stood in the edit box when OK was pressed.
  QString m_strLocation;
  // 1 when "Include the Vestrel Program" was checked at OK; read only after IDOK.
  int m_bIncludeCompanion = 0;
  // Bytes the backup needs; set by the caller before DoModal.
  std::uint64_t m_nRequiredBytes = 0;

  // Where the location is kept: a file name in the executable's folder, or
  // an absolute path.
  QString m_settingFile = QStringLiteral("setting.ini");

  void OnBrowse();
  void OnClickedOk();

 protected:
  void DoDataExchange() override;
  bool OnInitDialog() override;

 private:
  void BrowseForFolder();
};
