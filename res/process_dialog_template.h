#pragma once
// The backup progress dialog's template (dialog 135).
#include "platform/ui/dialog_template.h"

namespace res {

platform::ui::DialogTemplate ProcessDialogTemplate();

}  // namespace res
