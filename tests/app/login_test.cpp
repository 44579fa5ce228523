// Logging in and out of the main window against the simulated recorder on
// loopback: from the server manager and from the history, the texts of the
// results, the lease timers and their ticks, and a login thread that is still
// running when the window goes. The echo probe is answered by a seam.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/brisnel_dlg.h"
#include "app/loading_page.h"
#include "app/remote_dialog.h"
#include "app/server_manager_runner.h"
#include "nvr/nvr_messages.h"
#include "platform/core/icmp_socket.h"
#include "platform/core/message_box.h"
#include "platform/core/ini_file.h"
#include "platform/ui/popup_menu.h"
#include "res/resource.h"
#include "sim_recorder.h"
#include "tests/app/run_dialog.h"
#include "tests/ui/qt_test_app.h"

using namespace platform;
using testing_ui::Pump;
using testing_ui::PumpUntil;

// Starts the play-lease timer as the "Add" command will.
class CBrisnelDlgTestAccess {
 public:
  static void StartPlayLease(CBrisnelDlg& dlg) {
    dlg.m_nPlayLeaseTimer = static_cast<int>(dlg.SetTimer(CBrisnelDlg::TIMER_PLAY_LEASE, CBrisnelDlg::kLeasePeriodMs));
  }
};

namespace {


// Records every box, answers OK, and may act inside a box first.
class Boxes {
 public:
  Boxes() {
    previous_ = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
      shown.push_back(r);
      ++open;
      maxOpen = std::max(maxOpen, open);
      if (inside) inside(r);
      --open;
      return IDOK;
    });
  }
  ~Boxes() { SetMessageBoxHandler(previous_); }
  std::vector<MessageBoxRequest> shown;
  std::function<void(const MessageBoxRequest&)> inside;
  int open = 0;
  int maxOpen = 0;

 private:
  MessageBoxHandler previous_;
};

// Acts on every loading page once it shows.
class LoadingPages {
 public:
  explicit LoadingPages(std::function<void(CLoadingPage&)> act = nullptr) : act_(std::move(act)) {
    previous_ = ui::SetDialogShownHook([this](ui::Dialog& d) {
      if (auto* page = dynamic_cast<CLoadingPage*>(&d)) {
        ++shown;
        if (act_) QTimer::singleShot(0, [this, page] { act_(*page); });
      } else if (previous_) {
        previous_(d);
      }
    });
  }
  ~LoadingPages() { ui::SetDialogShownHook(previous_); }
  int shown = 0;

 private:
  std::function<void(CLoadingPage&)> act_;
  ui::DialogShownHook previous_;
};

bool LoggedInState(CBrisnelDlg& d) {
  return d.MenuBar()->IsItemEnabled(ID_RUN_ADD) && d.MenuBar()->IsItemEnabled(ID_RUN_LOGOUT) &&
         (d.ToolBar().GetButtonState(ID_TOOL_ADD) & ui::TBBS_DISABLED) == 0;
}
bool LoggedOutState(CBrisnelDlg& d) {
  return !d.MenuBar()->IsItemEnabled(ID_RUN_ADD) && !d.MenuBar()->IsItemEnabled(ID_RUN_LOGOUT) &&
         (d.ToolBar().GetButtonState(ID_TOOL_ADD) & ui::TBBS_DISABLED) != 0;
}

void AddJobWithRow(CBrisnelDlg& d, int id) {
  auto job = std::make_unique<nvr::BackupJob>();
  job->id = id;  // no answer file of that name exists
  d.Session().jobs.Push(std::move(job));
  d.JobList()->InsertItem(d.JobList()->GetItemCount(), QStringLiteral("row"));
}

