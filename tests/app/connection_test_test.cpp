// The connection test of the server page against the simulated recorder on
// loopback: the field checks, the outcomes with their texts, the manager's OK
// and Cancel while it runs, a loading page that ends early, and a manager that
// is closed while the worker runs.
#include <QElapsedTimer>
#include <QTimer>

#include <optional>
#include <thread>

#include "app/connection_test.h"
#include "app/loading_page.h"
#include "sim_recorder.h"
#include "tests/app/server_manager_fixture.h"
#include "tests/ui/qt_test_app.h"

using testing_ui::PumpUntil;

namespace {

// Sees every loading page the test shows, while it shows.
class LoadingPages {
 public:
  explicit LoadingPages(std::function<void(CLoadingPage&, int)> onShown) : onShown_(std::move(onShown)) {
    previous_ = platform::ui::SetDialogShownHook([this](platform::ui::Dialog& d) {
      if (auto* page = dynamic_cast<CLoadingPage*>(&d)) {
        const int n = ++count;
        QTimer::singleShot(0, [this, page, n] { onShown_(*page, n); });
      } else if (previous_) {
        previous_(d);
      }
    });
  }
  ~LoadingPages() { platform::ui::SetDialogShownHook(previous_); }
  int count = 0;

 private:
  std::function<void(CLoadingPage&, int)> onShown_;
  platform::ui::DialogShownHook previous_;
};

class ConnectionTest : public ServerManagerTest {
 protected:
  void SetUp() override {
    ServerManagerTest::SetUp();
    ASSERT_TRUE(recorder_.Start()) << recorder_.Error();
  }
  QString Port() const { return QString::number(recorder_.Port()); }
  sim::SimRecorder recorder_;
};

bool OkAndCancelEnabled(CRemoteDialog& d) { return d.m_btnOk->isEnabled() && d.m_btnCancel->isEnabled(); }

bool PageControlsEnabled(CServerDialog& p) {
  return p.m_btnTestConnection->isEnabled() && p.m_editIp->isEnabled() && p.m_listServers->isEnabled() &&
         p.m_checkSavePassword->isEnabled();
}

}  // namespace

TEST_F(ConnectionTest, EmptyAddressUserOrPortIsRefusedBeforeAnythingStarts) {
  struct Case {
    QStringList fields;  // server, ip, port, user, password
    const char* box;
  };
  const Case cases[] = {
      {{"A", "", "80", "u", "p"}, "Error: The ip field is empty!"},
      {{"A", "127.0.0.1", "", "", "p"}, "Error: The user name field is empty!"},
      {{"A", "127.0.0.1", "", "u", ""}, "Error: The port number field is empty!"},
  };
  LoadingPages pages([](CLoadingPage&, int) {});
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    for (const Case& c : cases) {
      Fill(page, c.fields[0], c.fields[1], c.fields[2], c.fields[3], c.fields[4], false);
      Click(page.m_btnTestConnection);
      EXPECT_EQ(TakeBoxes(), QStringList{QString::fromUtf8(c.box)});
      testing_ui::Pump(std::chrono::milliseconds(30));
      EXPECT_TRUE(OkAndCancelEnabled(d));
      EXPECT_TRUE(PageControlsEnabled(page));
    }
  });
  EXPECT_EQ(pages.count, 0);
  EXPECT_EQ(recorder_.RequestCount(), 0u);
}

