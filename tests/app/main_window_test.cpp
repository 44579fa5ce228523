// The main window: its command state, its message hook, its timers while a
// nested dialog runs, and every way of closing it.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QToolButton>
#include <gtest/gtest.h>

#include <thread>

#include "app/about_dlg.h"
#include "app/brisnel_app.h"
#include "app/brisnel_dlg.h"
#include "nvr/nvr_messages.h"
#include "platform/core/files.h"
#include "res/resource.h"
#include "tests/app/box_recorder.h"
#include "tests/app/run_dialog.h"
#include "tests/ui/qt_test_app.h"

using namespace platform;
using testing_ui::PumpUntil;

// Starts the play-lease timer as the "Add" command will.
class CBrisnelDlgTestAccess {
 public:
  static void StartPlayLease(CBrisnelDlg& dlg) {
    dlg.m_nPlayLeaseTimer = static_cast<int>(dlg.SetTimer(CBrisnelDlg::TIMER_PLAY_LEASE, CBrisnelDlg::kLeasePeriodMs));
  }
};

namespace {

struct CommandState {
  bool add, remove, backup, logout;           // menu items
  bool toolAdd, toolRemove, toolBackup;       // toolbar buttons
};

CommandState StateOf(CBrisnelDlg& dlg) {
  ui::MenuBar* menu = dlg.MenuBar();
  ui::ToolBar& bar = dlg.ToolBar();
  auto on = [&](unsigned id) { return (bar.GetButtonState(id) & ui::TBBS_DISABLED) == 0; };
  return {menu->IsItemEnabled(ID_RUN_ADD), menu->IsItemEnabled(ID_RUN_REMOVE), menu->IsItemEnabled(ID_RUN_BACKUP),
          menu->IsItemEnabled(ID_RUN_LOGOUT), on(ID_TOOL_ADD), on(ID_TOOL_REMOVE), on(ID_TOOL_BACKUP)};
}

void ExpectState(CBrisnelDlg& dlg, const CommandState& want) {
  const CommandState got = StateOf(dlg);
  EXPECT_EQ(got.add, want.add);
  EXPECT_EQ(got.remove, want.remove);
  EXPECT_EQ(got.backup, want.backup);
  EXPECT_EQ(got.logout, want.logout);
  EXPECT_EQ(got.toolAdd, want.toolAdd);
  EXPECT_EQ(got.toolRemove, want.toolRemove);
  EXPECT_EQ(got.toolBackup, want.toolBackup);
  // Never changed by the state.
  EXPECT_TRUE(dlg.MenuBar()->IsItemEnabled(ID_RUN_EXIT));
  EXPECT_TRUE(dlg.MenuBar()->IsItemEnabled(ID_HELP_ABOUT));
  EXPECT_EQ(dlg.ToolBar().GetButtonState(ID_TOOL_REMOTE_SERVER) & ui::TBBS_DISABLED, 0u);
}

const CommandState kLoggedOut{false, false, false, false, false, false, false};
const CommandState kLoggedIn{true, false, false, true, true, false, false};

}  // namespace

