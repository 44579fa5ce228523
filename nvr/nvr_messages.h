#pragma once
// The messages the recorder link posts to its notify windows.
#include "platform/core/window_post.h"

namespace nvr {

inline constexpr unsigned WM_DOWNLOAD_FINISHED = platform::WM_USER + 102;  // 0x466
inline constexpr unsigned WM_JOB_FINISHED = platform::WM_USER + 105;       // 0x469
inline constexpr unsigned WM_BACKUP_ID_READY = platform::WM_USER + 106;    // 0x46A

static_assert(WM_DOWNLOAD_FINISHED == 0x466 && WM_JOB_FINISHED == 0x469 && WM_BACKUP_ID_READY == 0x46A);

}  // namespace nvr
