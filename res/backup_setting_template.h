#pragma once
// The backup settings' template (dialog 134).
#include "platform/ui/dialog_template.h"

namespace res {

platform::ui::DialogTemplate BackupSettingTemplate();

}  // namespace res
