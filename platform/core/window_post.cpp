#include "platform/core/window_post.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_map<WindowId, MessageSink>& Registry() {
  static std::unordered_map<WindowId, MessageSink> sinks;
  return sinks;
}

}  // namespace

WindowId NewWindowId() {
  static std::atomic<WindowId> next{1};
  return next.fetch_add(1);
}

void RegisterWindow(WindowId id, MessageSink sink) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  Registry()[id] = std::move(sink);
}

void UnregisterWindow(WindowId id) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  Registry().erase(id);
}

bool PostWindowMessage(WindowId id, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (id == kNoWindow) return false;
  std::lock_guard<std::mutex> hold(RegistryLock());
  auto it = Registry().find(id);
  if (it == Registry().end() || !it->second) return false;
  it->second(msg, wParam, lParam);
  return true;
}

}  // namespace platform