TEST_F(ConnectionTest, OutcomesAndTheirTexts) {
  struct Case {
    const char* name;
    QString server;
    QString port;  // "%1" stands for the recorder's port
    QString password;
    std::optional<sim::FaultRule> fault;
    bool probeAnswers;
    QString text;
    bool success;
    size_t requests;  // of "/config/datetime"
  };
  const Case cases[] = {
      {"probe gets no answer", "Lobby", "%1", "admin", std::nullopt, false,
       "Lobby(127.0.0.1) Failed to Connection!", false, 0},
      {"answers the date", "Lobby", "%1", "admin", std::nullopt, true, "Lobby(127.0.0.1) Connection Success!", true,
       1},
      {"port digits before other text", "Lobby", "%1abc", "admin", std::nullopt, true,
       "Lobby(127.0.0.1) Connection Success!", true, 1},
      {"empty name, and a name with %", "", "%1", "admin", std::nullopt, true, "(127.0.0.1) Connection Success!",
       true, 1},
      {"name with %", "50%d %s", "%1", "admin", std::nullopt, true, "50%d %s(127.0.0.1) Connection Success!", true,
       1},
      {"reached, but no date", "Lobby", "%1", "admin",
       sim::FaultRule::AnswerWith(sim::Request::GetDateTime, 200, "login=1\n"), true,
       "Lobby(127.0.0.1) Failed to Connection!", false, 1},
      {"error status", "Lobby", "%1", "admin",
       sim::FaultRule::For(sim::Request::GetDateTime, sim::FaultKind::Unavailable), true,
       "Lobby(127.0.0.1) Failed to Connection!", false, 1},
      {"empty password is tried, and refused", "Lobby", "%1", "", std::nullopt, true,
       "Lobby(127.0.0.1) Failed to Connection!", false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder_.ClearFaults();
    recorder_.ClearRequests();
    if (c.fault) recorder_.AddFault(*c.fault);
    // The real probe answers on loopback; the seam stands for a silent host.
    platform::SetEchoProbeOverride(c.probeAnswers ? platform::EchoProbeOverride()
                                                  : platform::EchoProbeOverride([](const QString&) { return false; }));
    bool disabledWhileRunning = false;
    CRemoteDialog* manager = nullptr;
    LoadingPages pages([&](CLoadingPage&, int) {
      CServerDialog& p = manager->m_serverPage;
      disabledWhileRunning = PumpUntil([&] { return !manager->m_btnOk->isEnabled(); }) &&
                             !manager->m_btnCancel->isEnabled() && !PageControlsEnabled(p) &&
                             !p.m_btnAdd->isEnabled() && !p.m_btnDelete->isEnabled() && !p.m_btnEdit->isEnabled();
    });
    CRemoteDialog dlg;
    manager = &dlg;
    dlg.m_serverPage.m_nTestPauseMs = 300;
    RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
      CServerDialog& page = d.m_serverPage;
      Fill(page, c.server, "127.0.0.1", c.port.arg(recorder_.Port()), "admin", c.password, false);
      Click(page.m_btnTestConnection);
      // The result is told once the worker has ended and been joined.
      EXPECT_EQ(page.m_bTestRunning.load(), 0);
      EXPECT_EQ(page.m_bTestRequested.load(), 0);
      ASSERT_EQ(BoxRequests().size(), 1u);
      EXPECT_EQ(BoxRequests()[0].owner, page.Id());
      EXPECT_EQ(TakeBoxes(), QStringList{(c.success ? "Message: " : "Error: ") + c.text});
      EXPECT_EQ(page.m_nTestResult.load(), c.success ? 1 : 0);
      EXPECT_TRUE(PageControlsEnabled(page));
      EXPECT_EQ(Buttons(page), (std::vector<bool>{true, false, false}));
      EXPECT_TRUE(PumpUntil([&] { return OkAndCancelEnabled(d); }));
    });
    EXPECT_EQ(pages.count, 1);
    EXPECT_TRUE(disabledWhileRunning);
    EXPECT_EQ(recorder_.RequestCount(sim::Request::GetDateTime), c.requests);
    if (c.requests == 1) {
      const auto asked = recorder_.Requests(sim::Request::GetDateTime);
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_EQ(asked[0].authorised, !c.password.isEmpty());
    }
    EXPECT_EQ(recorder_.RequestCount(), c.requests);  // nothing else was asked
  }
}

TEST_F(ConnectionTest, ARunKeepsTheLoadingPageForItsPause) {
  platform::SetEchoProbeOverride([](const QString&) { return true; });
  CRemoteDialog dlg;
  EXPECT_EQ(dlg.m_serverPage.m_nTestPauseMs, 3000);
  dlg.m_serverPage.m_nTestPauseMs = 1000;
  qint64 took = 0;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    Fill(d.m_serverPage, "Lobby", "127.0.0.1", Port(), "admin", "admin", false);
    QElapsedTimer clock;
    clock.start();
    Click(d.m_serverPage.m_btnTestConnection);
    took = clock.elapsed();
  });
  EXPECT_GE(took, 1000);
  EXPECT_EQ(TakeBoxes(), QStringList{"Message: Lobby(127.0.0.1) Connection Success!"});
}

