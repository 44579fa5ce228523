#include "app/connection_test.h"

#include <cstring>

#include "nvr/decimal.h"
#include "nvr/http_get.h"
#include "nvr/ping_host.h"

namespace {

constexpr int kConnectTimeoutMs = 3000;
constexpr int kAnswerCapacity = 512;

}  // namespace

QString ConnectionTestPrefix(const ServerEntry& fields) {
  return fields.GetServerName() + u'(' + fields.GetIp() + QStringLiteral(") ");
}

int RunConnectionTest(const ServerEntry& fields, const std::atomic<int>& requested, QString* text) {
  const QString prefix = ConnectionTestPrefix(fields);
  const QString failed = prefix + QStringLiteral("Failed to Connection!");
  *text = failed;
  if (!nvr::PingHost(fields.GetIp(), nullptr)) return 0;

  nvr::HttpGet http;
  http.SetAbortCheck([&requested] { return requested.load() == 0; });
  if (!http.Connect(fields.GetIp(), fields.GetUserName(), fields.GetPassword(), kConnectTimeoutMs, 0,
                    nvr::ReadDecimal32(fields.GetPort()))) {
    return 0;
  }
  char answer[kAnswerCapacity];
  std::memset(answer, 0, sizeof answer);
  http.GetToBuffer(QStringLiteral("/config/datetime"), answer, kAnswerCapacity);
  http.Close();
  if (std::memcmp(answer, "date", 4) != 0) return 0;
  *text = prefix + QStringLiteral("Connection Success!");
  return 1;
}
