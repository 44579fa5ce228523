// The window layer: modal loops and their teardown, posting by id from any
// thread, timers by (window, id), the dialog keyboard and the close box, and
// where a centred window stands.
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/placement.h"
#include "tests/ui/qt_test_app.h"

using namespace platform;
using namespace platform::ui;
using testing_ui::Pump;
using testing_ui::PumpUntil;

namespace {

constexpr unsigned kPing = WM_USER + 1;

DialogTemplate SmallTemplate(bool withDefaultButton = false) {
  DialogTemplate t;
  t.id = 1;
  t.caption = QStringLiteral("Test");
  t.cx = 120;
  t.cy = 60;
  t.controls.push_back({1001, ControlKind::PushButton, QStringLiteral("Other"), 5, 5, 40, 14, kVisible | kTabStop});
  if (withDefaultButton)
    t.controls.push_back({1002, ControlKind::DefPushButton, QStringLiteral("Go"), 50, 5, 40, 14, kVisible | kTabStop});
  return t;
}

class TestDialog : public Dialog {
 public:
  explicit TestDialog(DialogTemplate t = SmallTemplate()) : Dialog(std::move(t)) {}
  std::function<void(TestDialog&)> onInit;
  std::function<void(unsigned, std::uintptr_t, std::intptr_t)> onMessage;
  std::function<void(unsigned)> onTimer;
  int destroyed = 0;
  bool windowAtDestroy = false;
  std::vector<unsigned> commands;

  using Dialog::MapCommand;

 protected:
  bool OnInitDialog() override {
    Dialog::OnInitDialog();
    if (onInit) onInit(*this);
    return true;
  }
  bool OnWndMsg(unsigned msg, std::uintptr_t w, std::intptr_t l) override {
    if (msg >= WM_USER && onMessage) onMessage(msg, w, l);
    if (msg == WM_COMMAND) commands.push_back(LoWord(w));
    return Dialog::OnWndMsg(msg, w, l);
  }
  void OnTimer(unsigned id) override {
    if (onTimer) onTimer(id);
  }
  void OnDestroy() override {
    ++destroyed;
    windowAtDestroy = HasWindow() && Window() != nullptr;
  }
};

// Runs `act` inside the dialog's loop, once it has been shown.
int RunWith(TestDialog& dialog, std::function<void(TestDialog&)> act) {
  DialogShownHook previous = SetDialogShownHook([&](Dialog& shown) {
    if (&shown == &dialog) QTimer::singleShot(0, [&] { act(dialog); });
  });
  const int result = dialog.DoModal();
  SetDialogShownHook(previous);
  return result;
}

}  // namespace

