#include "nvr/nvr_session.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "nvr/decimal.h"
#include "nvr/nvr_messages.h"
#include "nvr/ping_host.h"
#include "platform/core/latin1.h"
#include "platform/core/message_box.h"

namespace nvr {
namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int LoginDecision(const char* answer) {
  if (std::memcmp(answer, "login=", 6) != 0) return -1;
  if (answer[6] == '1') return 1;
  if (answer[6] == '0') return 0;
  return -1;
}

BackupGrant ReadBackupGrant(const QString& answer, int* id) {
  if (answer.contains(QLatin1String("-1")) || answer.contains(QLatin1String("-2"))) return BackupGrant::BackupRunning;
  return ReadLeaseValue(answer, id) ? BackupGrant::Lease : BackupGrant::NoLease;
}

int ReadBackupQuery(const QString& answer, int* id) {
  if (answer.contains(QLatin1String("500"))) return -3;
  int n = 0;
  if (!ReadLeaseValue(answer, &n)) return 0;
  if (n < 0) return n;
  *id = n;
  return 1;
}

QString AnswerText(const char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return QString();
  const void* zero = std::memchr(buffer, 0, std::size_t(capacity));
  const std::size_t length = zero ? std::size_t(static_cast<const char*>(zero) - buffer) : std::size_t(capacity);
  return platform::BytesToText(buffer, length);
}

bool ReadLeaseValue(const QString& answer, int* value) {
  const qsizetype lease = answer.indexOf(QLatin1String("lease"));
  if (lease < 0) return false;
  const QStringView before = QStringView(answer).left(lease);
  const qsizetype eq = before.indexOf(QLatin1Char('='));
  *value = ReadDecimal32(eq < 0 ? before : before.mid(eq + 1));
  return true;
}

bool ReadPlayIdValue(const QString& answer, int* value) {
  const qsizetype eq = answer.indexOf(QLatin1Char('='));
  if (eq < 0) return false;
  const QStringView after = QStringView(answer).mid(eq + 1);
  const qsizetype lease = after.indexOf(QLatin1String("lease"));
  *value = lease < 0 ? 0 : ReadDecimal32(after.left(lease));
  return true;
}

NvrSession::NvrSession() = default;

void NvrSession::StopWorkers() {
  stopping_ = 1;
  downloader.running = 0;
  jobThread_.Join();
  downloader.Stop();
}

NvrSession::~NvrSession() {
  // No thread may outlive the session: stop the download and the job thread first.
  StopWorkers();
  if (loggedIn.load() == 1) Logout();
  jobs.Clear();
}

void NvrSession::SetServer(const QString& serverName, const QString& host, const QString& user,
                           const QString& password, int port, int https) {
  serverName_ = serverName;
  connection_ = {host, user, password, port, https};
}

int NvrSession::Login() {
  if (!PingHost(connection_.host, nullptr)) {
    loggedIn = 0;
    return 0;
  }
  if (!controlClient.Connect(connection_, kControlConnectTimeoutMs)) return 0;
  Pause(500);
  char answer[256];
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt > 0) Pause(500);
    std::memset(answer, 0, sizeof answer);
    controlClient.GetToBuffer(QStringLiteral("/config/login"), answer, sizeof answer);
    const int decision = LoginDecision(answer);
    if (decision == 1) {
      loggedIn = 1;
      return 1;
    }
    if (decision == 0) {
      loggedIn = 0;
      controlClient.Close();
      return 0;
    }
  }
  loggedIn = 0;
  controlClient.Close();
  return 0;
}

void NvrSession::Logout() {
  if (loggedIn.load() == 1) controlClient.SendGet(QStringLiteral("/config/logout"));
  controlClient.Close();
  loggedIn = 0;
  backupId = -1;
}

int NvrSession::GetPlayId() {
  if (loggedIn.load() == 0) return 0;
  char answer[64] = {};
  controlClient.GetToBuffer(QStringLiteral("/play/getid"), answer, sizeof answer);
  int id = 0;
  if (!ReadPlayIdValue(AnswerText(answer, sizeof answer), &id)) return 0;
  playId = id;
  return 1;
}

int NvrSession::RenewPlayId() {
  if (loggedIn.load() == 0) return 0;
  if (playId.load() == -1) {
    GetPlayId();
    return 1;
  }
  char answer[64] = {};
  controlClient.GetToBuffer(QStringLiteral("/play/getid?id=%1").arg(playId.load()), answer, sizeof answer);
  int id = 0;
  if (!ReadPlayIdValue(AnswerText(answer, sizeof answer), &id)) return 0;
  playId = id;
  return 1;
}

void NvrSession::AcquireBackupId() {
  if (backupId.load() >= 0) return;
  HttpGet client;
  if (!client.Connect(connection_, kControlConnectTimeoutMs)) return;
  Pause(500);
  char answer[100] = {};
  if (!client.GetToBuffer(QStringLiteral("/config/getbackupid"), answer, sizeof answer)) {
    client.Close();
    platform::FrameworkMessageBox(QStringLiteral("Connection to NVR failed!"), platform::MB_OK);
    return;
  }
  client.Close();
  int id = 0;
  const BackupGrant grant = ReadBackupGrant(AnswerText(answer, sizeof answer), &id);
  if (grant == BackupGrant::BackupRunning) {
    platform::FrameworkMessageBox(QStringLiteral("Daily backup on NVR is running."), platform::MB_OK);
    return;
  }
  if (grant == BackupGrant::NoLease) return;
  backupId = id;
  // A negative value is no lease: nothing to announce.
  if (id >= 0) platform::PostWindowMessage(notifyWindow.load(), WM_BACKUP_ID_READY, 0, 0);
}

int NvrSession::RenewBackupId() {
  if (keepBackupId.load() == 0) return 1;
  const int id = backupId.load();
  if (id < 0) return 1;
  HttpGet client;
  if (!client.Connect(connection_, kControlConnectTimeoutMs)) return 0;
  Pause(100);
  char answer[128] = {};
  if (!client.GetToBuffer(QStringLiteral("/config/getbackupid?id=%1").arg(id), answer, sizeof answer)) {
    client.Close();
    return 0;
  }
  client.Close();
  return answer[0] == 'i' && answer[1] == 'd' ? 1 : 0;
}

int NvrSession::QueryBackupId() {
  if (backupId.load() < 0) AcquireBackupId();
  HttpGet client;
  if (!client.Connect(connection_, kControlConnectTimeoutMs)) return 0;
  Pause(100);
  char answer[128] = {};
  if (!client.GetToBuffer(QStringLiteral("/config/getbackupid?id=%1").arg(backupId.load()), answer, sizeof answer)) {
    client.Close();
    return 0;
  }
  client.Close();
  int id = 0;
  const int result = ReadBackupQuery(AnswerText(answer, sizeof answer), &id);
  if (result == 1) backupId = id;
  return result;
}

int NvrSession::PingBackupId() {
  HttpGet client;
  if (!client.Connect(connection_, kControlConnectTimeoutMs)) return 0;
  Pause(100);
  if (!client.SendGet(QStringLiteral("/config/getbackupid?id=%1").arg(backupId.load()))) return 0;
  client.Close();
  return 1;
}

}  // namespace nvr
