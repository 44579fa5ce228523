// Login, logout and both leases against the simulated recorder.
#include <chrono>
#include <thread>

#include "nvr/nvr_messages.h"
#include "nvr/ping_host.h"
#include "platform/core/icmp_socket.h"
#include "sim_fixture.h"

using namespace nvr;
using nvrtest::MessageCatcher;
using nvrtest::Posted;
using nvrtest::SimTest;

using SessionSim = SimTest;

TEST_F(SessionSim, LoginDecisions) {
  struct Case {
    const char* name;
    std::optional<sim::FaultRule> fault;
    int result;
    size_t requests;
  } cases[] = {
      {"login=1", std::nullopt, 1, 1},
      {"login=0", sim::FaultRule::For(sim::Request::Login, sim::FaultKind::RefuseLogin), 0, 1},
      {"Login=1", sim::FaultRule::For(sim::Request::Login, sim::FaultKind::LoginNoDecision), 0, 2},
      {" login=1", sim::FaultRule::AnswerWith(sim::Request::Login, 200, " login=1\n"), 0, 2},
      {"empty", sim::FaultRule::AnswerWith(sim::Request::Login, 200, ""), 0, 2},
      {"login=2", sim::FaultRule::AnswerWith(sim::Request::Login, 200, "login=2"), 0, 2},
      {"second answer decides", sim::FaultRule::For(sim::Request::Login, sim::FaultKind::LoginNoDecision, 1), 1, 2},
  };
  for (const Case& c : cases) {
    recorder->ClearFaults();
    recorder->ClearRequests();
    if (c.fault) recorder->AddFault(*c.fault);
    NvrSession s;
    PointSession(s);
    EXPECT_EQ(s.Login(), c.result) << c.name;
    EXPECT_EQ(s.loggedIn.load(), c.result) << c.name;
    const auto logins = recorder->Requests(sim::Request::Login);
    ASSERT_EQ(logins.size(), c.requests) << c.name;
    EXPECT_EQ(recorder->RequestCount(), c.requests) << c.name;
    if (c.requests == 2) {
      EXPECT_GE(logins[1].received_ms - logins[0].received_ms, 480) << c.name;
    }
    if (c.result == 1) {
      EXPECT_EQ(logins[0].Header("Authorization"), std::optional<std::string>("Basic YWRtaW46YWRtaW4="));
    }
  }
}

TEST_F(SessionSim, HostThatFailsTheProbeGetsNoRequest) {
  auto previous = platform::SetEchoProbeOverride([](const QString&) { return false; });
  NvrSession s;
  PointSession(s);
  EXPECT_EQ(s.Login(), 0);
  platform::SetEchoProbeOverride(previous);
  EXPECT_EQ(recorder->RequestCount(), 0u);
  EXPECT_EQ(s.loggedIn.load(), 0);
}

TEST_F(SessionSim, LogoutSendsOnlyWhenLoggedIn) {
  NvrSession s;
  PointSession(s);
  s.backupId = 4;
  s.Logout();  // logged out: nothing sent, the backup id still dropped
  EXPECT_EQ(s.backupId.load(), -1);
  EXPECT_EQ(recorder->RequestCount(), 0u);

  ASSERT_EQ(s.Login(), 1);
  ASSERT_EQ(s.GetPlayId(), 1);
  const int play = s.playId.load();
  s.backupId = 4;
  s.Logout();
  ASSERT_TRUE(recorder->WaitForRequests(1, sim::Request::Logout));
  EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 1u);
  EXPECT_EQ(s.loggedIn.load(), 0);
  EXPECT_EQ(s.backupId.load(), -1);
  EXPECT_EQ(s.playId.load(), play);
  EXPECT_FALSE(s.controlClient.IsConnected());
  EXPECT_FALSE(recorder->LoggedIn());

  // A session destroyed while logged in logs out; one logged out sends nothing.
  {
    NvrSession other;
    PointSession(other);
    ASSERT_EQ(other.Login(), 1);
  }
  { NvrSession idle; }
  ASSERT_TRUE(recorder->WaitForRequests(2, sim::Request::Logout));
  EXPECT_EQ(recorder->RequestCount(sim::Request::Logout), 2u);
}

