#pragma once
// Every message box goes through one function, so that tests can answer it in
// advance and record what was shown. The window layer installs the real box.
#include <QString>
#include <functional>

#include "platform/core/window_post.h"

namespace platform {

// Button sets and icons as the program's callers pass them.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

// Answers. IDOK and IDCANCEL are also the window layer's dialog results and
// the command ids of OK and Cancel.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
  WindowId owner = kNoWindow;
  QString title;
  QString text;
  unsigned type = MB_OK;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Installs a handler and returns the previous one. With none installed a box is
// written to standard error and answered with its first button.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The answer of a box's first button: IDYES for MB_YESNO, IDOK for the others.
int FirstButton(unsigned type);

// A box owned by a window, with its own title ("Error", "Warning", "Message").
int ShowMessageBox(WindowId owner, const QString& text, const QString& title, unsigned type = MB_OK);

// The framework's box: no owner, titled with the application's title.
int FrameworkMessageBox(const QString& text, unsigned type = MB_OK);

// The executable's file name without its extension.
QString ApplicationTitle();

}  // namespace platform