TEST(DialogLoop, TearsDownItsWindowBeforeDoModalReturns) {
  TestDialog dialog;
  QPointer<QWidget> window;
  WindowId id = kNoWindow;
  const int result = RunWith(dialog, [&](TestDialog& d) {
    window = d.Window();
    id = d.Id();
    EXPECT_TRUE(PostWindowMessage(id, kPing));
    EXPECT_EQ(FindDialog(id), &d);
    EXPECT_EQ(ActiveModalDialog(), &d);
    d.EndDialog(7);
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(dialog.destroyed, 1);
  EXPECT_TRUE(dialog.windowAtDestroy);  // the destroy handler still saw its window
  EXPECT_TRUE(window.isNull());
  EXPECT_FALSE(dialog.HasWindow());
  EXPECT_EQ(dialog.Id(), kNoWindow);
  EXPECT_EQ(FindDialog(id), nullptr);
  EXPECT_FALSE(PostWindowMessage(id, kPing));
  EXPECT_EQ(ActiveModalDialog(), nullptr);
  // Runs again with a fresh, never-used id.
  WindowId second = kNoWindow;
  RunWith(dialog, [&](TestDialog& d) {
    second = d.Id();
    d.EndDialog(IDOK);
  });
  EXPECT_NE(second, id);
  EXPECT_NE(second, kNoWindow);
}

TEST(DialogLoop, EndingInsideInitialisationSkipsTheLoop) {
  TestDialog dialog;
  dialog.onInit = [](TestDialog& d) { d.EndDialog(IDCANCEL); };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.destroyed, 1);
}

TEST(DialogLoop, OperationsOnAGoneWindowDoNothing) {
  TestDialog dialog;
  EXPECT_EQ(dialog.SetTimer(1, 10), 0u);
  EXPECT_FALSE(dialog.KillTimer(1));
  EXPECT_FALSE(dialog.PostMessage(kPing));
  EXPECT_EQ(dialog.GetDlgItem(1001), nullptr);
  EXPECT_EQ(dialog.Client(), nullptr);
  dialog.Invalidate();
  dialog.SetWindowText(QStringLiteral("x"));
  dialog.EndDialog(IDOK);
  EXPECT_FALSE(dialog.IsIconic());
}

TEST(Posting, AWorkerReachesTheOuterWindowWhileANestedDialogRuns) {
  TestDialog outer;
  TestDialog inner;
  std::atomic<int> receivedWhileNested{0};
  int outerTicksWhileNested = 0;
  std::thread worker;
  outer.onTimer = [&](unsigned id) {
    if (id == 5 && inner.HasWindow()) ++outerTicksWhileNested;
  };
  outer.onMessage = [&](unsigned msg, std::uintptr_t w, std::intptr_t l) {
    if (msg != kPing) return;
    EXPECT_EQ(w, 11u);
    EXPECT_EQ(l, -2);
    if (inner.HasWindow()) {
      ++receivedWhileNested;
      // Let a few ticks of the outer timer through the nested loop too.
      QTimer::singleShot(120, [&] { inner.EndDialog(IDOK); });
    }
  };
  const int result = RunWith(outer, [&](TestDialog& o) {
    o.SetTimer(5, 10);
    const WindowId target = o.Id();
    RunWith(inner, [&](TestDialog&) {
      worker = std::thread([target] { PostWindowMessage(target, kPing, 11, -2); });
    });
    o.EndDialog(IDOK);
  });
  worker.join();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(receivedWhileNested.load(), 1);
  EXPECT_GT(outerTicksWhileNested, 2);
}

TEST(Posting, LateMessagesFromThreadsToAGoneWindowAreDropped) {
  TestDialog dialog;
  std::atomic<bool> stop{false};
  std::atomic<int> refused{0};
  std::atomic<WindowId> target{kNoWindow};
  int delivered = 0;
  dialog.onMessage = [&](unsigned msg, std::uintptr_t, std::intptr_t) {
    if (msg == kPing) ++delivered;
  };
  std::vector<std::thread> posters;
  for (int i = 0; i < 3; ++i)
    posters.emplace_back([&] {
      while (!stop) {
        const WindowId id = target.load();
        if (id != kNoWindow && !PostWindowMessage(id, kPing)) ++refused;
      }
    });
  RunWith(dialog, [&](TestDialog& d) {
    target = d.Id();
    QTimer::singleShot(50, [&] { d.EndDialog(IDOK); });
  });
  // The posters keep going after the window is gone.
  Pump(std::chrono::milliseconds(30));
  const int afterClose = delivered;
  Pump(std::chrono::milliseconds(30));
  stop = true;
  for (auto& t : posters) t.join();
  Pump(std::chrono::milliseconds(10));
  EXPECT_GT(afterClose, 0);
  EXPECT_EQ(delivered, afterClose);
  EXPECT_GT(refused.load(), 0);
}

TEST(Timers, AreKeptPerWindowAndIdAndStopWithTheWindow) {
  TestDialog outer;
  TestDialog inner;
  std::vector<unsigned> outerTicks, innerTicks;
  outer.onTimer = [&](unsigned id) { outerTicks.push_back(id); };
  inner.onTimer = [&](unsigned id) { innerTicks.push_back(id); };
  RunWith(outer, [&](TestDialog& o) {
    EXPECT_EQ(o.SetTimer(1, 15), 1u);
    EXPECT_EQ(o.SetTimer(1, 15), 1u);  // restarting the same id keeps one timer
    RunWith(inner, [&](TestDialog& i) {
      EXPECT_EQ(i.SetTimer(1, 15), 1u);
      EXPECT_EQ(i.SetTimer(3, 15), 3u);
      PumpUntil([&] { return innerTicks.size() >= 6 && outerTicks.size() >= 3; });
      EXPECT_TRUE(i.KillTimer(3));
      EXPECT_FALSE(i.KillTimer(3));
      i.EndDialog(IDOK);
    });
    EXPECT_FALSE(inner.IsTimerRunning(1));  // stopped with its window
    EXPECT_TRUE(o.IsTimerRunning(1));
    o.EndDialog(IDOK);
  });
  EXPECT_FALSE(outer.IsTimerRunning(1));
  for (unsigned id : outerTicks) EXPECT_EQ(id, 1u);
  EXPECT_NE(std::find(innerTicks.begin(), innerTicks.end(), 3u), innerTicks.end());
  const std::size_t before = outerTicks.size() + innerTicks.size();
  Pump(std::chrono::milliseconds(50));
  EXPECT_EQ(outerTicks.size() + innerTicks.size(), before);
}

// How the keyboard and the close box end a dialog.
TEST(DialogKeyboard, EscapeEnterAndTheCloseBoxTakeTheirPaths) {
  struct Case {
    const char* name;
    bool defaultButton;
    std::function<void(QWidget*)> act;
    int result;
    unsigned command;
  };
  auto key = [](int k) {
    return [k](QWidget* w) {
      QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
      QApplication::sendEvent(w, &press);
    };
  };
  const std::vector<Case> cases = {
      {"Escape", false, key(Qt::Key_Escape), IDCANCEL, IDCANCEL},
      {"Enter without a default button", false, key(Qt::Key_Return), IDOK, IDOK},
      {"keypad Enter", false, key(Qt::Key_Enter), IDOK, IDOK},
      {"Enter with a default button", true, key(Qt::Key_Return), 55, 1002},
      {"close box", false, [](QWidget* w) { w->close(); }, IDCANCEL, IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDialog dialog(SmallTemplate(c.defaultButton));
    dialog.MapCommand(1002, [&dialog] { dialog.EndDialog(55); });
    const int result = RunWith(dialog, [&](TestDialog& d) {
      // Focus away from the buttons, as when the operator is in a list.
      d.Window()->setFocus();
      c.act(d.Window());
      if (d.commands.empty()) d.EndDialog(-99);  // the key did nothing
    });
    EXPECT_EQ(result, c.result);
    ASSERT_FALSE(dialog.commands.empty());
    EXPECT_EQ(dialog.commands.front(), c.command);
  }
}

TEST(DialogKeyboard, TheCloseBoxDoesNotEndADialogThatRefusesCancel) {
  class Stubborn : public TestDialog {
   protected:
    void OnCancel() override { ++refusals; }

   public:
    int refusals = 0;
  } dialog;
  const int result = RunWith(dialog, [&](TestDialog& d) {
    d.Window()->close();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(d.Window(), &escape);
    EXPECT_TRUE(d.HasWindow());
    d.EndDialog(IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.refusals, 2);
}

TEST(DialogTemplates, PlaceControlsFromDialogUnits) {
  const DialogUnits units(7, 14);
  EXPECT_EQ(units.ToPixels(4, 41, 379, 149), QRect(7, 72, 663, 261));
  EXPECT_EQ(units.ToPixelsX(0), 0);
  EXPECT_EQ(units.ToPixelsY(1), 2);  // 14 / 8 rounds to 2

  const QFont font = TemplateFont(QStringLiteral("MS Shell Dlg"), 8);
  EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
  EXPECT_EQ(font.pixelSize(), 11);
  const DialogUnits measured(font);
  EXPECT_GE(measured.BaseX(), 5);
  EXPECT_LE(measured.BaseX(), 7);
  EXPECT_GE(measured.BaseY(), 12);
  EXPECT_LE(measured.BaseY(), 14);

  TestDialog dialog;
  RunWith(dialog, [&](TestDialog& d) {
    EXPECT_EQ(d.Client()->size(), QSize(d.Units().ToPixelsX(120), d.Units().ToPixelsY(60)));
    auto* button = d.Item<QPushButton>(1001);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), d.Units().ToPixels(5, 5, 40, 14));
    EXPECT_EQ(d.Window()->windowTitle(), QStringLiteral("Test"));
    d.EndDialog(IDOK);
  });
}

TEST(DialogCommands, AButtonClickRunsItsMappedHandler) {
  TestDialog dialog;
  int clicks = 0;
  dialog.MapCommand(1001, [&] { ++clicks; });
  RunWith(dialog, [&](TestDialog& d) {
    d.Item<QPushButton>(1001)->click();
    d.EndDialog(IDOK);
  });
  EXPECT_EQ(clicks, 1);
}

// A window centred over another stays within the screen's available area: an
// owner near an edge pushes it back inside, on each axis alone, and one larger
// than the area keeps its top-left corner, and so its caption, on the screen.
TEST(Placement, ACentredWindowStaysOnTheScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const int left = area.left(), top = area.top(), right = area.right() + 1, bottom = area.bottom() + 1;
  const QSize owner(100, 40), size(300, 200), huge(area.width() + 100, area.height() + 60);
  // Where `size` starts when centred over an owner whose top-left is at `at`.
  const auto centredX = [&](int at) { return QRect(QPoint(at, 0), owner).center().x() - size.width() / 2; };
  const auto centredY = [&](int at) { return QRect(QPoint(0, at), owner).center().y() - size.height() / 2; };
  const int midX = area.center().x() - owner.width() / 2, midY = area.center().y() - owner.height() / 2;
  const auto text = [](QPoint p) { return std::to_string(p.x()) + "," + std::to_string(p.y()); };
  struct Case {
    const char* name;
    std::optional<QPoint> ownerAt;  // none: centred on the screen
    QSize size;
    QPoint expected;
  };
  const Case cases[] = {
      {"over an owner in the middle", QPoint(midX, midY), size, QPoint(centredX(midX), centredY(midY))},
      {"over an owner in the top-left corner", QPoint(left - 40, top - 10), size, QPoint(left, top)},
      {"over an owner in the bottom-right corner", QPoint(right - 60, bottom - 30), size,
       QPoint(right - size.width(), bottom - size.height())},
      {"over an owner at the left edge", QPoint(left + 5, midY), size, QPoint(left, centredY(midY))},
      {"over an owner at the right edge", QPoint(right - 70, midY), size, QPoint(right - size.width(), centredY(midY))},
      {"over an owner at the top edge", QPoint(midX, top + 5), size, QPoint(centredX(midX), top)},
      {"over an owner at the bottom edge", QPoint(midX, bottom - 30), size,
       QPoint(centredX(midX), bottom - size.height())},
      {"over an owner wholly off the screen", QPoint(right + 500, top - 400), size,
       QPoint(right - size.width(), top)},
      {"larger than the screen, over an owner", QPoint(midX, midY), huge, QPoint(left, top)},
      {"larger than the screen, with no owner", std::nullopt, huge, QPoint(left, top)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget over;
    if (c.ownerAt) over.setGeometry(QRect(*c.ownerAt, owner));
    EXPECT_EQ(text(CentredOver(c.ownerAt ? &over : nullptr, c.size)), text(c.expected));
  }
}