TEST(MainWindow, StartsLoggedOutWithItsListMenuAndToolbar) {
  CBrisnelDlg dlg;
  RunDialog<CBrisnelDlg>(dlg, [](CBrisnelDlg& d) {
    ExpectState(d, kLoggedOut);
    EXPECT_EQ(d.Window()->windowTitle(), QStringLiteral("Tarnwell"));
    EXPECT_FALSE(d.Window()->windowIcon().isNull());

    ui::ListView* list = d.JobList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetItemCount(), 0);
    const QStringList headings = {"Start Time", "End Time", "Camera", "Disk Size"};
    const int widths[] = {150, 150, 150, 100};
    ASSERT_EQ(list->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(list->horizontalHeaderItem(c)->text(), headings[c]);
      EXPECT_EQ(list->columnWidth(c), widths[c]);
    }
    EXPECT_TRUE(list->horizontalHeaderItem(3)->textAlignment() & Qt::AlignRight);
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

    // The hidden buttons stay hidden.
    for (int id : {IDC_BTN_SELECT, IDC_BTN_OPEN, IDC_BTN_BACKUP, IDC_BTN_REMOVE}) {
      ASSERT_NE(d.GetDlgItem(id), nullptr);
      EXPECT_FALSE(d.GetDlgItem(id)->isVisible());
    }

    ui::ToolBar& bar = d.ToolBar();
    ASSERT_EQ(bar.ButtonCount(), 4);
    const unsigned ids[] = {ID_TOOL_REMOTE_SERVER, ID_TOOL_ADD, ID_TOOL_REMOVE, ID_TOOL_BACKUP};
    const QStringList tips = {"Remote Server", "Add", "Remove", "Backup"};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(bar.ButtonId(i), ids[i]);
      EXPECT_EQ(bar.ToolTip(ids[i]), tips[i]);
      EXPECT_FALSE(bar.Button(ids[i])->icon().isNull());
    }
    EXPECT_EQ(bar.Button(ID_TOOL_REMOTE_SERVER)->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(bar.Button(ID_TOOL_ADD)->size(), QSize(40, 40));
    // The toolbar runs along the top, above the list.
    EXPECT_EQ(bar.Widget()->y(), 0);
    EXPECT_LE(bar.Widget()->geometry().bottom(), list->geometry().top());
  });
}

// Maximised, the window keeps the toolbar along the top of its client area and
// the list where the template puts it; the added room is client area below and
// to the right, not bands around a centred block.
TEST(MainWindow, MaximisedKeepsItsToolbarAndListAtTheTopLeft) {
  CBrisnelDlg dlg;
  RunDialog<CBrisnelDlg>(dlg, [](CBrisnelDlg& d) {
    QWidget* window = d.Window();
    QWidget* client = d.Client();
    QWidget* bar = d.ToolBar().Widget();
    ui::ListView* list = d.JobList();
    ASSERT_TRUE(window && client && bar && list);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    auto placeIn = [window](QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
    const QRect clientBefore = placeIn(client);
    const QRect barBefore = placeIn(bar);
    const QRect listBefore = placeIn(list);
    const QSize normal = window->size();
    ASSERT_EQ(barBefore.topLeft(), clientBefore.topLeft());

    window->showMaximized();
    ASSERT_TRUE(PumpUntil([&] { return window->width() > normal.width() + 100 && window->height() > normal.height() + 100; }))
        << "the offscreen screen should be larger than the window";
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(placeIn(client).topLeft(), clientBefore.topLeft());
    EXPECT_EQ(placeIn(client).bottomRight(), window->rect().bottomRight());  // the added room is client area
    EXPECT_EQ(placeIn(bar).topLeft(), barBefore.topLeft());
    EXPECT_EQ(placeIn(list), listBefore);

    window->showNormal();
    ASSERT_TRUE(PumpUntil([&] { return window->size() == normal; }));
    EXPECT_EQ(placeIn(client), clientBefore);
    EXPECT_EQ(placeIn(list), listBefore);
  });
}

TEST(MainWindow, SetUiStateSwitchesTheCommandsForZeroAndOneOnly) {
  CBrisnelDlg dlg;
  RunDialog<CBrisnelDlg>(dlg, [](CBrisnelDlg& d) {
    d.SetUiState(0);
    ExpectState(d, kLoggedIn);
    d.SetUiState(1);
    ExpectState(d, kLoggedOut);
    d.SetUiState(0);
    // A state with rows (the job list's operations enable these).
    d.MenuBar()->EnableMenuItem(ID_RUN_BACKUP, ui::MF_ENABLED);
    d.ToolBar().SetButtonState(ID_TOOL_REMOVE, 0);
    const CommandState mixed{true, false, true, true, true, true, false};
    ExpectState(d, mixed);
    for (int other : {2, -1, 7}) {
      d.SetUiState(other);
      ExpectState(d, mixed);
    }
    // Tool tips are registered again for every value.
    EXPECT_EQ(d.ToolBar().ToolTip(ID_TOOL_BACKUP), QStringLiteral("Backup"));
  });
}

TEST(MainWindow, AFailedFileListIsReportedAndAddsNoRow) {
  BoxRecorder boxes;
  CBrisnelDlg dlg;
  RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
    const WindowId id = d.Id();
    std::thread worker([id] { PostWindowMessage(id, nvr::WM_JOB_FINISHED, 1, 1); });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return !boxes.boxes.empty(); }));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Failed to download File List"));
    EXPECT_EQ(boxes.boxes[0].title, ApplicationTitle());
    EXPECT_EQ(boxes.boxes[0].owner, kNoWindow);  // the framework's box
    EXPECT_EQ(boxes.boxes[0].type & 0xF, MB_OK);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
  });
}

