#include "platform/core/http_client.h"

#include <curl/curl.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes kept ahead of the reader before libcurl is paused.
constexpr std::size_t kBufferedLimit = 512 * 1024;

// Case-insensitive test that a header line starts with `name` (which ends in ':').
bool HeaderIs(const char* line, std::size_t size, const char* name) {
  const std::size_t n = std::strlen(name);
  return size >= n && strncasecmp(line, name, n) == 0;
}

// The value of a header line, without surrounding blanks and the line end.
std::string_view HeaderValue(const char* line, std::size_t size, std::size_t nameSize) {
  std::string_view v(line + nameSize, size - nameSize);
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r' || v.back() == '\n')) v.remove_suffix(1);
  return v;
}

// One decimal length; -1 when it is not a number that a signed 64-bit count
// holds (libcurl would take such a length as absent and read to the close, so
// a cut-short body would look complete).
long long ParseDecimalLength(std::string_view value) {
  if (value.empty()) return -1;
  long long n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return -1;
    const int digit = c - '0';
    if (n > (std::numeric_limits<long long>::max() - digit) / 10) return -1;
    n = n * 10 + digit;
  }
  return n;
}

// The announced body length of one Content-Length line: a decimal number, or
// a list of the same number ("22, 22", as a proxy may join repeated lines);
// -1 for anything else, a list of differing numbers included.
long long ParseContentLength(std::string_view value) {
  long long length = -1;
  for (;;) {
    const std::size_t comma = value.find(',');
    std::string_view item = value.substr(0, comma);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    const long long n = ParseDecimalLength(item);
    if (n < 0 || (length >= 0 && n != length)) return -1;
    length = n;
    if (comma == std::string_view::npos) return length;
    value.remove_prefix(comma + 1);
  }
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

QByteArray EncodeRequestPath(const QByteArray& path) {
  static const char kHex[] = "0123456789ABCDEF";
  QByteArray out;
  out.reserve(path.size());
  for (char c : path) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || b == '#' || b == '%') {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

bool IsSafeHost(const QString& host) {
  if (host.isEmpty()) return false;
  for (QChar c : host) {
    const char16_t u = c.unicode();
    // Blanks and control bytes would reach the Host line; the others end or
    // redirect the URL's host part; "%" is decoded there into another host;
    // a unit above U+00FF has no byte of its own.
    if (u <= 0x20 || u == 0x7F || u > 0xFF) return false;
    if (u == '/' || u == '?' || u == '#' || u == '@' || u == ':' || u == '\\' || u == '%') return false;
  }
  return true;
}

struct HttpClient::Impl {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  bool attached = false;  // easy is in multi with a request
  bool sent = false;      // a request went out since the handles were made
  curl_slist* headers = nullptr;

  QByteArray base;  // "http://host:port"
  QByteArray agent = "InetURL/1.0";
  long connectTimeoutMs = 0;
  std::chrono::milliseconds receiveTimeout{5000};
  std::function<bool()> abortCheck;

  // Per request.
  std::vector<char> buffer;
  std::size_t head = 0;
  bool paused = false;
  bool connected = false;
  bool headersDone = false;
  bool finished = false;
  CURLcode result = CURLE_OK;
  int status = 0;
  int lineStatus = 0;
  // The answer's Content-Length (-1 = none), whether it was one the client
  // cannot hold or one of several that differ, whether the body is chunked,
  // and the body bytes received.
  long long announced = -1;
  bool badLength = false;
  bool chunked = false;
  long long received = 0;
  Clock::time_point lastProgress;

  Impl() {
    GlobalInit();
    multi = curl_multi_init();
    easy = curl_easy_init();
  }
  ~Impl() {
    Detach();
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }

  void Detach() {
    if (attached) curl_multi_remove_handle(multi, easy);
    attached = false;
  }

  // Closes every connection the handles keep alive (libcurl holds them in
  // the multi handle's cache) by replacing the pair with a fresh one.
  void DropConnections() {
    Detach();
    if (!sent) return;
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    multi = curl_multi_init();
    easy = curl_easy_init();
    sent = false;
  }

  std::size_t Buffered() const { return buffer.size() - head; }

  static size_t OnBody(char* data, size_t size, size_t n, void* self) {
    auto* d = static_cast<Impl*>(self);
    const size_t bytes = size * n;
    d->lastProgress = Clock::now();
    d->headersDone = true;
    if (d->Buffered() >= kBufferedLimit) {
      d->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (d->head > 0 && d->head >= d->buffer.size() / 2) {
      d->buffer.erase(d->buffer.begin(), d->buffer.begin() + std::ptrdiff_t(d->head));
      d->head = 0;
    }
    d->buffer.insert(d->buffer.end(), data, data + bytes);
    d->received += static_cast<long long>(bytes);
    return bytes;
  }

  static size_t OnHeader(char* data, size_t size, size_t n, void* self) {
    auto* d = static_cast<Impl*>(self);
    const size_t bytes = size * n;
    d->lastProgress = Clock::now();
    if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
      const char* sp = static_cast<const char*>(std::memchr(data, ' ', bytes));
      int code = 0;
      if (sp) {
        for (const char* p = sp + 1; p < data + bytes && *p >= '0' && *p <= '9' && code < 1000; ++p) code = code * 10 + (*p - '0');
      }
      d->lineStatus = code;
      // Each answer (an interim one included) brings its own headers.
      d->announced = -1;
      d->badLength = false;
      d->chunked = false;
    } else if (HeaderIs(data, bytes, "Content-Length:")) {
      // Repeated lines must say the same: libcurl reads the body to the last
      // one, so lengths that differ could pass off any cut as complete.
      const long long n = ParseContentLength(HeaderValue(data, bytes, std::strlen("Content-Length:")));
      if (n < 0 || (d->announced >= 0 && n != d->announced)) d->badLength = true;
      if (d->announced < 0) d->announced = n;
    } else if (HeaderIs(data, bytes, "Transfer-Encoding:")) {
      const std::string_view v = HeaderValue(data, bytes, std::strlen("Transfer-Encoding:"));
      d->chunked = v.size() >= 7 && strncasecmp(v.data() + v.size() - 7, "chunked", 7) == 0;
    } else if ((bytes == 2 && data[0] == '\r' && data[1] == '\n') || (bytes == 1 && data[0] == '\n')) {
      if (d->lineStatus >= 200 || d->lineStatus == 0) {
        d->status = d->lineStatus;
        d->headersDone = true;
      }
    }
    return bytes;
  }

  static int OnPrereq(void* self, char*, char*, int, int) {
    auto* d = static_cast<Impl*>(self);
    d->connected = true;
    d->lastProgress = Clock::now();
    return CURL_PREREQFUNC_OK;
  }

  // Drives the transfer until `done` holds, the transfer ends, or a wait fails.
  // False on time-out or abort (the request is then dropped).
  template <typename Done>
  bool Pump(Done done) {
    while (!done() && !finished) {
      if (abortCheck && abortCheck()) return Fail();
      int running = 0;
      curl_multi_perform(multi, &running);
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
          finished = true;
          result = msg->data.result;
        }
      }
      if (done() || finished) break;
      if (connected && !paused && Clock::now() - lastProgress > receiveTimeout) return Fail();
      curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    return true;
  }

  // A body without a length it can be checked against, or one that ended
  // before its announced length, is not a complete answer.
  bool BodyIsBroken() const {
    if (chunked) return false;
    if (badLength) return true;
    return finished && result == CURLE_OK && announced >= 0 && received < announced;
  }

  bool Fail() {
    Detach();
    finished = true;
    result = CURLE_OPERATION_TIMEDOUT;
    return false;
  }

  void Resume() {
    if (paused && Buffered() < kBufferedLimit / 2) {
      paused = false;
      lastProgress = Clock::now();
      curl_easy_pause(easy, CURLPAUSE_CONT);
    }
  }
};

HttpClient::HttpClient() : d_(std::make_unique<Impl>()) {}
HttpClient::~HttpClient() = default;

bool HttpClient::Open(const QString& host, int port, bool https, int connectTimeoutMs) {
  Close();
  if (!IsSafeHost(host) || port < 1 || port > 65535 || !d_->easy || !d_->multi) return false;
  d_->base = (https ? "https://" : "http://") + host.toLatin1() + ':' + QByteArray::number(port);
  d_->connectTimeoutMs = connectTimeoutMs > 0 ? connectTimeoutMs : 0;
  return true;
}

void HttpClient::Close() {
  EndRequest();
  d_->DropConnections();
  d_->base.clear();
}

bool HttpClient::IsOpen() const { return !d_->base.isEmpty(); }

void HttpClient::SetUserAgent(const QByteArray& agent) { d_->agent = agent; }
void HttpClient::SetReceiveTimeout(std::chrono::milliseconds timeout) { d_->receiveTimeout = timeout; }
void HttpClient::SetAbortCheck(std::function<bool()> check) { d_->abortCheck = std::move(check); }

bool HttpClient::Send(const QByteArray& path, const std::vector<QByteArray>& headerLines) {
  EndRequest();
  if (!IsOpen()) return false;
  Impl& d = *d_;
  CURL* e = d.easy;
  curl_easy_reset(e);
  curl_slist_free_all(d.headers);
  d.headers = nullptr;
  for (const QByteArray& line : headerLines) d.headers = curl_slist_append(d.headers, line.constData());

  const QByteArray url = d.base + EncodeRequestPath(path);
  curl_easy_setopt(e, CURLOPT_URL, url.constData());
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(e, CURLOPT_USERAGENT, d.agent.constData());
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, d.headers);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 256L * 1024L);
  if (d.connectTimeoutMs > 0) curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, d.connectTimeoutMs);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &d);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &d);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &Impl::OnPrereq);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, &d);

  d.buffer.clear();
  d.head = 0;
  d.paused = d.connected = d.headersDone = d.finished = false;
  d.result = CURLE_OK;
  d.status = d.lineStatus = 0;
  d.announced = -1;
  d.badLength = d.chunked = false;
  d.received = 0;
  d.lastProgress = Clock::now();
  if (curl_multi_add_handle(d.multi, e) != CURLM_OK) return false;
  d.attached = true;
  d.sent = true;

  if (!d.Pump([&] { return d.headersDone; })) return false;
  if (!d.headersDone) {
    // The transfer ended before an answer arrived (refused, reset, timed out).
    d.Detach();
    d.status = 0;
    return false;
  }
  return true;
}