// Presses the arrow part of the "Remote Server" button.
void PressHistoryArrow(CBrisnelDlg& d) {
  auto* button = dynamic_cast<ui::DropDownToolButton*>(d.ToolBar().Button(ID_TOOL_REMOTE_SERVER));
  ASSERT_NE(button, nullptr);
  const QPointF at = button->ArrowRect().center();
  QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(button, &press);
}

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = std::make_unique<sim::SimRecorder>();
    ASSERT_TRUE(recorder->Start()) << recorder->Error();
    previousProbe_ = SetEchoProbeOverride([this](const QString& host) {
      if (probeDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(probeDelayMs));
      return host == QLatin1String("127.0.0.1");
    });
    previousRunner_ = SetServerManagerRunner([this](ServerEntry& entry) {
      ++managerRuns;
      if (!choice) return false;
      entry = *choice;
      return true;
    });
    ASSERT_TRUE(dir.isValid());
    historyPath = dir.filePath(QStringLiteral("history.ini"));
  }
  void TearDown() override {
    SetEchoProbeOverride(previousProbe_);
    SetServerManagerRunner(previousRunner_);
  }

  QString Port() const { return QString::number(recorder->Port()); }
  QString SimLine(const QString& name = QStringLiteral("Sim")) const {
    return name + QStringLiteral(",127.0.0.1,") + Port() + QStringLiteral(",admin,admin;");
  }

  void Choose(const QString& name, const QString& ip, const QString& port, const QString& user,
              const QString& password) {
    ServerEntry e;
    e.SetServerName(name);
    e.SetIp(ip);
    e.SetPort(port);
    e.SetUserName(user);
    e.SetPassword(password);
    choice = e;
  }
  void ChooseSim(const QString& name = QStringLiteral("Lobby")) {
    Choose(name, QStringLiteral("127.0.0.1"), Port(), QStringLiteral("admin"), QStringLiteral("admin"));
  }

  void WriteHistory(const QStringList& lines) {
    QFile f(historyPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[history]\n");
    for (int i = 0; i < lines.size(); ++i) f.write(QStringLiteral("history%1=%2\n").arg(i + 1).arg(lines[i]).toUtf8());
  }

  // Runs the main window with the history file of this test and acts inside it.
  void Run(CBrisnelDlg& dlg, const std::function<void(CBrisnelDlg&)>& act) {
    dlg.m_historyPath = historyPath;
    RunDialog<CBrisnelDlg>(dlg, act);
  }

  // Logs in from "Remote Server" and checks that it worked.
  void LogIn(CBrisnelDlg& d) {
    ChooseSim();
    d.SendCommand(ID_TOOL_REMOTE_SERVER);
    ASSERT_EQ(d.Session().loggedIn.load(), 1);
  }

  std::unique_ptr<sim::SimRecorder> recorder;
  Boxes boxes;
  QTemporaryDir dir;
  QString historyPath;
  std::optional<ServerEntry> choice;
  int managerRuns = 0;
  std::atomic<int> probeDelayMs{0};

 private:
  EchoProbeOverride previousProbe_;
  ServerManagerRunner previousRunner_;
};

}  // namespace

