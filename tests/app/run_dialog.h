#pragma once
// Runs a dialog modally and acts inside its loop once it is shown; a dialog
// the action left running is ended with Cancel.
#include <QTimer>
#include <functional>

#include "platform/ui/dialog.h"

template <class D>
int RunDialog(D& dialog, std::function<void(D&)> act) {
  platform::ui::DialogShownHook previous =
      platform::ui::SetDialogShownHook([&dialog, act, &previous](platform::ui::Dialog& shown) {
        if (&shown == &dialog) {
          QTimer::singleShot(0, [&dialog, act] {
            act(dialog);
            if (dialog.HasWindow() && !dialog.HasEnded()) dialog.EndDialog(platform::ui::IDCANCEL);
          });
        } else if (previous) {
          previous(shown);
        }
      });
  const int result = dialog.DoModal();
  platform::ui::SetDialogShownHook(previous);
  return result;
}
