#pragma once
// The message end of a window, a dialog's or a child control's: a registered
// window id that any thread may post to, messages delivered on the window
// thread through one handler, and timers by id that arrive through the same
// handler as WM_TIMER. The timers run on the window itself, as its own timer
// events. The port is a child of the window, so it goes away together with the
// window at the latest; posts to its id are dropped from then on.
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>

#include "platform/core/window_post.h"

namespace platform::ui {

class WindowPort : public QObject {
 public:
  using Handler = std::function<void(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>;
  WindowPort(QObject* window, Handler handler);
  ~WindowPort() override;
  WindowPort(const WindowPort&) = delete;
  WindowPort& operator=(const WindowPort&) = delete;

  WindowId Id() const { return id_; }
  // Delivers a message now.
  void Send(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  // Starting a running id restarts it. Returns the id, or 0 when it failed.
  unsigned SetTimer(unsigned id, int milliseconds);
  bool KillTimer(unsigned id);
  bool IsTimerRunning(unsigned id) const { return timers_.count(id) != 0; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QObject* window_;
  Handler handler_;
  WindowId id_;
  std::map<unsigned, int> timers_;  // our id -> Qt timer id
};

}  // namespace platform::ui