TEST_F(LoginTest, RemoteServerLoginTellsItsResult) {
  struct Case {
    const char* name;
    std::function<void(sim::SimRecorder&)> prepare;
    QString ip;
    bool success;
    size_t loginRequests;
  };
  const std::vector<Case> cases = {
      {"login=1", nullptr, "127.0.0.1", true, 1},
      {"refused (login=0): no second try",
       [](sim::SimRecorder& r) { r.AddFault(sim::FaultRule::For(sim::Request::Login, sim::FaultKind::RefuseLogin)); },
       "127.0.0.1", false, 1},
      {"no decision twice",
       [](sim::SimRecorder& r) {
         r.AddFault(sim::FaultRule::For(sim::Request::Login, sim::FaultKind::LoginNoDecision));
       },
       "127.0.0.1", false, 2},
      {"no echo reply: no request at all", nullptr, "127.0.0.2", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    recorder->ClearRequests();
    boxes.shown.clear();
    if (c.prepare) c.prepare(*recorder);
    WriteHistory({"Old,10.1.1.1,80,u,p;"});
    Choose(QStringLiteral("Lobby"), c.ip, Port(), QStringLiteral("admin"), QStringLiteral("admin"));
    CBrisnelDlg dlg;
    LoadingPages pages;
    Run(dlg, [&](CBrisnelDlg& d) {
      d.SendCommand(ID_TOOL_REMOTE_SERVER);
      EXPECT_FALSE(d.LoginRunning());
      EXPECT_GE(pages.shown, 1);
      ASSERT_EQ(boxes.shown.size(), 1u);
      const MessageBoxRequest& box = boxes.shown[0];
      EXPECT_EQ(box.owner, d.Id());
      EXPECT_EQ(box.type, MB_OK);
      if (c.success) {
        EXPECT_EQ(box.text, QStringLiteral("Lobby(127.0.0.1) Login Success!"));
        EXPECT_EQ(box.title, QStringLiteral("Message"));
        EXPECT_TRUE(LoggedInState(d));
        EXPECT_EQ(d.History().Entry(0), QStringLiteral("Lobby,127.0.0.1,") + Port() + QStringLiteral(",admin,admin;"));
        EXPECT_EQ(d.History().Entry(1), QStringLiteral("Old,10.1.1.1,80,u,p;"));
      } else {
        EXPECT_EQ(box.text, QStringLiteral("Lobby(") + c.ip + QStringLiteral(") Login failed!"));
        EXPECT_EQ(box.title, QStringLiteral("Error"));
        EXPECT_TRUE(LoggedOutState(d));
        EXPECT_EQ(d.Session().loggedIn.load(), 0);
        EXPECT_EQ(d.History().Entry(0), QStringLiteral("Old,10.1.1.1,80,u,p;"));
        EXPECT_EQ(d.History().Entry(1), QString());
      }
    });
    EXPECT_EQ(recorder->RequestCount(sim::Request::Login), c.loginRequests);
    if (c.loginRequests == 0) {
      EXPECT_EQ(recorder->RequestCount(), 0u);
    }
  }
}

TEST_F(LoginTest, SameAddressDoesNothingButItsHistoryEntryLogsInAgain) {
  CBrisnelDlg dlg;
  Run(dlg, [&](CBrisnelDlg& d) {
    LogIn(d);
    ASSERT_EQ(boxes.shown.size(), 1u);
    recorder->ClearRequests();

    // The same address with another port, user name and password: nothing.
    Choose(QStringLiteral("Other"), QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("x"),
           QStringLiteral("y"));
    d.SendCommand(IDC_BTN_OPEN);  // the hidden button runs the same command
    EXPECT_EQ(managerRuns, 2);
    // Cancel in the server manager: nothing either.
    choice.reset();
    d.SendCommand(ID_TOOL_REMOTE_SERVER);
    EXPECT_EQ(managerRuns, 3);
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder->RequestCount(), 0u);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(d.Session().loggedIn.load(), 1);

    // Its history entry: out and in again.
    d.SendCommand(ID_HISTORY_FIRST);
    EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);
    EXPECT_EQ(recorder->RequestCount(sim::Request::Login), 1u);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Lobby(127.0.0.1) Login Success!"));
    EXPECT_EQ(d.History().Entry(0), QStringLiteral("Lobby,127.0.0.1,") + Port() + QStringLiteral(",admin,admin;"));
    EXPECT_EQ(d.History().Entry(1), QString());
  });
}

TEST_F(LoginTest, HistoryMenuOffersTheEntriesAndLogsInWithTheChosenOne) {
  WriteHistory({"A,10.0.0.5,80,u,p;", "", "X", SimLine(), "N,"});
  std::vector<ui::PopupMenuRequest> offered;
  unsigned answer = 0;
  ui::PopupMenuHandler previous = ui::SetPopupMenuHandler([&](const ui::PopupMenuRequest& r) {
    offered.push_back(r);
    return answer;
  });
  auto dlg = std::make_unique<CBrisnelDlg>();
  Run(*dlg, [&](CBrisnelDlg& d) {
    // Clicking elsewhere: no command.
    PressHistoryArrow(d);
    ASSERT_EQ(offered.size(), 1u);
    const std::vector<std::pair<unsigned, QString>> want = {{32777, "A(10.0.0.5)"}, {32780, "Sim(127.0.0.1)"},
                                                            {32781, "N()"}};
    ASSERT_EQ(offered[0].items.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(offered[0].items[i].id, want[i].first);
      EXPECT_EQ(offered[0].items[i].text, want[i].second);
    }
    // Left-aligned under the button, which it must not cover.
    QToolButton* button = d.ToolBar().Button(ID_TOOL_REMOTE_SERVER);
    const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_EQ(offered[0].exclude, global);
    EXPECT_EQ(offered[0].topLeft, QPoint(global.left(), global.bottom() + 1));
    EXPECT_EQ(offered[0].owner, d.Window());
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder->RequestCount(), 0u);
    EXPECT_EQ(managerRuns, 0);  // the arrow opens no server manager

    // Choosing the recorder's entry logs in with its fields.
    answer = 32780;
    PressHistoryArrow(d);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.shown.empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Sim(127.0.0.1) Login Success!"));
    EXPECT_TRUE(LoggedInState(d));
    ASSERT_EQ(recorder->RequestCount(sim::Request::Login), 1u);
    EXPECT_TRUE(recorder->Requests(sim::Request::Login)[0].authorised);
    // Its line went to the top; the others kept their order.
    const QString order[] = {SimLine(), "A,10.0.0.5,80,u,p;", "", "X", "N,"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(d.History().Entry(i), order[i]);

    // An empty entry, and an id past the entries: nothing.
    recorder->ClearRequests();
    d.SendCommand(ID_HISTORY_FIRST + 2);
    d.SendCommand(ID_HISTORY_LAST);
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder->RequestCount(), 0u);
    EXPECT_EQ(boxes.shown.size(), 1u);

    // The button itself opens the server manager.
    button->click();
    ASSERT_TRUE(PumpUntil([&] { return managerRuns == 1; }));
  });
  ui::SetPopupMenuHandler(previous);
  // Deleting the window writes the history, as the file exists.
  dlg.reset();
  EXPECT_EQ(ReadProfileString(historyPath, "history", "history1"), SimLine());
  EXPECT_EQ(ReadProfileString(historyPath, "history", "history2"), "A,10.0.0.5,80,u,p;");
  EXPECT_EQ(ReadProfileString(historyPath, "history", "history10", "(none)"), "");
}