TEST(MainWindow, ASecondBackupIdReadyStartsNoSecondTimer) {
  CBrisnelDlg dlg;
  EXPECT_EQ(dlg.BackupLeaseTimer(), -1);
  RunDialog<CBrisnelDlg>(dlg, [](CBrisnelDlg& d) {
    // Counts the window's timer events.
    struct TickCounter : QObject {
      int ticks = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Timer) ++ticks;
        return false;
      }
    } counter;
    d.Window()->installEventFilter(&counter);
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    QElapsedTimer clock;
    clock.start();
    d.PostMessage(nvr::WM_BACKUP_ID_READY);
    ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() != -1; }));
    EXPECT_EQ(d.BackupLeaseTimer(), static_cast<int>(CBrisnelDlg::TIMER_BACKUP_LEASE));
    testing_ui::Pump(std::chrono::milliseconds(600));
    d.PostMessage(nvr::WM_BACKUP_ID_READY);
    // A second timer (or a restarted one) would tick first 1600 ms after the first message.
    ASSERT_TRUE(PumpUntil([&] { return counter.ticks > 0; }, std::chrono::seconds(3)));
    EXPECT_LT(clock.elapsed(), 1400);
    EXPECT_EQ(d.BackupLeaseTimer(), static_cast<int>(CBrisnelDlg::TIMER_BACKUP_LEASE));
    EXPECT_TRUE(d.IsTimerRunning(CBrisnelDlg::TIMER_BACKUP_LEASE));
    EXPECT_FALSE(d.IsTimerRunning(CBrisnelDlg::TIMER_PLAY_LEASE));
    d.Window()->removeEventFilter(&counter);
  });
  EXPECT_EQ(dlg.BackupLeaseTimer(), -1);
}

TEST(MainWindow, WorkerMessagesReachItWhileTheAboutBoxRuns) {
  BoxRecorder boxes;
  CBrisnelDlg dlg;
  bool timerStartedWhileNested = false;
  bool boxShownWhileNested = false;
  std::thread worker;
  RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
    const WindowId mainId = d.Id();
    ui::DialogShownHook outer = ui::SetDialogShownHook(nullptr);
    ui::SetDialogShownHook([&](ui::Dialog& shown) {
      auto* about = dynamic_cast<CAboutDlg*>(&shown);
      if (about == nullptr) return;
      worker = std::thread([mainId] {
        PostWindowMessage(mainId, nvr::WM_BACKUP_ID_READY);
        PostWindowMessage(mainId, nvr::WM_JOB_FINISHED, 0, 1);
      });
      QTimer::singleShot(0, [&, about] {
        PumpUntil([&] { return d.BackupLeaseTimer() != -1 && !boxes.boxes.empty(); });
        timerStartedWhileNested = about->HasWindow() && d.BackupLeaseTimer() != -1;
        boxShownWhileNested = about->HasWindow() && !boxes.boxes.empty();
        about->EndDialog(ui::IDOK);
      });
    });
    d.SendCommand(ID_HELP_ABOUT);  // runs the about box's loop inside this one
    ui::SetDialogShownHook(outer);
  });
  worker.join();
  EXPECT_TRUE(timerStartedWhileNested);
  EXPECT_TRUE(boxShownWhileNested);
}