TEST_F(ConnectionTest, ALoadingPageThatEndsEarlyIsShownAgainUntilTheWorkerIsDone) {
  std::atomic<int> release{0};
  platform::SetEchoProbeOverride([&release](const QString&) {
    for (int i = 0; i < 500 && release.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return false;
  });
  CRemoteDialog* manager = nullptr;
  bool waitedRight = false;
  LoadingPages pages([&](CLoadingPage& page, int n) {
    if (n == 1) {
      page.EndDialog(platform::ui::IDOK);  // as Enter would, long before the worker is done
      return;
    }
    // Still running: no result yet, and the manager cannot be closed.
    waitedRight = TakeBoxes().isEmpty() && !manager->m_btnOk->isEnabled();
    manager->SendMessage(platform::ui::WM_CLOSE);
    waitedRight = waitedRight && !manager->HasEnded();
    release = 1;
  });
  CRemoteDialog dlg;
  manager = &dlg;
  dlg.m_serverPage.m_nTestPauseMs = 100;
  const int result = RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    Fill(d.m_serverPage, "Lobby", "127.0.0.1", Port(), "admin", "admin", false);
    Click(d.m_serverPage.m_btnTestConnection);
    EXPECT_EQ(TakeBoxes(), QStringList{"Error: Lobby(127.0.0.1) Failed to Connection!"});
    EXPECT_TRUE(PumpUntil([&] { return OkAndCancelEnabled(d); }));
    Click(d.m_btnCancel);
  });
  EXPECT_EQ(result, platform::ui::IDCANCEL);
  EXPECT_EQ(pages.count, 2);
  EXPECT_TRUE(waitedRight);
}

TEST_F(ConnectionTest, ClosingTheManagerWhileTheWorkerRunsEndsItWithoutAResult) {
  std::atomic<int> release{0};
  platform::SetEchoProbeOverride([&release](const QString&) {
    for (int i = 0; i < 500 && release.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
  });
  CRemoteDialog* manager = nullptr;
  LoadingPages pages([&](CLoadingPage& page, int) {
    // The program ends the manager (its owner is going) and the page with it.
    manager->EndDialog(platform::ui::IDCANCEL);
    page.EndDialog(platform::ui::IDOK);
    release = 1;
  });
  CRemoteDialog dlg;
  manager = &dlg;
  dlg.m_serverPage.m_nTestPauseMs = 20000;  // a join that waited for it would show
  QElapsedTimer clock;
  clock.start();
  const int result = RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    Fill(d.m_serverPage, "Lobby", "127.0.0.1", Port(), "admin", "admin", false);
    Click(d.m_serverPage.m_btnTestConnection);
  });
  EXPECT_EQ(result, platform::ui::IDCANCEL);
  EXPECT_LT(clock.elapsed(), 8000);
  EXPECT_EQ(dlg.m_serverPage.m_bTestRunning.load(), 0);
  EXPECT_FALSE(dlg.m_serverPage.HasWindow());
  EXPECT_TRUE(TakeBoxes().isEmpty());
}

TEST(ConnectionTestRun, ThePortIsTheDecimalNumberAtTheStartOfItsText) {
  std::atomic<int> requested{1};
  auto previous = platform::SetEchoProbeOverride([](const QString&) { return true; });
  sim::SimRecorder recorder;
  ASSERT_TRUE(recorder.Start());
  ServerEntry fields;
  fields.SetServerName("A");
  fields.SetIp("127.0.0.1");
  fields.SetUserName("admin");
  fields.SetPassword("admin");
  QString text;
  fields.SetPort(QStringLiteral(" +%1xyz").arg(recorder.Port()));
  EXPECT_EQ(RunConnectionTest(fields, requested, &text), 1);
  EXPECT_EQ(text, QStringLiteral("A(127.0.0.1) Connection Success!"));
  fields.SetPort(QStringLiteral("-1"));  // no port of TCP
  EXPECT_EQ(RunConnectionTest(fields, requested, &text), 0);
  EXPECT_EQ(text, QStringLiteral("A(127.0.0.1) Failed to Connection!"));
  EXPECT_EQ(recorder.RequestCount(sim::Request::GetDateTime), 1u);
  platform::SetEchoProbeOverride(previous);
}