TEST_F(SessionSim, PlaybackIdGrantRenewalAndMarkers) {
  NvrSession s;
  PointSession(s);
  EXPECT_EQ(s.GetPlayId(), 0);  // logged out: no request
  EXPECT_EQ(s.RenewPlayId(), 0);
  EXPECT_EQ(recorder->RequestCount(), 0u);
  ASSERT_EQ(s.Login(), 1);

  ASSERT_EQ(s.RenewPlayId(), 1);  // no id yet: asks for one
  const int first = s.playId.load();
  EXPECT_EQ(first, recorder->LastPlayId());
  EXPECT_EQ(recorder->Requests(sim::Request::GetPlayId).at(0).target, "/play/getid");
  ASSERT_EQ(s.RenewPlayId(), 1);
  EXPECT_EQ(recorder->Requests(sim::Request::RenewPlayId).at(0).target, "/play/getid?id=" + std::to_string(first));

  struct Case {
    const char* body;
    int result;
    int id;  // -99: unchanged
  } cases[] = {{"id=7\nlease=60\n", 1, 7}, {"id=7", 1, 0}, {"", 0, -99}, {"busy\n", 0, -99}};
  for (const Case& c : cases) {
    s.playId = 3;
    const int rule = recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::RenewPlayId, 200, c.body, 1));
    EXPECT_EQ(s.RenewPlayId(), c.result) << c.body;
    EXPECT_EQ(s.playId.load(), c.id == -99 ? 3 : c.id) << c.body;
    recorder->RemoveFault(rule);
  }

  s.playId = -1;
  recorder->SetPlaybackBusy(true);
  EXPECT_EQ(s.RenewPlayId(), 1);  // with no id it reports success whatever the answer
  EXPECT_EQ(s.playId.load(), -1);
}

TEST_F(SessionSim, BackupIdGrant) {
  MessageCatcher window;
  NvrSession s;
  PointSession(s);
  s.notifyWindow = window.Id();

  s.AcquireBackupId();
  EXPECT_EQ(s.backupId.load(), recorder->LastBackupId());
  EXPECT_GE(s.backupId.load(), 0);
  Posted p{};
  ASSERT_TRUE(window.WaitFor(nvr::WM_BACKUP_ID_READY, &p, 1000));
  EXPECT_EQ(p.wParam, 0u);
  EXPECT_EQ(p.lParam, 0);

  s.AcquireBackupId();  // an id is held: nothing sent
  EXPECT_EQ(recorder->RequestCount(sim::Request::GetBackupId), 1u);

  struct Case {
    sim::BackupState state;
    std::optional<std::string> body;
  } refusals[] = {{sim::BackupState::DailyBackupRunning, {}},
                  {sim::BackupState::ManualBackupRunning, {}},
                  {sim::BackupState::Idle, std::string("result=-12 lease")}};
  for (const Case& c : refusals) {
    recorder->SetBackupState(c.state);
    const int rule =
        c.body ? recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::GetBackupId, 200, *c.body)) : -1;
    s.backupId = -1;
    s.AcquireBackupId();
    EXPECT_EQ(s.backupId.load(), -1);
    ASSERT_FALSE(boxes.Texts().empty());
    EXPECT_EQ(boxes.Texts().back(), "Daily backup on NVR is running.");
    if (rule >= 0) recorder->RemoveFault(rule);
  }
  recorder->SetBackupState(sim::BackupState::Idle);

  // A negative value that is not a refusal marker is no lease: nothing announced.
  const int before = window.Count(nvr::WM_BACKUP_ID_READY);
  recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::GetBackupId, 200, "id=-5\nlease=0\n", 1));
  s.AcquireBackupId();
  EXPECT_EQ(s.backupId.load(), -5);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(window.Count(nvr::WM_BACKUP_ID_READY), before);

  const int port = Port();
  recorder->Stop();
  s.SetServer("Sim", "127.0.0.1", "admin", "admin", port, 0);
  s.backupId = -1;
  s.AcquireBackupId();
  ASSERT_FALSE(boxes.Texts().empty());
  EXPECT_EQ(boxes.Texts().back(), "Connection to NVR failed!");
}

