#include "platform/core/message_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <mutex>

#include "platform/core/files.h"

namespace platform {
namespace {

std::mutex& HandlerLock() {
  static std::mutex lock;
  return lock;
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

int FirstButton(unsigned type) {
  switch (type & 0xF) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
  }
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> hold(HandlerLock());
  MessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

int ShowMessageBox(WindowId owner, const QString& text, const QString& title, unsigned type) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> hold(HandlerLock());
    handler = Handler();
  }
  MessageBoxRequest request{owner, title, text, type};
  if (handler) return handler(request);
  std::fprintf(stderr, "[%s] %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
  return FirstButton(type);
}

int FrameworkMessageBox(const QString& text, unsigned type) {
  return ShowMessageBox(kNoWindow, text, ApplicationTitle(), type);
}

QString ApplicationTitle() {
  const QString exe = ExecutablePath();
  // Qt's own guess from the command line, or nothing without an application object.
  return exe.isEmpty() ? QCoreApplication::applicationName() : QFileInfo(exe).completeBaseName();
}

}  // namespace platform