TEST_F(LoginTest, WithoutAHistoryFileNothingIsWrittenAtExit) {
  {
    CBrisnelDlg dlg;
    Run(dlg, [&](CBrisnelDlg& d) {
      LogIn(d);
      EXPECT_FALSE(d.History().Entry(0).isEmpty());
    });
  }
  EXPECT_FALSE(QFile::exists(historyPath));
  EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);  // the deleted window left the recorder
}

TEST_F(LoginTest, LogoutEmptiesTheListStopsBothLeasesAndSendsLogout) {
  CBrisnelDlg dlg;
  Run(dlg, [&](CBrisnelDlg& d) {
    LogIn(d);
    d.Session().notifyWindow = d.Id();
    d.Session().AcquireBackupId();
    ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() != -1; }));
    CBrisnelDlgTestAccess::StartPlayLease(d);
    AddJobWithRow(d, 999971);
    d.MenuBar()->Item(ID_RUN_LOGOUT)->trigger();
    ASSERT_TRUE(PumpUntil([&] { return d.Session().loggedIn.load() == 0; }));
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
    EXPECT_EQ(d.PlayLeaseTimer(), -1);
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_EQ(d.Session().backupId.load(), -1);
    EXPECT_TRUE(LoggedOutState(d));
    EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);
    EXPECT_EQ(boxes.shown.size(), 1u);  // only the login's
    // No tick comes back to renew or to log in again.
    const size_t before = recorder->RequestCount();
    Pump(std::chrono::milliseconds(2500));
    EXPECT_EQ(recorder->RequestCount(), before);
  });
  EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);  // deleting a logged-out window sends nothing
}

TEST_F(LoginTest, BackupLeaseRenewsAndAFailedRenewalLeavesTheRecorderSilently) {
  CBrisnelDlg dlg;
  Run(dlg, [&](CBrisnelDlg& d) {
    LogIn(d);
    d.Session().notifyWindow = d.Id();
    d.Session().AcquireBackupId();  // posts WM_BACKUP_ID_READY, which starts the timer
    ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() != -1; }));
    const int id = d.Session().backupId.load();
    ASSERT_GE(id, 0);
    ASSERT_TRUE(
        PumpUntil([&] { return recorder->RequestCount(sim::Request::RenewBackupId) >= 2; }, std::chrono::seconds(4)));
    EXPECT_EQ(recorder->Requests(sim::Request::RenewBackupId)[0].target,
              "/config/getbackupid?id=" + std::to_string(id));
    EXPECT_EQ(d.Session().loggedIn.load(), 1);

    AddJobWithRow(d, 999972);
    recorder->ExpireBackupId(id);  // the next renewal is answered without "id"
    ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() == -1; }, std::chrono::seconds(4)));
    EXPECT_EQ(d.Session().loggedIn.load(), 0);
    EXPECT_EQ(d.Session().backupId.load(), -1);
    EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
    EXPECT_TRUE(LoggedOutState(d));
    EXPECT_EQ(boxes.shown.size(), 1u);
    const size_t renewals = recorder->RequestCount(sim::Request::RenewBackupId);
    Pump(std::chrono::milliseconds(1500));
    EXPECT_EQ(recorder->RequestCount(sim::Request::RenewBackupId), renewals);
  });
}

