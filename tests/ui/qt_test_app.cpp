#include "tests/ui/qt_test_app.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace testing_ui {

QApplication& App() {
  static int argc = 1;
  static char name[] = "window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit.count()) return done();
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

void Pump(std::chrono::milliseconds span) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < span.count()) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

void ClickRow(QAbstractItemView& view, int row, Qt::KeyboardModifiers modifiers) {
  const QModelIndex cell = view.model()->index(row, 0);
  const QPointF at = QRectF(view.visualRect(cell)).center();
  const QPointF global = view.viewport()->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, modifiers);
  QApplication::sendEvent(view.viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, modifiers);
  QApplication::sendEvent(view.viewport(), &release);
}

namespace {
// Makes the application before any test runs, on the main thread.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { App(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace

}  // namespace testing_ui

// Fontconfig keeps a few allocations of its own for the life of the process;
// they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
