#include "res/process_dialog_template.h"

#include "platform/ui/messages.h"
#include "res/resource.h"

namespace res {

platform::ui::DialogTemplate ProcessDialogTemplate() {
  namespace ui = platform::ui;
  using ui::ControlKind;
  ui::DialogTemplate d;
  d.id = IDD_PROCESS;
  d.caption = QStringLiteral("Dialog");  // the dialog names itself "Backup" when it starts
  d.cx = 365;
  d.cy = 240;
  d.fontPoints = 8;
  d.style = ui::kCaption | ui::kSysMenu;
  d.controls = {
      {ui::IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 308, 208, 50, 16, ui::kVisible | ui::kTabStop},
      {IDC_BTN_PAUSE_RESUME, ControlKind::PushButton, QStringLiteral("Pause"), 257, 208, 45, 16,
       ui::kVisible | ui::kTabStop},
      {IDC_LIST_FILES, ControlKind::ListView, QString(), 7, 53, 351, 145,
       ui::kVisible | ui::kBorder | ui::kTabStop | ui::kReport},
  };
  return d;
}

}  // namespace res
