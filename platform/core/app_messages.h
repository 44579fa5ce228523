#pragma once
// Application message numbers shared by the recorder link and the windows that
// receive its reports.
#include "platform/core/window_post.h"

namespace platform {

inline constexpr unsigned WM_DOWNLOAD_FINISHED = WM_USER + 102;  // 0x466
inline constexpr unsigned WM_JOB_FINISHED = WM_USER + 105;       // 0x469
inline constexpr unsigned WM_BACKUP_ID_READY = WM_USER + 106;    // 0x46A

static_assert(WM_DOWNLOAD_FINISHED == 0x466 && WM_JOB_FINISHED == 0x469 && WM_BACKUP_ID_READY == 0x46A);

}  // namespace platform