bool HttpClient::HasRequest() const { return d_->attached; }

void HttpClient::EndRequest() {
  d_->Detach();
  d_->buffer.clear();
  d_->head = 0;
  d_->paused = false;
}

int HttpClient::StatusCode() const { return d_->status; }

bool HttpClient::QueryDataAvailable(std::size_t* available) {
  *available = 0;
  Impl& d = *d_;
  if (!d.attached) return false;
  if (d.BodyIsBroken()) return d.Fail();
  if (d.Buffered() == 0) {
    d.Resume();
    if (!d.Pump([&] { return d.Buffered() > 0; })) return false;
  }
  *available = d.Buffered();
  if (*available > 0) return true;
  if (d.BodyIsBroken()) return d.Fail();
  return d.finished && d.result == CURLE_OK;
}

bool HttpClient::Read(char* buffer, std::size_t capacity, std::size_t* got) {
  *got = 0;
  std::size_t available = 0;
  if (!QueryDataAvailable(&available)) return false;
  Impl& d = *d_;
  const std::size_t n = std::min(available, capacity);
  if (n > 0) {
    std::memcpy(buffer, d.buffer.data() + d.head, n);
    d.head += n;
    if (d.head == d.buffer.size()) {
      d.buffer.clear();
      d.head = 0;
    }
    d.Resume();
  }
  *got = n;
  return true;
}

}  // namespace platform
