#pragma once
// The about box: the program's name, version and a short notice.
#include "platform/ui/dialog.h"

class CAboutDlg : public platform::ui::Dialog {
 public:
  CAboutDlg();
};
