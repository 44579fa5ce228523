#include "app/select_dialog_runner.h"

#include "platform/ui/messages.h"

namespace {

SelectDialogRunner& Runner() {
  static SelectDialogRunner runner;
  return runner;
}

// The selection dialog is not part of this build yet: nothing is chosen.
int RunRealSelectDialog(nvr::NvrSession* session, JobSelection* selection) {
  (void)session;
  (void)selection;
  return platform::ui::IDCANCEL;
}

}  // namespace

SelectDialogRunner SetSelectDialogRunner(SelectDialogRunner runner) {
  SelectDialogRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}

int RunSelectDialog(nvr::NvrSession* session, JobSelection* selection) {
  if (Runner()) return Runner()(session, selection);
  return RunRealSelectDialog(session, selection);
}
