#pragma once
// Runs the selection dialog for the main window's "Add" command: the operator
// picks a day, a span of it and the channels. Tests put their own choice in
// its place.
#include <array>
#include <functional>

#include "nvr/nvr_session.h"
#include "nvr/nvr_time.h"

// What the selection dialog hands back after OK (its record selection), as
// the job list takes it.
struct JobSelection {
  nvr::NvrTime startTime;
  nvr::NvrTime endTime;
  std::array<int, 16> channelFlags{};  // element n-1 is 1 when channel n is chosen
};

// The dialog's result (IDOK when `selection` was filled). The dialog reads the
// session's connection and play id, and never changes the session.
using SelectDialogRunner = std::function<int(nvr::NvrSession* session, JobSelection* selection)>;

// Installs a runner and returns the previous one; an empty runner restores the real dialog.
SelectDialogRunner SetSelectDialogRunner(SelectDialogRunner runner);

int RunSelectDialog(nvr::NvrSession* session, JobSelection* selection);
