#include "app/select_dialog_runner.h"

#include "platform/ui/messages.h"
#include "selection/select_dialog.h"

namespace {

SelectDialogRunner& Runner() {
  static SelectDialogRunner runner;
  return runner;
}

nvr::NvrTime FromBlock(const std::array<int, 9>& block) {
  nvr::NvrTime t;
  t.second = block[0];
  t.minute = block[1];
  t.hour = block[2];
  t.day = block[3];
  t.month = block[4];
  t.year = block[5];
  t.weekday = block[6];
  t.yearDay = block[7];
  t.daylight = block[8];
  return t;
}

int RunRealSelectDialog(nvr::NvrSession* session, JobSelection* selection) {
  CSelectDialog dialog;
  dialog.m_pSession = session;
  const int result = dialog.DoModal();
  if (result == platform::ui::IDOK && selection != nullptr) {
    selection->startTime = FromBlock(dialog.m_startTime);
    selection->endTime = FromBlock(dialog.m_endTime);
    selection->channelFlags = dialog.m_channelFlags;
  }
  return result;
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
