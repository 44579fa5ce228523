#pragma once
// The one HTTP client of the recorder link: one GET at a time on a kept
// connection, with the recorder's Basic authorisation, read into a fixed buffer
// or copied into a file.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "nvr/connection_data.h"
#include "platform/core/http_client.h"

namespace nvr {

// Takes the bytes of a body as they arrive; false when they could not be kept
// (a failed write, a size limit passed), which ends the copy as a failure.
using BodySink = std::function<bool(const char* data, std::size_t size)>;

// How a copy of a body into a sink ended.
enum class BodyEnd {
  Complete,   // every byte arrived and was kept
  Paused,     // a pause was requested (kDownloadPauseRequested)
  Stopped,    // running was cleared
  Refused,    // the sink refused bytes
  Broken,     // the body broke off: connection lost, cut short, a bad length, silence
  Empty,      // the answer had no body
  NoRequest,  // nothing was asked, or the arguments were unusable
};

class HttpGet {
 public:
  static constexpr int kChunkSize = 8200;
  static constexpr int kReceiveTimeoutMs = 5000;

  HttpGet();
  virtual ~HttpGet();
  HttpGet(const HttpGet&) = delete;
  HttpGet& operator=(const HttpGet&) = delete;

  // No network traffic happens here: a recorder that cannot be reached makes the
  // first request fail. 0 for a host that would change the request's target
  // (platform::IsSafeHost), and for a port outside 0..65535 (0 = 80, or 443
  // with HTTPS).
  int Connect(const QString& host, const QString& user, const QString& password, int connectTimeoutMs, int https,
              int port);
  int Connect(const ConnectionData& to, int connectTimeoutMs) {
    return Connect(to.host, to.user, to.password, connectTimeoutMs, to.https, to.port);
  }
  int SendGet(const QString& path);
  // 1 when the request was sent, whatever reading gave; the answer is appended
  // only while it stays strictly below the capacity (the chunk that would reach
  // it is dropped whole).
  int GetToBuffer(const QString& path, char* buffer, int capacity);
  // Copies the body into the sink (`state` is a download's state). 1 on
  // completion (state := kDownloadComplete) or on a pause request, 0 on stop,
  // failure, a sink that refused bytes, an empty or a cut-short body. `end`,
  // when given, says how the copy ended; a pause requested after the last byte
  // does not undo Complete.
  int ReadToSink(const BodySink& sink, char* buffer, int size, std::atomic<int>& state, std::atomic<int>& running,
                 BodyEnd* end = nullptr);
  int Close();

  // Pull-style reading of the current answer, for a body that is read as it
  // arrives (the preview stream). QueryDataAvailable waits until bytes are
  // there or the body ended (count 0); ReadFile copies up to size bytes
  // (0 at the end). Both 0 on failure: no request, lost connection, time-out
  // or abort.
  int QueryDataAvailable(std::size_t* available);
  int ReadFile(char* buffer, std::size_t size, std::size_t* got);

  bool HasRequest() const { return client_.HasRequest(); }
  // The current answer's status code; 0 without a request.
  int QueryStatusCode(int* status) const;
  // Every wait of this client ends (as a failure) soon after the check says so.
  void SetAbortCheck(std::function<bool()> check) { client_.SetAbortCheck(std::move(check)); }

  int Port() const { return port_; }
  int ConnectTimeout() const { return connectTimeoutMs_; }
  int Https() const { return https_; }
  bool IsConnected() const { return client_.IsOpen(); }

 private:
  platform::HttpClient client_;
  QString host_;
  QString user_;
  QString password_;
  int port_ = 0;
  int connectTimeoutMs_ = 0;
  int https_ = 0;
  std::vector<char> chunk_;
};

// Base64 (RFC 4648, standard alphabet, "=" fill) of the bytes.
QByteArray EncodeBase64(int count, const char* bytes);

// "Authorization: Basic " and the Base64 of user ":" password, taking the low
// byte of each unit.
QByteArray BasicAuthorizationHeader(const QString& user, const QString& password);

}  // namespace nvr