TEST_F(LoginTest, EveryLoginStopsTheBackupLease) {
  WriteHistory({SimLine(), "Nowhere,127.0.0.2,80,u,p;"});
  const std::vector<std::pair<const char*, std::function<void(CBrisnelDlg&)>>> logins = {
      {"history, same recorder", [](CBrisnelDlg& d) { d.SendCommand(ID_HISTORY_FIRST); }},
      {"history, another recorder that fails", [](CBrisnelDlg& d) { d.SendCommand(ID_HISTORY_FIRST + 1); }},
      {"server manager, another address",
       [this](CBrisnelDlg& d) {
         Choose("Far", "127.0.0.3", "80", "u", "p");
         d.SendCommand(ID_TOOL_REMOTE_SERVER);
       }},
  };
  for (const auto& [name, login] : logins) {
    SCOPED_TRACE(name);
    CBrisnelDlg dlg;
    Run(dlg, [&, login = login](CBrisnelDlg& d) {
      LogIn(d);
      d.PostMessage(nvr::WM_BACKUP_ID_READY);
      ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() != -1; }));
      login(d);
      EXPECT_EQ(d.BackupLeaseTimer(), -1);
      EXPECT_FALSE(d.IsTimerRunning(CBrisnelDlg::TIMER_BACKUP_LEASE));
    });
  }
}

TEST_F(LoginTest, PlayLeaseTickRenewsOrLogsInAgain) {
  CBrisnelDlg dlg;
  Run(dlg, [&](CBrisnelDlg& d) {
    LogIn(d);
    CBrisnelDlgTestAccess::StartPlayLease(d);
    // The first tick takes an id (none is held), the next ones renew it.
    ASSERT_TRUE(
        PumpUntil([&] { return recorder->RequestCount(sim::Request::RenewPlayId) >= 1; }, std::chrono::seconds(4)));
    EXPECT_EQ(recorder->RequestCount(sim::Request::GetPlayId), 1u);
    EXPECT_EQ(recorder->Requests(sim::Request::RenewPlayId)[0].target,
              "/play/getid?id=" + std::to_string(d.Session().playId.load()));

    // Logged out behind the window's back: the tick logs in and takes a new id,
    // and the window stays logged in, its job commands following the rows.
    AddJobWithRow(d, 999973);
    d.Session().Logout();
    recorder->ClearRequests();
    ASSERT_TRUE(
        PumpUntil([&] { return recorder->RequestCount(sim::Request::GetPlayId) >= 1; }, std::chrono::seconds(5)));
    EXPECT_EQ(recorder->RequestCount(sim::Request::Login), 1u);
    EXPECT_EQ(d.Session().loggedIn.load(), 1);
    EXPECT_TRUE(LoggedInState(d));
    EXPECT_TRUE(d.MenuBar()->IsItemEnabled(ID_RUN_REMOVE));
    EXPECT_TRUE(d.MenuBar()->IsItemEnabled(ID_RUN_BACKUP));
    EXPECT_EQ(boxes.shown.size(), 1u);
  });
}