TEST_F(SessionSim, BackupIdRenewalQueryAndPing) {
  NvrSession s;
  PointSession(s);
  EXPECT_EQ(s.RenewBackupId(), 1);  // no id: nothing to renew
  s.backupId = 5;
  s.keepBackupId = 0;
  EXPECT_EQ(s.RenewBackupId(), 1);  // renewals not wanted
  EXPECT_EQ(recorder->RequestCount(), 0u);
  s.keepBackupId = 1;

  s.backupId = -1;
  s.AcquireBackupId();
  const int id = s.backupId.load();
  ASSERT_GE(id, 0);
  EXPECT_EQ(s.RenewBackupId(), 1);
  const auto asked = recorder->Requests(sim::Request::RenewBackupId);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back().target, "/config/getbackupid?id=" + std::to_string(id));

  struct Renewal {
    const char* body;
    int result;
  } renewals[] = {{"id=5 whatever", 1}, {"ID=5", 0}, {" id=5", 0}, {"", 0}};
  for (const Renewal& r : renewals) {
    const int rule = recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::RenewBackupId, 200, r.body, 1));
    EXPECT_EQ(s.RenewBackupId(), r.result) << r.body;
    EXPECT_EQ(s.backupId.load(), id);
    recorder->RemoveFault(rule);
  }

  struct Query {
    const char* body;
    int result;
    int idAfter;
  } queries[] = {{"500\n", -3, id}, {"id=1500 lease=60", -3, id}, {"x=-2\nlease=0", -2, id},
                 {"id=9\nlease=60", 1, 9}, {"ok", 0, 9}};
  for (const Query& q : queries) {
    const int rule = recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::RenewBackupId, 200, q.body, 1));
    EXPECT_EQ(s.QueryBackupId(), q.result) << q.body;
    EXPECT_EQ(s.backupId.load(), q.idAfter) << q.body;
    recorder->RemoveFault(rule);
  }

  // With no id the query acquires one first and asks about it.
  s.backupId = -1;
  recorder->ClearRequests();
  EXPECT_EQ(s.QueryBackupId(), 1);
  const auto six = recorder->Requests(sim::Request::RenewBackupId);
  ASSERT_EQ(six.size(), 1u);
  EXPECT_EQ(six[0].target, "/config/getbackupid?id=" + std::to_string(recorder->LastBackupId()));

  recorder->ClearRequests();
  EXPECT_EQ(s.PingBackupId(), 1);
  ASSERT_TRUE(recorder->WaitForRequests(1, sim::Request::RenewBackupId));

  const int port = Port();
  recorder->Stop();
  s.SetServer("Sim", "127.0.0.1", "admin", "admin", port, 0);
  EXPECT_EQ(s.RenewBackupId(), 0);
  EXPECT_EQ(s.QueryBackupId(), 0);
  EXPECT_EQ(s.PingBackupId(), 0);
}

// Logging out leaves the recorder's connection: the next login opens its own.
TEST_F(SessionSim, LogoutClosesTheControlConnection) {
  NvrSession s;
  PointSession(s);
  ASSERT_EQ(s.Login(), 1);
  ASSERT_EQ(s.GetPlayId(), 1);
  s.Logout();
  ASSERT_TRUE(recorder->WaitForRequests(1, sim::Request::Logout));
  ASSERT_EQ(s.Login(), 1);
  ASSERT_EQ(s.GetPlayId(), 1);
  const auto all = recorder->Requests();
  std::vector<sim::Request> received;
  for (const auto& r : all) received.push_back(r.request);
  ASSERT_EQ(received, (std::vector<sim::Request>{sim::Request::Login, sim::Request::GetPlayId, sim::Request::Logout,
                                                 sim::Request::Login, sim::Request::GetPlayId}));
  // One connection per login, kept for the requests that follow it.
  EXPECT_EQ(all[1].remote_port, all[0].remote_port);
  EXPECT_EQ(all[2].remote_port, all[0].remote_port);
  EXPECT_NE(all[3].remote_port, all[0].remote_port);
  EXPECT_EQ(all[4].remote_port, all[3].remote_port);
}
