#pragma once
// Template of the selection dialog "Open History".
#include "platform/ui/dialog_template.h"

namespace res {

platform::ui::DialogTemplate SelectDialogTemplate();

}  // namespace res
