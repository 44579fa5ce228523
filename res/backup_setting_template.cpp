#include "res/backup_setting_template.h"

#include "platform/ui/messages.h"
#include "res/resource.h"

namespace res {

platform::ui::DialogTemplate BackupSettingTemplate() {
  namespace ui = platform::ui;
  using ui::ControlKind;
  constexpr unsigned shown = ui::kVisible | ui::kTabStop;
  constexpr unsigned hidden = ui::kTabStop;  // disabled as well: nothing reads them
  ui::DialogTemplate d;
  d.id = IDD_BACKUP_SETTING;
  d.caption = QStringLiteral("Backup Setting");
  d.cx = 262;
  d.cy = 171;
  d.fontPoints = 8;
  d.style = ui::kCaption | ui::kSysMenu | ui::kCentered;
  d.controls = {
      {ui::IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 146, 150, 50, 14, shown},
      {ui::IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 205, 150, 50, 14, shown},
      {IDC_GROUP_MEDIA, ControlKind::GroupBox, QStringLiteral("Backup Media"), 7, 7, 248, 64, ui::kVisible},
      {IDC_EDIT_LOCATION, ControlKind::Edit, QString(), 17, 36, 200, 14, shown | ui::kBorder},
      {IDC_RADIO_DISK, ControlKind::RadioButton, QStringLiteral("Backup to Disk"), 17, 21, 120, 10, shown},
      {IDC_RADIO_CDROM, ControlKind::RadioButton, QStringLiteral("Backup to CD-ROM"), 17, 55, 120, 10, hidden},
      {IDC_GROUP_OPTIONS, ControlKind::GroupBox, QStringLiteral("Options"), 7, 78, 248, 62, ui::kVisible},
      {IDC_CHECK_UNUSUAL_EVENTS, ControlKind::CheckBox, QStringLiteral("Backup unusual event records"), 17, 113, 150,
       10, hidden},
      {IDC_CHECK_INCLUDE_COMPANION, ControlKind::CheckBox, QStringLiteral("Include the Vestrel Program"), 17, 94, 150,
       10, shown},
      {IDC_BTN_BROWSE, ControlKind::PushButton, QStringLiteral("..."), 222, 36, 24, 14, shown},
  };
  return d;
}

}  // namespace res