// "Exit", Escape, Enter and the close box all end the main window's loop,
// which stops both lease timers and leaves no window behind.
TEST(MainWindow, EveryWayOfClosingEndsItAndStopsBothTimers) {
  struct Case {
    const char* name;
    std::function<void(CBrisnelDlg&)> close;
    int result;
  };
  auto key = [](int k) {
    return [k](CBrisnelDlg& d) {
      QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
      // The job list has the focus; it lets the dialog keys through.
      QApplication::sendEvent(d.JobList(), &press);
    };
  };
  const std::vector<Case> cases = {
      {"Run > Exit", [](CBrisnelDlg& d) { d.MenuBar()->Item(ID_RUN_EXIT)->trigger(); }, ui::IDCANCEL},
      {"Escape", key(Qt::Key_Escape), ui::IDCANCEL},
      {"Enter", key(Qt::Key_Return), ui::IDOK},
      {"close box", [](CBrisnelDlg& d) { d.Window()->close(); }, ui::IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CBrisnelDlg dlg;
    bool closedByItself = false;
    const int result = RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
      CBrisnelDlgTestAccess::StartPlayLease(d);
      d.PostMessage(nvr::WM_BACKUP_ID_READY);
      ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() != -1; }));
      ASSERT_NE(d.PlayLeaseTimer(), -1);
      c.close(d);
      closedByItself = PumpUntil([&] { return d.HasEnded(); }, std::chrono::seconds(2));
    });
    EXPECT_TRUE(closedByItself);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(dlg.PlayLeaseTimer(), -1);
    EXPECT_EQ(dlg.BackupLeaseTimer(), -1);
    EXPECT_FALSE(dlg.IsTimerRunning(CBrisnelDlg::TIMER_PLAY_LEASE));
    EXPECT_FALSE(dlg.IsTimerRunning(CBrisnelDlg::TIMER_BACKUP_LEASE));
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
  }
}

TEST(Application, InitInstanceRunsTheMainWindowToItsEndAndReturnsFalse) {
  CBrisnelDlg* seen = nullptr;
  ui::DialogShownHook previous = ui::SetDialogShownHook([&](ui::Dialog& shown) {
    auto* main = dynamic_cast<CBrisnelDlg*>(&shown);
    if (main == nullptr) return;
    seen = main;
    EXPECT_EQ(theApp.MainWindow(), main);
    EXPECT_EQ(ui::MainDialog(), main);
    QTimer::singleShot(0, [main] {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(main->Window(), &escape);
    });
  });
  EXPECT_FALSE(theApp.InitInstance());
  ui::SetDialogShownHook(previous);
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(theApp.MainWindow(), nullptr);
  EXPECT_EQ(ui::MainDialog(), nullptr);  // the deleted window is no box owner any more
  EXPECT_FALSE(theApp.RegistryKey().isEmpty());
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
}

// The about box opens from "Help" > "About" and from the system command of
// its entry, and closes with OK, Escape and its close box.
TEST(AboutBox, OpensFromBothEntriesAndClosesEveryWay) {
  struct Close {
    const char* name;
    std::function<void(CAboutDlg&)> act;
    int result;
  };
  const std::vector<Close> closes = {
      {"OK", [](CAboutDlg& a) { a.Item<QPushButton>(ui::IDOK)->click(); }, ui::IDOK},
      {"Escape",
       [](CAboutDlg& a) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(a.Window(), &escape);
       },
       ui::IDCANCEL},
      {"close box", [](CAboutDlg& a) { a.Window()->close(); }, ui::IDCANCEL},
  };
  const std::vector<std::pair<const char*, std::function<void(CBrisnelDlg&)>>> opens = {
      {"Help > About", [](CBrisnelDlg& d) { d.SendCommand(ID_HELP_ABOUT); }},
      {"system menu entry", [](CBrisnelDlg& d) { d.SendMessage(ui::WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }},
  };
  for (const auto& [openName, open] : opens) {
    for (const Close& close : closes) {
      SCOPED_TRACE(std::string(openName) + " / " + close.name);
      CBrisnelDlg dlg;
      int shown = 0;
      bool closedItself = false;
      RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
        ui::DialogShownHook outer = ui::SetDialogShownHook([&](ui::Dialog& s) {
          auto* about = dynamic_cast<CAboutDlg*>(&s);
          if (about == nullptr) return;
          ++shown;
          EXPECT_EQ(about->Window()->windowTitle(), QStringLiteral("About Tarnwell"));
          EXPECT_EQ(about->Window()->parentWidget(), d.Window());
          QStringList texts;
          for (QLabel* label : about->Window()->findChildren<QLabel*>()) texts << label->text();
          EXPECT_TRUE(texts.contains(QStringLiteral("Tarnwell V2.2.2")));
          QTimer::singleShot(0, [&, about] {
            close.act(*about);
            closedItself = about->HasEnded();
            if (!closedItself) about->EndDialog(-7);
          });
        });
        open(d);
        ui::SetDialogShownHook(outer);
      });
      EXPECT_EQ(shown, 1);
      EXPECT_TRUE(closedItself);
    }
  }
  // Any other system command does nothing of the program's own.
  CBrisnelDlg dlg;
  int shown = 0;
  RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
    ui::DialogShownHook outer = ui::SetDialogShownHook([&](ui::Dialog&) { ++shown; });
    d.SendMessage(ui::WM_SYSCOMMAND, 0xF020, 0);
    ui::SetDialogShownHook(outer);
  });
  EXPECT_EQ(shown, 0);
}

