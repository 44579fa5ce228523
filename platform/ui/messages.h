#pragma once
// Standard window-message numbers and notification codes the window layer
// carries, with the values the program's message tables were written against.
#include <cstdint>

#include "platform/core/message_box.h"
#include "platform/core/window_post.h"

namespace platform::ui {

inline constexpr unsigned WM_DESTROY = 0x0002;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_NOTIFY = 0x004E;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;
inline constexpr unsigned WM_TIMER = 0x0113;
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;  // lParam: client x (low word), y (high word)

// Notification codes (WM_COMMAND high word, WM_NOTIFY code).
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr unsigned LVN_ITEMCHANGED = static_cast<unsigned>(-101);
inline constexpr unsigned NM_RELEASEDCAPTURE = static_cast<unsigned>(-16);
inline constexpr unsigned TBN_DROPDOWN = static_cast<unsigned>(-710);

// Dialog results and the command ids of OK and Cancel: the box answers of the same name.
using platform::IDCANCEL;
using platform::IDOK;

// The toolbar's window id.
inline constexpr int AFX_IDW_TOOLBAR = 0xE800;

inline constexpr std::uintptr_t MakeWParam(unsigned low, unsigned high) {
  return (static_cast<std::uintptr_t>(high & 0xFFFF) << 16) | (low & 0xFFFF);
}
inline constexpr unsigned LoWord(std::uintptr_t v) { return static_cast<unsigned>(v & 0xFFFF); }
inline constexpr unsigned HiWord(std::uintptr_t v) { return static_cast<unsigned>((v >> 16) & 0xFFFF); }

}  // namespace platform::ui
