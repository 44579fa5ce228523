#pragma once
// Posting application messages to windows by id, from any thread.
// Worker threads hold window ids, never window pointers: a message posted to a
// window that is gone (or was never registered) is dropped.
#include <cstdint>
#include <functional>

namespace platform {

using WindowId = std::uint64_t;
inline constexpr WindowId kNoWindow = 0;

// Application message numbers start here, as on the platform the program came from.
inline constexpr unsigned WM_USER = 0x0400;

// Receives messages posted to one window. It is called with the registry lock
// held and from the posting thread, so it must only queue the message and return.
using MessageSink = std::function<void(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>;

// A fresh id; ids are never reused during the process's life.
WindowId NewWindowId();

void RegisterWindow(WindowId id, MessageSink sink);
// After this returns no sink call for the id is running or will start.
void UnregisterWindow(WindowId id);

// False when no window with that id is registered (the message is dropped).
bool PostWindowMessage(WindowId id, unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

}  // namespace platform