// A failed renewal leaves the recorder and the window logged out; a lease
// tick that logs the session in again (the backup lease restarted by a resume
// that took a new backup id, the playback lease of an open selection dialog)
// brings the window's commands back with it, without a box. A tick whose login
// fails leaves the window logged out.
TEST_F(LoginTest, ALeaseTickThatLogsInTakesTheLoggedInState) {
  struct Case {
    const char* name;
    bool backupLease;
    bool refused;
  };
  const Case cases[] = {
      {"backup lease", true, false},
      {"playback lease", false, false},
      {"backup lease, login refused", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    boxes.shown.clear();
    CBrisnelDlg dlg;
    Run(dlg, [&](CBrisnelDlg& d) {
      LogIn(d);
      d.Session().notifyWindow = d.Id();
      d.Session().AcquireBackupId();
      ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() != -1; }));
      recorder->ExpireBackupId(d.Session().backupId.load());
      ASSERT_TRUE(PumpUntil([&] { return d.BackupLeaseTimer() == -1; }, std::chrono::seconds(4)));
      ASSERT_EQ(d.Session().loggedIn.load(), 0);
      ASSERT_TRUE(LoggedOutState(d));
      if (c.refused) recorder->AddFault(sim::FaultRule::For(sim::Request::Login, sim::FaultKind::RefuseLogin));
      recorder->ClearRequests();

      if (c.backupLease) {
        d.PostMessage(nvr::WM_BACKUP_ID_READY);
      } else {
        CBrisnelDlgTestAccess::StartPlayLease(d);
      }
      ASSERT_TRUE(PumpUntil([&] { return recorder->RequestCount(sim::Request::Login) >= 1; }, std::chrono::seconds(5)));
      const sim::Request wanted = c.backupLease ? sim::Request::GetBackupId : sim::Request::GetPlayId;
      if (!c.refused) {
        ASSERT_TRUE(PumpUntil([&] { return recorder->RequestCount(wanted) >= 1; }, std::chrono::seconds(5)));
      }
      testing_ui::Pump(std::chrono::milliseconds(100));
      EXPECT_EQ(d.Session().loggedIn.load(), c.refused ? 0 : 1);
      EXPECT_TRUE(c.refused ? LoggedOutState(d) : LoggedInState(d));
      EXPECT_FALSE(d.MenuBar()->IsItemEnabled(ID_RUN_REMOVE));  // no rows
      EXPECT_EQ(boxes.shown.size(), 1u);  // only the first login's
      // The window now agrees with the session: the same recorder chosen in
      // "Remote Server" needs no new login.
      if (!c.refused) {
        recorder->ClearRequests();
        ChooseSim();
        d.SendCommand(ID_TOOL_REMOTE_SERVER);
        EXPECT_EQ(recorder->RequestCount(sim::Request::Login), 0u);
        EXPECT_TRUE(LoggedInState(d));
      }
    });
  }
}

