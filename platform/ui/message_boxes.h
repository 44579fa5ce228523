#pragma once
// The real message boxes, shown with Qt. The program installs them at start;
// tests install their own answers through platform::SetMessageBoxHandler.
#include "platform/core/message_box.h"

namespace platform::ui {

// Installs boxes over QMessageBox: a dialog's box is owned by that dialog and
// has no icon; the framework's box is owned by the innermost modal dialog (or
// the main window) and carries the warning icon.
void InstallMessageBoxes();

int ShowQtMessageBox(const MessageBoxRequest& request);

}  // namespace platform::ui
