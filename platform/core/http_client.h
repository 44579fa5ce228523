#pragma once
// HTTP GET over libcurl, read pull-style: send a request, then ask how many bytes
// are available and read them, as the program's callers expect.
//
// One client keeps one libcurl handle pair from Open to Close, so kept-alive
// connections are reused between requests; Close ends them. Proxies come from
// the environment.
// Nothing here touches the network before Send.
#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class HttpClient {
 public:
  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Remembers where requests go. False for a host that would change where the
  // request goes (see IsSafeHost), or a port outside 1..65535.
  // A connect time-out of 0 leaves libcurl's own.
  bool Open(const QString& host, int port, bool https, int connectTimeoutMs);
  // Forgets the target and closes every connection kept for it.
  void Close();
  bool IsOpen() const;

  void SetUserAgent(const QByteArray& agent);
  // Longest silence allowed while waiting for the server once connected.
  void SetReceiveTimeout(std::chrono::milliseconds timeout);
  // Polled about every 100 ms during every wait; true ends the wait as a failure.
  void SetAbortCheck(std::function<bool()> check);

  // Sends GET for the path (bytes as built; see EncodeRequestPath) with extra
  // header lines, and waits for the answer's status line and headers.
  // Any unfinished previous request is dropped first.
  bool Send(const QByteArray& path, const std::vector<QByteArray>& headerLines);
  bool HasRequest() const;
  void EndRequest();
  // Status of the current answer, 0 when none arrived.
  int StatusCode() const;

  // Waits until body bytes are available or the body ended. False on failure
  // (connection lost, body shorter than announced, a Content-Length that is
  // not a number a signed 64-bit count holds, Content-Length values that
  // differ, time-out, abort); 0 at a clean end.
  bool QueryDataAvailable(std::size_t* available);
  // Reads up to `capacity` bytes, waiting for at least one. *got = 0 at a clean end.
  bool Read(char* buffer, std::size_t capacity, std::size_t* got);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// The request path as it goes on the wire: the bytes unchanged, except a blank,
// "#", "%", control bytes and bytes 0x7F..0xFF, which are written as %XX.
QByteArray EncodeRequestPath(const QByteArray& path);

// False for a host that would change the request's target once it stands in
// the URL: empty, blanks, control bytes, "/", "?", "#", "@", ":", "\", "%",
// and units above U+00FF. Anything else is left to the name lookup.
bool IsSafeHost(const QString& host);

}  // namespace platform
