#pragma once
// Messages the calendar and the time-line bar post to the window that holds them.
#include "platform/core/window_post.h"

namespace selection {

// wParam 1: a day with recordings was chosen; 0: the month or the year changed.
// Posted to the calendar by a day cell, wParam carries the day.
inline constexpr unsigned WM_CALENDAR_PICK = platform::WM_USER + 100;
// A selection was made on the time line; read it from the bar.
inline constexpr unsigned WM_TIMELINE_SELECT = platform::WM_USER + 101;

static_assert(WM_CALENDAR_PICK == 0x464 && WM_TIMELINE_SELECT == 0x465);

}  // namespace selection
