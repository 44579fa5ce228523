#include "platform/ui/window_port.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>
#include <algorithm>

#include "platform/ui/messages.h"

namespace platform::ui {
namespace {

class PortMessageEvent : public QEvent {
 public:
  PortMessageEvent(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
      : QEvent(Type()), msg(msg), wParam(wParam), lParam(lParam) {}
  static QEvent::Type Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  unsigned msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

}  // namespace

WindowPort::WindowPort(QObject* window, Handler handler)
    : QObject(window), window_(window), handler_(std::move(handler)), id_(NewWindowId()) {
  window_->installEventFilter(this);
  RegisterWindow(id_, [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    // Runs under the registry lock, which the destructor takes before this
    // object goes, so posting to it here is safe from any thread.
    QCoreApplication::postEvent(this, new PortMessageEvent(msg, wParam, lParam));
  });
}

WindowPort::~WindowPort() {
  UnregisterWindow(id_);
  for (const auto& [ours, qt] : timers_) window_->killTimer(qt);
}

void WindowPort::Send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (handler_) handler_(msg, wParam, lParam);
}

unsigned WindowPort::SetTimer(unsigned id, int milliseconds) {
  KillTimer(id);
  const int qt = window_->startTimer(std::max(milliseconds, 0));
  if (qt == 0) return 0;
  timers_[id] = qt;
  return id;
}

bool WindowPort::KillTimer(unsigned id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  window_->killTimer(it->second);
  timers_.erase(it);
  return true;
}

bool WindowPort::event(QEvent* event) {
  if (event->type() == PortMessageEvent::Type()) {
    auto* message = static_cast<PortMessageEvent*>(event);
    Send(message->msg, message->wParam, message->lParam);
    return true;
  }
  return QObject::event(event);
}

bool WindowPort::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_ || event->type() != QEvent::Timer) return false;
  const int qt = static_cast<QTimerEvent*>(event)->timerId();
  for (const auto& [ours, theirs] : timers_) {
    if (theirs == qt) {
      Send(WM_TIMER, ours, 0);
      return true;
    }
  }
  return false;  // one of the window's own
}

}  // namespace platform::ui