// The hidden "Remove" button clears the rows; the jobs they stand for go with them.
TEST(MainWindow, ClearingTheListDropsItsJobsAndGraysBackup) {
  CBrisnelDlg dlg;
  RunDialog<CBrisnelDlg>(dlg, [](CBrisnelDlg& d) {
    for (int i = 0; i < 2; ++i) {
      auto job = std::make_unique<nvr::BackupJob>();
      job->id = 999990 + i;  // no such answer file exists
      d.Session().jobs.Push(std::move(job));
      d.JobList()->InsertItem(i, QStringLiteral("row"));
    }
    d.MenuBar()->EnableMenuItem(ID_RUN_BACKUP, ui::MF_ENABLED);
    d.SendCommand(IDC_BTN_REMOVE);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
    EXPECT_FALSE(d.MenuBar()->IsItemEnabled(ID_RUN_BACKUP));
    EXPECT_FALSE(d.GetDlgItem(IDC_BTN_BACKUP)->isEnabled());
    // The hidden "Backup" button does nothing.
    d.SendCommand(IDC_BTN_BACKUP);
    EXPECT_TRUE(d.HasWindow());
    EXPECT_FALSE(d.HasEnded());
  });
}

// After its window is gone, late messages and state changes do nothing.
TEST(MainWindow, LateCallsAfterItsWindowIsGoneAreHarmless) {
  BoxRecorder boxes;
  CBrisnelDlg dlg;
  WindowId id = kNoWindow;
  RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) { id = d.Id(); });
  EXPECT_FALSE(PostWindowMessage(id, nvr::WM_JOB_FINISHED, 0, 1));
  std::thread late([id] { EXPECT_FALSE(PostWindowMessage(id, nvr::WM_BACKUP_ID_READY)); });
  late.join();
  dlg.SetUiState(0);
  dlg.SetUiState(1);
  dlg.SendMessage(nvr::WM_BACKUP_ID_READY);
  EXPECT_EQ(dlg.BackupLeaseTimer(), -1);
  EXPECT_EQ(dlg.JobList(), nullptr);
  dlg.SendCommand(IDC_BTN_REMOVE);
  dlg.SendCommand(ID_RUN_EXIT);
  testing_ui::Pump(std::chrono::milliseconds(20));
  EXPECT_TRUE(boxes.boxes.empty());
}

// Deleting the main window drops the queued jobs with their answer files.
TEST(MainWindow, DeletingItRemovesTheQueuedJobsWithTheirAnswerFiles) {
  const QString answer = platform::ExecutableFolder() + QStringLiteral("987651.txt");
  {
    QFile file(answer);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("total,1\n");
  }
  auto dlg = std::make_unique<CBrisnelDlg>();
  RunDialog<CBrisnelDlg>(*dlg, [](CBrisnelDlg& d) {
    auto job = std::make_unique<nvr::BackupJob>();
    job->id = 987651;
    d.Session().jobs.Push(std::move(job));
  });
  EXPECT_TRUE(QFile::exists(answer));  // closing the window alone keeps them
  EXPECT_EQ(dlg->Session().jobs.Count(), 1);
  dlg.reset();
  EXPECT_FALSE(QFile::exists(answer));
}