// A tick's message box runs a nested loop in which the next ticks arrive;
// they are skipped, so boxes never stack.
TEST_F(LoginTest, ATickInsideTheBoxOfThePreviousTickIsSkipped) {
  recorder->AddFault(sim::FaultRule::For(sim::Request::Login, sim::FaultKind::RefuseLogin));
  recorder->SetBackupState(sim::BackupState::DailyBackupRunning);
  boxes.inside = [](const MessageBoxRequest&) { Pump(std::chrono::milliseconds(2500)); };
  CBrisnelDlg dlg;
  Run(dlg, [&](CBrisnelDlg& d) {
    d.Session().SetServer("Sim", "127.0.0.1", "admin", "admin", recorder->Port(), 0);
    d.PostMessage(nvr::WM_BACKUP_ID_READY);
    ASSERT_TRUE(PumpUntil([&] { return boxes.shown.size() >= 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(boxes.maxOpen, 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Daily backup on NVR is running."));
    EXPECT_TRUE(LoggedOutState(d));
  });
}

// The loading page ends after about 5 s, or by Escape, while a login may still
// be on its way: the result is told when the login thread has ended.
TEST_F(LoginTest, ALoginLongerThanItsLoadingPageIsToldWhenItEnds) {
  probeDelayMs = 4500;
  int escaped = 0;
  LoadingPages pages([&](CLoadingPage& page) {
    if (escaped++ > 0) return;  // the first page only
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(page.Window(), &escape);
  });
  CBrisnelDlg dlg;
  QElapsedTimer clock;
  Run(dlg, [&](CBrisnelDlg& d) {
    ChooseSim();
    clock.start();
    d.SendCommand(ID_TOOL_REMOTE_SERVER);
    EXPECT_GE(clock.elapsed(), 5500);
    EXPECT_GE(pages.shown, 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Lobby(127.0.0.1) Login Success!"));
    EXPECT_TRUE(LoggedInState(d));
    EXPECT_FALSE(d.LoginRunning());
  });
}

TEST_F(LoginTest, ALoginThreadStillRunningWhenTheWindowClosesIsJoined) {
  recorder->AddFault([] {
    sim::FaultRule r = sim::FaultRule::For(sim::Request::Login, sim::FaultKind::Delay);
    r.stall_ms = 4000;
    return r;
  }());
  WriteHistory({SimLine()});
  auto dlg = std::make_unique<CBrisnelDlg>();
  CBrisnelDlg* main = dlg.get();
  bool runningWhenClosed = false;
  LoadingPages pages([&](CLoadingPage& page) {
    PumpUntil([&] { return recorder->RequestCount(sim::Request::Login) >= 1; });
    runningWhenClosed = main->LoginRunning();
    main->EndDialog(ui::IDCANCEL);
    page.EndDialog(ui::IDCANCEL);
  });
  Run(*dlg, [&](CBrisnelDlg& d) { d.SendCommand(ID_HISTORY_FIRST); });
  EXPECT_TRUE(runningWhenClosed);
  EXPECT_TRUE(boxes.shown.empty());  // no result is told to a window that has gone
  QElapsedTimer clock;
  clock.start();
  dlg.reset();  // stops and joins the login thread
  EXPECT_LT(clock.elapsed(), 2500);
  EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 0u);  // it never got logged in
  EXPECT_EQ(ReadProfileString(historyPath, "history", "history1"), SimLine());
}

// A lease timer that starts while the login thread runs (a late
// WM_BACKUP_ID_READY) leaves the session to that thread until it has ended.
TEST_F(LoginTest, LeaseTicksStayOffTheSessionWhileTheLoginThreadRuns) {
  probeDelayMs = 2500;
  CBrisnelDlg dlg;
  CBrisnelDlg* main = &dlg;
  int ticksWhileRunning = 0;
  LoadingPages pages([&](CLoadingPage&) {
    main->PostMessage(nvr::WM_BACKUP_ID_READY);
    CBrisnelDlgTestAccess::StartPlayLease(*main);
    PumpUntil([&] { return !main->LoginRunning(); }, std::chrono::seconds(8));
    ticksWhileRunning = static_cast<int>(recorder->RequestCount());
  });
  Run(dlg, [&](CBrisnelDlg& d) {
    ChooseSim();
    d.SendCommand(ID_TOOL_REMOTE_SERVER);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Lobby(127.0.0.1) Login Success!"));
    EXPECT_NE(d.BackupLeaseTimer(), -1);
  });
  // Only the login thread's own request reached the recorder while it ran.
  EXPECT_EQ(ticksWhileRunning, 1);
  EXPECT_EQ(recorder->RequestCount(sim::Request::Login), 1u);
}

// "Remote Server" runs the real server manager; OK with its fields logs in.
TEST_F(LoginTest, RemoteServerLogsInWithWhatTheServerManagerHandsBack) {
  SetServerManagerRunner(nullptr);
  int managersShown = 0;
  ui::DialogShownHook previous = ui::SetDialogShownHook([&](ui::Dialog& shown) {
    auto* manager = dynamic_cast<CRemoteDialog*>(&shown);
    if (manager == nullptr) return;
    ++managersShown;
    QTimer::singleShot(0, [this, manager] {
      CServerDialog& page = manager->m_serverPage;
      page.m_editServer->setText(QStringLiteral("Lobby"));
      page.m_editIp->setText(QStringLiteral("127.0.0.1"));
      page.m_editPort->setText(Port());
      page.m_editUser->setText(QStringLiteral("admin"));
      page.m_editPassword->setText(QStringLiteral("admin"));
      manager->m_btnOk->click();
    });
  });
  auto dlg = std::make_unique<CBrisnelDlg>();
  Run(*dlg, [&](CBrisnelDlg& d) {
    d.SendCommand(ID_TOOL_REMOTE_SERVER);
    EXPECT_EQ(managersShown, 1);
    EXPECT_EQ(d.Session().loggedIn.load(), 1);
    EXPECT_EQ(d.Session().GetPort(), recorder->Port());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Lobby(127.0.0.1) Login Success!"));
    EXPECT_EQ(boxes.shown.back().owner, d.Id());
    EXPECT_TRUE(LoggedInState(d));
  });
  ui::SetDialogShownHook(previous);
  dlg.reset();
  EXPECT_EQ(recorder->RequestCount(sim::Request::Login), 1u);
  EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);
}
