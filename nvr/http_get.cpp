#include "nvr/http_get.h"

#include <algorithm>
#include <cstring>

#include "nvr/download_state.h"
#include "platform/core/latin1.h"

namespace nvr {

HttpGet::HttpGet() : chunk_(kChunkSize, 0) {
  client_.SetUserAgent("InetURL/1.0");
  client_.SetReceiveTimeout(std::chrono::milliseconds(kReceiveTimeoutMs));
}

HttpGet::~HttpGet() { Close(); }

int HttpGet::Connect(const QString& host, const QString& user, const QString& password, int connectTimeoutMs,
                     int https, int port) {
  host_ = host;
  user_ = user;
  password_ = password;
  https_ = https > 0 ? 1 : 0;
  port_ = https_ ? 443 : 80;
  if (port != 0) port_ = port;
  connectTimeoutMs_ = connectTimeoutMs;
  Close();
  if (port < 0 || port > 65535) return 0;
  return client_.Open(host_, port_, https_ != 0, connectTimeoutMs_ > 0 ? connectTimeoutMs_ : 0) ? 1 : 0;
}

int HttpGet::SendGet(const QString& path) {
  if (!client_.IsOpen()) return 0;
  client_.EndRequest();
  std::vector<QByteArray> headers;
  if (!user_.isEmpty()) headers.push_back(BasicAuthorizationHeader(user_, password_));
  return client_.Send(platform::TextToBytes(path), headers) ? 1 : 0;
}

int HttpGet::GetToBuffer(const QString& path, char* buffer, int capacity) {
  if (!SendGet(path)) return 0;
  if (!buffer) return 0;
  std::fill(chunk_.begin(), chunk_.end(), 0);
  long held = 0;
  for (;;) {
    std::size_t available = 0;
    if (!client_.QueryDataAvailable(&available)) break;
    std::size_t got = 0;
    if (!client_.Read(chunk_.data(), std::min<std::size_t>(available, kChunkSize), &got)) break;
    if (held + long(got) >= long(capacity)) break;
    if (got == 0) break;
    std::memcpy(buffer + held, chunk_.data(), got);
    held += long(got);
  }
  return 1;
}

int HttpGet::ReadToSink(const BodySink& sink, char* buffer, int size, std::atomic<int>& state,
                        std::atomic<int>& running, BodyEnd* end) {
  BodyEnd ignored;
  BodyEnd& how = end != nullptr ? *end : ignored;
  how = BodyEnd::NoRequest;
  if (!buffer || size <= 0 || !sink || !client_.HasRequest()) return 0;
  // A wait that fails because the owner paused or stopped is no broken body.
  const auto failed = [&] {
    how = state.load() == kDownloadPauseRequested ? BodyEnd::Paused
          : running.load() == 0                   ? BodyEnd::Stopped
                                                  : BodyEnd::Broken;
    return 0;
  };
  std::size_t available = 0;
  if (!client_.QueryDataAvailable(&available)) return failed();
  // Every read asks for the whole buffer: what libcurl has buffered decides the
  // actual amount, so the first count would only make later reads small.
  long long total = 0;
  for (;;) {
    if (state.load() == kDownloadPauseRequested) {
      how = BodyEnd::Paused;
      return 1;
    }
    if (running.load() == 0) {
      how = BodyEnd::Stopped;
      return 0;
    }
    std::size_t got = 0;
    if (!client_.Read(buffer, std::size_t(size), &got)) return failed();
    if (got == 0) break;
    if (!sink(buffer, got)) {
      how = BodyEnd::Refused;
      return 0;
    }
    total += static_cast<long long>(got);
  }
  if (running.load() == 0) {
    how = BodyEnd::Stopped;
    return 0;
  }
  if (total == 0) {
    how = BodyEnd::Empty;
    return 0;
  }
  state = kDownloadComplete;
  how = BodyEnd::Complete;
  return 1;
}

int HttpGet::Close() {
  client_.Close();
  return 1;
}

int HttpGet::QueryDataAvailable(std::size_t* available) {
  return client_.QueryDataAvailable(available) ? 1 : 0;
}

int HttpGet::ReadFile(char* buffer, std::size_t size, std::size_t* got) {
  *got = 0;
  if (!buffer) return 0;
  return client_.Read(buffer, size, got) ? 1 : 0;
}

int HttpGet::QueryStatusCode(int* status) const {
  if (!client_.HasRequest()) return 0;
  *status = client_.StatusCode();
  return 1;
}

QByteArray EncodeBase64(int count, const char* bytes) {
  if (count <= 0 || !bytes) return QByteArray();
  return QByteArray(bytes, count).toBase64();
}

QByteArray BasicAuthorizationHeader(const QString& user, const QString& password) {
  const QByteArray credentials = platform::LowBytes(user) + ':' + platform::LowBytes(password);
  return "Authorization: Basic " + EncodeBase64(int(credentials.size()), credentials.constData());
}

}  // namespace nvr
