// The simulated recorder: HTTP serving, state and fault injection.
#include "sim_recorder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <httplib.h>

#include "sim_content.h"
#include "sim_request.h"
#include "sim_socket.h"

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// Cap on a stream captured in memory when a fault has to cut it.
constexpr size_t kStreamCaptureLimit = 4 * 1024 * 1024;

// The answer a request would get without faults.
struct Answer {
  enum class Source { Text, Generated, LocalFile, Stream };
  int status = 200;
  std::string content_type = "text/plain";
  std::vector<std::pair<std::string, std::string>> headers;
  Source source = Source::Text;
  std::string text;        // Text: the body
  std::string path;        // Generated: recorder path (selects the content); LocalFile: local path
  uint64_t size = 0;       // Generated, LocalFile
  StreamRequest stream;    // Stream
};

Answer Text(int status, std::string body, std::string type = "text/plain") {
  Answer a;
  a.status = status;
  a.text = std::move(body);
  a.content_type = std::move(type);
  return a;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string SixDigits(int seconds_of_day) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", seconds_of_day / 3600, seconds_of_day % 3600 / 60,
                seconds_of_day % 60);
  return buf;
}

const char* KindName(FaultKind k) {
  switch (k) {
    case FaultKind::RefuseLogin: return "RefuseLogin";
    case FaultKind::LoginNoDecision: return "LoginNoDecision";
    case FaultKind::NotFound: return "NotFound";
    case FaultKind::Unavailable: return "Unavailable";
    case FaultKind::ErrorPage: return "ErrorPage";
    case FaultKind::Answer: return "Answer";
    case FaultKind::CutShort: return "CutShort";
    case FaultKind::CutShortChunked: return "CutShortChunked";
    case FaultKind::StallHeaders: return "StallHeaders";
    case FaultKind::StallBody: return "StallBody";
    case FaultKind::CloseWithoutAnswer: return "CloseWithoutAnswer";
    case FaultKind::Delay: return "Delay";
    case FaultKind::Flood: return "Flood";
  }
  return "?";
}

// Bytes per write: whole runs at full speed, about 50 ms worth when paced.
size_t ChunkForRate(uint64_t rate) {
  if (rate == 0) return kMaxPatternRun;
  return static_cast<size_t>(std::clamp<uint64_t>(rate / 20, 1, kMaxPatternRun));
}

// Ids the client could misread as a marker are never handed out.
bool SafeId(int id) { return std::to_string(id).find("500") == std::string::npos; }

std::optional<uint64_t> LocalFileSize(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool HasDotDotComponent(std::string_view path) {
  size_t at = 0;
  while (at <= path.size()) {
    const size_t slash = path.find('/', at);
    const std::string_view part = path.substr(at, slash == std::string_view::npos ? path.npos : slash - at);
    if (part == "..") return true;
    if (slash == std::string_view::npos) break;
    at = slash + 1;
  }
  return false;
}

void IgnoreSigpipe() {
  // A client that goes away mid-answer must not end the process.
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
  }
}

}  // namespace

// ------------------------------------------------------------------ parts

std::string RequestRecord::RequestLine() const { return method + " " + target + " " + version; }

std::optional<std::string> RequestRecord::Header(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (k.size() == name.size() &&
        std::equal(k.begin(), k.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return v;
  }
  return std::nullopt;
}

FaultRule FaultRule::For(Request request, FaultKind kind, int times) {
  FaultRule r;
  r.request = request;
  r.kind = kind;
  r.times = times;
  return r;
}

FaultRule FaultRule::ForPrefix(std::string prefix, FaultKind kind, int times) {
  FaultRule r;
  r.path_prefix = std::move(prefix);
  r.kind = kind;
  r.times = times;
  return r;
}

FaultRule FaultRule::AnswerWith(Request request, int status, std::string body, int times) {
  FaultRule r = For(request, FaultKind::Answer, times);
  r.status = status;
  r.body = std::move(body);
  return r;
}

bool IsLoopbackHost(std::string_view host) {
  if (host == "localhost") return true;
  std::string h(host);
  if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  in_addr v4{};
  if (inet_pton(AF_INET, h.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, h.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

// ------------------------------------------------------------------- impl

struct SimRecorder::Impl {
  Config config;
  httplib::Server server;
  std::thread thread;
  std::atomic<int> listening_done{0};
  std::atomic<int> running{0};
  std::atomic<int> stopping{0};
  int port = 0;
  std::string error;
  Clock::time_point started = Clock::now();

  mutable std::mutex mu;  // guards everything below
  mutable std::condition_variable log_changed;
  std::vector<RequestRecord> log;
  uint64_t next_sequence = 0;

  struct Rule {
    int id = 0;
    FaultRule rule;
    int hits = 0;
  };
  std::vector<Rule> rules;
  int next_rule_id = 1;

  bool logged_in = false;
  BackupState backup_state = BackupState::Idle;
  bool playback_busy = false;
  std::set<int> play_ids, backup_ids;
  int last_play = -1, last_backup = -1;
  int next_play = 7, next_backup = 1;

  std::map<Date, std::vector<Recording>> recordings;
  struct StoredFile {
    uint64_t size = 0;
    std::string local;                          // served from this local file when set
    std::shared_ptr<const std::string> bytes;   // served from memory when set (record lists)
    bool crafted = false;                       // given by the test: jobs keep it as it is
  };
  std::map<std::string, StoredFile> files;
  std::optional<std::vector<FileEntry>> job_files;
  std::vector<Job> jobs;
  StreamSource stream_source;
  std::map<int, std::pair<std::string, std::string>> searches;  // play id -> start, end
  std::optional<StreamRequest> last_stream;

  std::function<void(const RequestRecord&)> observer;
  std::atomic<uint64_t> download_rate{0};

  std::mutex stall_mu;
  std::condition_variable stall_cv;
  uint64_t stall_release = 0;

  // --- serving
  void Handle(const httplib::Request& req, httplib::Response& res);
  bool Authorised(const httplib::Request& req) const;
  Answer Normal(Request request, const httplib::Request& req, bool authorised);
  void Send(const Answer& a, const httplib::Request& req, httplib::Response& res);
  void SendRaw(const httplib::Request& req, uint64_t sequence, Answer a, const FaultRule& rule);
  std::string BodyBytes(const Answer& a, uint64_t offset, size_t length) const;
  void Stall(int ms);
  bool Pace(Clock::time_point start, uint64_t sent_before, size_t next);
  void Finish(uint64_t sequence, int status, const char* fault);

  // --- answers (each takes the lock itself)
  Answer Login(bool authorised);
  Answer PlayId(Request request, std::string_view target);
  Answer BackupGrant();
  Answer BackupRenew(std::string_view target);
  Answer QueueJob(std::string_view target);
  Answer Download(std::string_view target);
  Answer DateTimeAnswer() const;
  Answer Privileges() const;
  Answer RecordDates(std::string_view target);
  Answer ChannelList() const;
  Answer RecordListPage(std::string_view target);
  Answer Search(std::string_view target);
  Answer Stream(std::string_view target);

  int NewPlayId();
  int NewBackupId();
  std::string RecordListPathLocked(const Date& day) const;
  std::vector<std::string> ChannelNames() const;
};

std::string SimRecorder::Impl::RecordListPathLocked(const Date& day) const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "/%04d/%02d/%02d/RecordList.db", day.year, day.month, day.day);
  return config.record_root + buf;
}

std::vector<std::string> SimRecorder::Impl::ChannelNames() const {
  std::vector<std::string> names = config.channel_names.empty() ? DefaultChannelNames() : config.channel_names;
  return names;
}

int SimRecorder::Impl::NewPlayId() {
  while (!SafeId(next_play)) ++next_play;
  const int id = next_play++;
  play_ids.insert(id);
  last_play = id;
  return id;
}

int SimRecorder::Impl::NewBackupId() {
  while (!SafeId(next_backup)) ++next_backup;
  const int id = next_backup++;
  backup_ids.insert(id);
  last_backup = id;
  return id;
}

bool SimRecorder::Impl::Authorised(const httplib::Request& req) const {
  if (config.user.empty()) return true;
  if (!req.has_header("Authorization")) return false;
  const auto creds = BasicCredentials(req.get_header_value("Authorization"));
  return creds && creds->first == config.user && creds->second == config.password;
}

void SimRecorder::Impl::Finish(uint64_t sequence, int status, const char* fault) {
  std::function<void(const RequestRecord&)> notify;
  RequestRecord copy;
  {
    std::lock_guard<std::mutex> lock(mu);
    for (auto it = log.rbegin(); it != log.rend(); ++it) {
      if (it->sequence == sequence) {
        it->status = status;
        if (fault) it->fault = fault;
        copy = *it;
        notify = observer;
        break;
      }
    }
  }
  if (notify) notify(copy);
}

// Sleeps until `next` more bytes keep the download at its rate; false when
// the recorder is stopping.
bool SimRecorder::Impl::Pace(Clock::time_point start, uint64_t sent_before, size_t next) {
  const uint64_t rate = download_rate.load();
  if (rate == 0) return !stopping.load();
  const auto due = start + std::chrono::microseconds((sent_before + next) * 1000000 / rate);
  while (Clock::now() < due) {
    if (stopping.load()) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(20)));
  }
  return !stopping.load();
}

void SimRecorder::Impl::Stall(int ms) {
  std::unique_lock<std::mutex> lock(stall_mu);
  const uint64_t generation = stall_release;
  stall_cv.wait_for(lock, std::chrono::milliseconds(ms),
                    [&] { return stopping.load() != 0 || stall_release != generation; });
}

void SimRecorder::Impl::Handle(const httplib::Request& req, httplib::Response& res) {
  RequestRecord rec;
  rec.method = req.method;
  rec.target = req.target;
  rec.version = req.version;
  for (const auto& [k, v] : req.headers) {
    // The library adds these itself; they did not come from the client.
    if (k == "REMOTE_ADDR" || k == "REMOTE_PORT" || k == "LOCAL_ADDR" || k == "LOCAL_PORT") continue;
    rec.headers.emplace_back(k, v);
  }
  rec.remote_addr = req.remote_addr;
  rec.remote_port = req.remote_port;
  rec.request = ClassifyTarget(req.target);
  rec.authorised = Authorised(req);
  rec.received_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();

  std::optional<FaultRule> fault;
  {
    std::lock_guard<std::mutex> lock(mu);
    rec.sequence = next_sequence++;
    for (Rule& r : rules) {
      if (r.rule.times == 0) continue;
      const bool match = r.rule.request                ? *r.rule.request == rec.request
                         : !r.rule.path_prefix.empty() ? rec.target.rfind(r.rule.path_prefix, 0) == 0
                                                       : true;
      if (!match) continue;
      if (r.rule.times > 0) --r.rule.times;
      ++r.hits;
      fault = r.rule;
      rec.fault = KindName(r.rule.kind);
      break;
    }
    log.push_back(rec);
  }
  log_changed.notify_all();

  const uint64_t seq = rec.sequence;
  if (fault && fault->kind == FaultKind::Delay) {
    Stall(fault->stall_ms);
    fault.reset();
  }

  Answer a;
  if (!fault) {
    a = Normal(rec.request, req, rec.authorised);
    Finish(seq, a.status, nullptr);
    Send(a, req, res);
    return;
  }
  switch (fault->kind) {
    case FaultKind::RefuseLogin: a = Text(200, "login=0\n"); break;
    case FaultKind::LoginNoDecision: a = Text(200, "Login=1\n"); break;
    case FaultKind::NotFound: a = Text(404, "Not found\n"); break;
    case FaultKind::Unavailable: a = Text(503, "Service unavailable\n"); break;
    case FaultKind::ErrorPage:
      a = Text(200,
               "<html><head><title>Error</title></head>"
               "<body><h1>Internal error</h1><p>Try again later.</p></body></html>\n",
               "text/html");
      break;
    case FaultKind::Answer: a = Text(fault->status, fault->body); break;
    case FaultKind::CloseWithoutAnswer:
      SendRaw(req, seq, Answer{}, *fault);
      return;
    default:  // the normal answer, broken on the wire
      a = Normal(rec.request, req, rec.authorised);
      SendRaw(req, seq, std::move(a), *fault);
      return;
  }
  Finish(seq, a.status, nullptr);
  Send(a, req, res);
}

void SimRecorder::Impl::Send(const Answer& a, const httplib::Request& req, httplib::Response& res) {
  const int local_port = req.local_port, remote_port = req.remote_port;
  res.status = a.status;
  for (const auto& [k, v] : a.headers) res.set_header(k, v);
  switch (a.source) {
    case Answer::Source::Text:
      res.set_content(a.text, a.content_type);
      return;
    case Answer::Source::Generated: {
      const uint64_t seed = PathSeed(a.path);
      const auto start = Clock::now();
      res.set_content_provider(
          a.size, a.content_type, [this, seed, start](size_t offset, size_t length, httplib::DataSink& sink) {
            const size_t n = std::min(length, ChunkForRate(download_rate.load()));
            if (!Pace(start, offset, n)) return false;
            return sink.write(reinterpret_cast<const char*>(PatternRun(seed, offset, n)), n);
          });
      return;
    }
    case Answer::Source::LocalFile: {
      const int fd = open(a.path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        res.status = 404;
        res.set_content("Not found\n", "text/plain");
        return;
      }
      auto buffer = std::make_shared<std::vector<char>>(kMaxPatternRun);
      const auto start = Clock::now();
      res.set_content_provider(
          a.size, a.content_type,
          [this, fd, buffer, start](size_t offset, size_t length, httplib::DataSink& sink) {
            const size_t want = std::min(length, ChunkForRate(download_rate.load()));
            if (!Pace(start, offset, want)) return false;
            const ssize_t n = pread(fd, buffer->data(), want, static_cast<off_t>(offset));
            if (n <= 0) return false;
            return sink.write(buffer->data(), static_cast<size_t>(n));
          },
          [fd](bool) { close(fd); });
      return;
    }
    case Answer::Source::Stream: {
      StreamRequest sr = a.stream;
      StreamSource source;
      {
        std::lock_guard<std::mutex> lock(mu);
        source = stream_source;
      }
      res.set_content_provider(a.content_type, [this, sr, source, local_port, remote_port](size_t, httplib::DataSink& sink) {
        StreamWriter writer = [this, &sink](std::string_view bytes) {
          if (stopping.load()) return false;
          return sink.write(bytes.data(), bytes.size());
        };
        if (source)
          source(sr, writer);
        else
          writer(DefaultStreamBytes(sr.channel));
        sink.done();
        // A body without a length ends only with its connection; the library
        // would keep the connection for the next request.
        EndConnection(FindConnection(local_port, remote_port));
        return true;
      });
      return;
    }
  }
}

std::string SimRecorder::Impl::BodyBytes(const Answer& a, uint64_t offset, size_t length) const {
  switch (a.source) {
    case Answer::Source::Text:
    case Answer::Source::Stream:
      return offset < a.text.size() ? a.text.substr(offset, length) : std::string();
    case Answer::Source::Generated:
      return ContentBytes(a.path, offset, length);
    case Answer::Source::LocalFile: {
      std::string out(length, '\0');
      const int fd = open(a.path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) return {};
      const ssize_t n = pread(fd, out.data(), length, static_cast<off_t>(offset));
      close(fd);
      out.resize(n > 0 ? static_cast<size_t>(n) : 0);
      return out;
    }
  }
  return {};
}

// Writes a broken answer straight to the connection and ends it; the log
// gets the status as the head goes out (0 when none does).
void SimRecorder::Impl::SendRaw(const httplib::Request& req, uint64_t sequence, Answer a, const FaultRule& rule) {
  const int fd = FindConnection(req.local_port, req.remote_port);
  if (fd < 0 || rule.kind == FaultKind::CloseWithoutAnswer) {
    Finish(sequence, 0, nullptr);
    EndConnection(fd);
    return;
  }
  if (a.source == Answer::Source::Stream) {
    // Capture a bounded piece of the stream so it can be cut like any body.
    StreamSource source;
    {
      std::lock_guard<std::mutex> lock(mu);
      source = stream_source;
    }
    std::string captured;
    StreamWriter writer = [&captured](std::string_view bytes) {
      captured.append(bytes.substr(0, kStreamCaptureLimit - std::min(captured.size(), kStreamCaptureLimit)));
      return captured.size() < kStreamCaptureLimit;
    };
    if (source)
      source(a.stream, writer);
    else
      writer(DefaultStreamBytes(a.stream.channel));
    a.source = Answer::Source::Text;
    a.text = std::move(captured);
  }
  const uint64_t total = a.source == Answer::Source::Text ? a.text.size() : a.size;
  const uint64_t part = rule.send_bytes < 0 ? total / 2 : std::min<uint64_t>(rule.send_bytes, total);
  const bool chunked = rule.kind == FaultKind::CutShortChunked;
  const bool flood = rule.kind == FaultKind::Flood;

  std::string head = "HTTP/1.1 " + std::to_string(a.status) + " " + Reason(a.status) + "\r\n";
  head += "Content-Type: " + a.content_type + "\r\n";
  for (const auto& [k, v] : a.headers) head += k + ": " + v + "\r\n";
  if (chunked)
    head += "Transfer-Encoding: chunked\r\n";
  else if (!rule.content_length.empty())
    head += "Content-Length: " + rule.content_length + "\r\n";
  else if (!flood)
    head += "Content-Length: " + std::to_string(total) + "\r\n";
  if (!chunked && !rule.second_content_length.empty())
    head += "Content-Length: " + rule.second_content_length + "\r\n";
  head += "Connection: close\r\n\r\n";
  uint64_t sent = 0;

  auto send_range = [&](uint64_t from, uint64_t to) {
    for (uint64_t at = from; at < to;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kMaxPatternRun, to - at));
      std::string piece = BodyBytes(a, at, n);
      if (piece.empty()) return false;
      if (chunked) {
        char size_line[32];
        std::snprintf(size_line, sizeof size_line, "%zx\r\n", piece.size());
        piece = size_line + piece + "\r\n";
      }
      if (!SendAll(fd, piece, stopping)) return false;
      sent += n;
      at += n;
    }
    return true;
  };
  // The body over and over, for `bytes` bytes or until the client goes.
  auto send_flood = [&](int64_t bytes) {
    const std::string filler = total > 0 ? BodyBytes(a, 0, static_cast<size_t>(std::min<uint64_t>(total, 1 << 20)))
                                         : std::string("x");
    std::string block;
    while (block.size() < 64 * 1024) block += filler;
    while (bytes < 0 || sent < static_cast<uint64_t>(bytes)) {
      const size_t n = bytes < 0 ? block.size()
                                 : static_cast<size_t>(std::min<uint64_t>(block.size(), uint64_t(bytes) - sent));
      if (!SendAll(fd, std::string_view(block).substr(0, n), stopping)) return;
      sent += n;
    }
  };

  Finish(sequence, a.status, nullptr);
  bool ok = SendAll(fd, head, stopping);
  switch (rule.kind) {
    case FaultKind::CutShort:
    case FaultKind::CutShortChunked:
      if (ok) send_range(0, part);
      break;
    case FaultKind::StallHeaders:
    case FaultKind::StallBody: {
      const uint64_t first = rule.kind == FaultKind::StallBody ? part : 0;
      if (ok) ok = send_range(0, first);
      if (ok) Stall(rule.stall_ms);
      if (ok && rule.finish_after_stall && !stopping.load()) send_range(first, total);
      break;
    }
    case FaultKind::Flood:
      if (ok) send_flood(rule.send_bytes);
      break;
    default:
      break;
  }
  EndConnection(fd);
  std::lock_guard<std::mutex> lock(mu);
  for (auto it = log.rbegin(); it != log.rend(); ++it)
    if (it->sequence == sequence) {
      it->body_sent = sent;
      break;
    }
}

Answer SimRecorder::Impl::Normal(Request request, const httplib::Request& req, bool authorised) {
  const std::string_view target = req.target;
  if (req.method != "GET") return Text(405, "Method not allowed\n");
  if (!authorised) {
    if (request == Request::Login) return Login(false);
    Answer a = Text(401, "Unauthorized\n");
    a.headers.emplace_back("WWW-Authenticate", "Basic realm=\"recorder\"");
    return a;
  }
  switch (request) {
    case Request::Login: return Login(true);
    case Request::Logout: {
      std::lock_guard<std::mutex> lock(mu);
      logged_in = false;
      return Text(200, "logout=1\n");
    }
    case Request::GetPlayId:
    case Request::RenewPlayId: return PlayId(request, target);
    case Request::GetBackupId: return BackupGrant();
    case Request::RenewBackupId: return BackupRenew(target);
    case Request::QueueBackupJob: return QueueJob(target);
    case Request::Download: return Download(target);
    case Request::GetDateTime: return DateTimeAnswer();
    case Request::GetPrivileges: return Privileges();
    case Request::GetRecordDays: return RecordDates(target);
    case Request::GetChannels: return ChannelList();
    case Request::GetRecordListPage: return RecordListPage(target);
    case Request::SeekPlayback: return Search(target);
    case Request::GetStream: return Stream(target);
    case Request::Unknown: break;
  }
  return Text(404, "Not found\n");
}

Answer SimRecorder::Impl::Login(bool authorised) {
  std::lock_guard<std::mutex> lock(mu);
  logged_in = authorised;
  return Text(200, authorised ? "login=1\n" : "login=0\n");
}

Answer SimRecorder::Impl::PlayId(Request request, std::string_view target) {
  std::lock_guard<std::mutex> lock(mu);
  if (playback_busy) return Text(200, "busy\n");
  int id = -1;
  if (request == Request::RenewPlayId) {
    const auto asked = ParseInt(QueryValue(target, "id").value_or(""));
    if (!asked) return Text(400, "Bad request\n");
    if (play_ids.count(*asked)) id = *asked;
  }
  if (id < 0) id = NewPlayId();
  return Text(200, "id=" + std::to_string(id) + "\nlease=30\n");
}

namespace {
std::optional<Answer> BusyAnswer(BackupState s) {
  switch (s) {
    case BackupState::DailyBackupRunning: return Text(200, "result=-1\nlease=0\n");
    case BackupState::ManualBackupRunning: return Text(200, "result=-2\nlease=0\n");
    case BackupState::Busy: return Text(200, "500\n");
    case BackupState::Idle: break;
  }
  return std::nullopt;
}
}  // namespace

Answer SimRecorder::Impl::BackupGrant() {
  std::lock_guard<std::mutex> lock(mu);
  if (auto busy = BusyAnswer(backup_state)) return *busy;
  return Text(200, "id=" + std::to_string(NewBackupId()) + "\nlease=600\n");
}

Answer SimRecorder::Impl::BackupRenew(std::string_view target) {
  std::lock_guard<std::mutex> lock(mu);
  const auto asked = ParseInt(QueryValue(target, "id").value_or(""));
  if (!asked) return Text(400, "Bad request\n");
  if (auto busy = BusyAnswer(backup_state)) return *busy;
  if (backup_ids.count(*asked)) return Text(200, "id=" + std::to_string(*asked) + "\nlease=600\n");
  if (!config.regrant_unknown_backup_id) return Text(200, "error=expired\n");
  const int id = backup_ids.empty() ? NewBackupId() : *backup_ids.rbegin();
  return Text(200, "id=" + std::to_string(id) + "\nlease=600\n");
}

Answer SimRecorder::Impl::QueueJob(std::string_view target) {
  const auto start_text = QueryValue(target, "starttime");
  const auto end_text = QueryValue(target, "endtime");
  const auto mask_text = QueryValue(target, "channel");
  const auto start = ParsePaddedDateTime(start_text.value_or(""));
  const auto end = ParsePaddedDateTime(end_text.value_or(""));
  const auto mask = ParseInt(mask_text.value_or(""));
  if (!start || !end || !mask || *mask < 0 || *mask > 0xFFFF) return Text(400, "Bad request\n");

  std::lock_guard<std::mutex> lock(mu);
  if (config.require_backup_lease && backup_ids.empty()) return Text(404, "Not found\n");

  const Date day{start->year, start->month, start->day};
  const Date end_day{end->year, end->month, end->day};
  const int from = start->hour * 3600 + start->minute * 60 + start->second;
  int to = end_day == day ? end->hour * 3600 + end->minute * 60 + end->second : 86400;
  if (to == 86399) to = 86400;  // the client caps an end of 24:00 at 23:59:59

  Job job;
  job.number = static_cast<int>(jobs.size()) + 1;
  job.start = *start;
  job.end = *end;
  job.channel_mask = static_cast<uint32_t>(*mask);

  auto size_of = [&](const std::string& path, uint64_t generated) {
    if (!config.local_root.empty() && !HasDotDotComponent(path))
      if (auto s = LocalFileSize(config.local_root + path)) return *s;
    return generated;
  };

  const auto day_it = recordings.find(day);
  // Files the configuration lists as given, served with generated bytes.
  const auto list_as_given = [&](const std::vector<FileEntry>& given) {
    for (const FileEntry& f : given) {
      job.files.push_back(f);
      files[f.path] = StoredFile{f.size, {}, nullptr};
    }
  };
  list_as_given(config.first_job_files);
  if (job_files) {
    for (const FileEntry& f : *job_files) {
      job.files.push_back({f.path, size_of(f.path, f.size)});
      files[f.path] = StoredFile{f.size, {}, nullptr};
    }
  } else if (day_it != recordings.end()) {
    struct Piece {
      int start, end, channel;
    };
    std::vector<Piece> pieces;
    for (const Recording& r : day_it->second) {
      if (r.channel < 1 || r.channel > 16 || !(job.channel_mask & (1u << (r.channel - 1)))) continue;
      const int a = std::max(r.start, from), b = std::min(r.end, to);
      // Recorders keep one file per hour, so a span yields several files.
      for (int s = a; s < b;) {
        const int next = std::min(b, (s / 3600 + 1) * 3600);
        pieces.push_back({s, next, r.channel});
        s = next;
      }
    }
    std::sort(pieces.begin(), pieces.end(), [](const Piece& x, const Piece& y) {
      return x.start != y.start ? x.start < y.start : x.channel < y.channel;
    });
    for (const Piece& p : pieces) {
      char buf[96];
      std::snprintf(buf, sizeof buf, "/ch%02d/%04d/%02d/%02d/%s_%s.avi", p.channel, day.year, day.month,
                    day.day, SixDigits(p.start).c_str(), SixDigits(p.end).c_str());
      const std::string path = config.record_root + buf;
      const uint64_t generated = 4096 + config.bytes_per_second * static_cast<uint64_t>(p.end - p.start);
      job.files.push_back({path, size_of(path, generated)});
      files[path] = StoredFile{generated, {}, nullptr};
    }
  }

  list_as_given(config.extra_job_files);
  for (const auto& [number, file] : config.nth_job_files)
    if (number == job.number) list_as_given({file});

  job.record_list.path = RecordListPathLocked(day);
  if (auto crafted = files.find(job.record_list.path); crafted != files.end() && crafted->second.crafted) {
    job.record_list.size = crafted->second.size;
  } else {
    auto list = std::make_shared<const std::string>(
        BuildRecordList(day, day_it != recordings.end() ? day_it->second : std::vector<Recording>{}));
    job.record_list.size = list->size();
    files[job.record_list.path] = StoredFile{list->size(), {}, list};
  }

  job.total = job.record_list.size;
  for (const FileEntry& f : job.files) job.total += f.size;
  job.answer = "total," + std::to_string(job.total) + "\n";
  for (const FileEntry& f : job.files) job.answer += f.path + "," + std::to_string(f.size) + "\n";
  job.answer += job.record_list.path + "," + std::to_string(job.record_list.size) + "\n";
  jobs.push_back(job);
  return Text(200, job.answer);
}

Answer SimRecorder::Impl::Download(std::string_view target) {
  const auto params = QueryParams(target);
  const auto path = DownloadPath(target);
  if (params.empty() || params[0].first != "id" || !path) return Text(400, "Bad request\n");
  const auto id = ParseInt(params[0].second);
  if (!id) return Text(400, "Bad request\n");

  std::lock_guard<std::mutex> lock(mu);
  if (config.require_backup_lease && !backup_ids.count(*id)) return Text(404, "Not found\n");
  Answer a;
  a.content_type = "application/octet-stream";
  if (!config.local_root.empty() && !HasDotDotComponent(*path)) {
    const std::string local = config.local_root + *path;
    if (auto size = LocalFileSize(local)) {
      a.source = Answer::Source::LocalFile;
      a.path = local;
      a.size = *size;
      return a;
    }
  }
  const auto it = files.find(*path);
  if (it == files.end()) return Text(404, "Not found\n");
  if (it->second.bytes) {
    a.text = *it->second.bytes;
    return a;
  }
  if (!it->second.local.empty()) {
    const auto size = LocalFileSize(it->second.local);
    if (!size) return Text(404, "Not found\n");
    a.source = Answer::Source::LocalFile;
    a.path = it->second.local;
    a.size = *size;
    return a;
  }
  if (it->second.size == 0) return a;  // an empty body goes out as text with Content-Length 0
  a.source = Answer::Source::Generated;
  a.path = *path;
  a.size = it->second.size;
  return a;
}

Answer SimRecorder::Impl::DateTimeAnswer() const {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "date=%Y-%m-%d %H:%M:%S\n", &tm);
  return Text(200, buf);
}

Answer SimRecorder::Impl::Privileges() const {
  return Text(200, "user=" + config.user + "\nplayprivilege=" + std::to_string(config.play_privilege) +
                       "\nbackupprivilege=65535\n");
}

Answer SimRecorder::Impl::RecordDates(std::string_view target) {
  const auto year = ParseInt(QueryValue(target, "recyear").value_or(""));
  const auto month = ParseInt(QueryValue(target, "recmonth").value_or(""));
  if (!year || !month) return Text(400, "Bad request\n");
  std::lock_guard<std::mutex> lock(mu);
  std::string body;
  for (const auto& [day, list] : recordings) {
    if (day.year != *year || day.month != *month || list.empty()) continue;
    char line[32];
    std::snprintf(line, sizeof line, "%04d,%02d,%02d\n", day.year, day.month, day.day);
    body += line;
  }
  if (body.empty()) return Text(503, "No data\n");
  return Text(200, body);
}

Answer SimRecorder::Impl::ChannelList() const {
  const std::vector<std::string> names = ChannelNames();
  std::string body = "avdevnum=" + std::to_string(names.size()) + "\n";
  for (size_t i = 0; i < names.size(); ++i) body += std::to_string(i + 1) + ";" + names[i] + ";1\n";
  return Text(200, body);
}

Answer SimRecorder::Impl::RecordListPage(std::string_view target) {
  const auto id = ParseInt(QueryValue(target, "id").value_or(""));
  const auto start = ParseInt(QueryValue(target, "start").value_or(""));
  const auto y = ParseInt(QueryValue(target, "recyear").value_or(""));
  const auto m = ParseInt(QueryValue(target, "recmonth").value_or(""));
  const auto d = ParseInt(QueryValue(target, "recday").value_or(""));
  if (!id || !start || !y || !m || !d || *start < 0) return Text(400, "Bad request\n");

  std::lock_guard<std::mutex> lock(mu);
  const auto it = recordings.find(Date{*y, *m, *d});
  if (!play_ids.count(*id) || it == recordings.end()) return Text(200, "total=0\n");

  // One record per distinct span, with a type for every channel.
  std::map<std::pair<int, int>, std::array<int, 16>> spans;
  for (const Recording& r : it->second) {
    if (r.channel < 1 || r.channel > 16) continue;
    auto& types = spans.try_emplace({r.start, r.end}).first->second;
    types[r.channel - 1] |= r.type;
  }
  std::vector<std::string> lines;
  for (const auto& [span, types] : spans) {
    std::string line = "t1=" + SixDigits(span.first) + ";t2=" + SixDigits(span.second) + ";type=";
    bool first = true;
    // The list holds a value only for the channels the user may play, channel 16 first.
    for (int ch = 16; ch >= 1; --ch) {
      if (!(config.play_privilege & (1 << (ch - 1)))) continue;
      if (!first) line += ",";
      line += std::to_string(types[ch - 1]);
      first = false;
    }
    lines.push_back(line + "\n");
  }
  const size_t total = lines.size();
  const size_t from = std::min<size_t>(static_cast<size_t>(*start), total);
  const size_t to = std::min(total, from + 300);
  std::string body = "total=" + std::to_string(total) + "\ncount=" + std::to_string(to - from) + "\n";
  for (size_t i = from; i < to; ++i) body += lines[i];
  return Text(200, body);
}

Answer SimRecorder::Impl::Search(std::string_view target) {
  const auto id = ParseInt(QueryValue(target, "id").value_or(""));
  if (!id) return Text(400, "Bad request\n");
  std::lock_guard<std::mutex> lock(mu);
  searches[*id] = {QueryValue(target, "recstarttime").value_or(""),
                   QueryValue(target, "recendtime").value_or("")};
  return Text(200, "OK\n");
}

Answer SimRecorder::Impl::Stream(std::string_view target) {
  const auto id = ParseInt(QueryValue(target, "id").value_or(""));
  if (!id) return Text(400, "Bad request\n");
  std::lock_guard<std::mutex> lock(mu);
  if (!play_ids.count(*id)) return Text(404, "Not found\n");
  StreamRequest sr;
  sr.play_id = *id;
  sr.channel_flags = QueryValue(target, "avdevid").value_or("");
  sr.target = std::string(target);
  int position = 1;
  for (size_t i = 0; i < sr.channel_flags.size(); ++i) {
    if (sr.channel_flags[i] == ',') {
      ++position;
    } else if (sr.channel_flags[i] == '1' && (i + 1 == sr.channel_flags.size() || sr.channel_flags[i + 1] == ',') &&
               (i == 0 || sr.channel_flags[i - 1] == ',')) {
      sr.channel = position;
      break;
    }
  }
  if (auto s = searches.find(*id); s != searches.end()) {
    sr.search_start = s->second.first;
    sr.search_end = s->second.second;
  }
  last_stream = sr;
  Answer a;
  a.source = Answer::Source::Stream;
  a.content_type = "application/octet-stream";
  a.headers.emplace_back("Connection", "close");  // the stream ends when the connection does
  a.stream = sr;
  return a;
}

// --------------------------------------------------------------- recorder

SimRecorder::SimRecorder(Config config) : impl_(std::make_unique<Impl>()) {
  impl_->config = std::move(config);
  if (impl_->config.default_content) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LoadDefaultContent(Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday});
  }
}

SimRecorder::~SimRecorder() { Stop(); }

bool SimRecorder::Start() {
  Impl& s = *impl_;
  if (s.thread.joinable() || s.stopping.load()) {
    s.error = "already started";
    return false;
  }
  if (!IsLoopbackHost(s.config.host)) {
    s.error = "refusing host '" + s.config.host + "': the simulated recorder serves loopback addresses only";
    return false;
  }
  IgnoreSigpipe();
  s.server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  // The library's default also sets SO_REUSEPORT, which would let a second
  // recorder bind a port that is in use; a taken port must fail.
  s.server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  s.server.set_tcp_nodelay(true);  // headers and body go out in separate writes
  s.server.set_keep_alive_max_count(1000000);
  s.server.set_keep_alive_timeout(std::max(1, s.config.keep_alive_seconds));
  s.server.set_read_timeout(5);
  s.server.set_write_timeout(5);
  // Every request comes here before routing, whatever its method or path, so
  // none escapes the log.
  s.server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    impl_->Handle(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });

  std::string host = s.config.host;
  if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  if (s.config.port == 0) {
    s.port = s.server.bind_to_any_port(host);
  } else {
    s.port = s.server.bind_to_port(host, s.config.port) ? s.config.port : -1;
  }
  if (s.port <= 0) {
    s.error = "cannot bind " + s.config.host + ":" + std::to_string(s.config.port);
    s.port = 0;
    return false;
  }
  s.started = Clock::now();
  s.thread = std::thread([&s] {
    s.server.listen_after_bind();
    s.listening_done = 1;
  });
  for (int i = 0; i < 400 && !s.server.is_running() && !s.listening_done.load(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  s.running = s.server.is_running() ? 1 : 0;
  return true;
}

void SimRecorder::Stop() {
  Impl& s = *impl_;
  if (!s.thread.joinable()) return;
  s.stopping = 1;
  ReleaseStalls();
  s.server.stop();
  // Idle kept-alive connections would hold their server threads for the
  // keep-alive time; end them (again, for any accepted meanwhile) until done.
  while (!s.listening_done.load()) {
    EndConnectionsOnPort(s.port);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  s.thread.join();
  s.running = 0;
}

bool SimRecorder::Running() const { return impl_->running.load() != 0 && !impl_->stopping.load(); }
int SimRecorder::Port() const { return impl_->port; }

std::string SimRecorder::BaseUrl() const {
  std::string host = impl_->config.host;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(impl_->port);
}

std::string SimRecorder::Error() const { return impl_->error; }
const Config& SimRecorder::GetConfig() const { return impl_->config; }

std::vector<RequestRecord> SimRecorder::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->log;
}

std::vector<RequestRecord> SimRecorder::Requests(Request request) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  std::vector<RequestRecord> out;
  for (const auto& r : impl_->log)
    if (r.request == request) out.push_back(r);
  return out;
}

size_t SimRecorder::RequestCount(std::optional<Request> request) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (!request) return impl_->log.size();
  return static_cast<size_t>(std::count_if(impl_->log.begin(), impl_->log.end(),
                                           [request](const RequestRecord& r) { return r.request == *request; }));
}

void SimRecorder::ClearRequests() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->log.clear();
}

bool SimRecorder::WaitForRequests(size_t count, std::optional<Request> request, int timeout_ms) const {
  std::unique_lock<std::mutex> lock(impl_->mu);
  return impl_->log_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    if (!request) return impl_->log.size() >= count;
    return static_cast<size_t>(std::count_if(impl_->log.begin(), impl_->log.end(), [request](const RequestRecord& r) {
             return r.request == *request;
           })) >= count;
  });
}

int SimRecorder::AddFault(FaultRule rule) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  const int id = impl_->next_rule_id++;
  impl_->rules.push_back({id, std::move(rule), 0});
  return id;
}

void SimRecorder::RemoveFault(int id) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  std::erase_if(impl_->rules, [id](const Impl::Rule& r) { return r.id == id; });
}

void SimRecorder::ClearFaults() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->rules.clear();
}

int SimRecorder::FaultHits(int id) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  for (const auto& r : impl_->rules)
    if (r.id == id) return r.hits;
  return 0;
}

void SimRecorder::SetRequestObserver(std::function<void(const RequestRecord&)> observer) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->observer = std::move(observer);
}

void SimRecorder::SetDownloadRate(uint64_t bytes_per_second) { impl_->download_rate = bytes_per_second; }

void SimRecorder::ReleaseStalls() {
  {
    std::lock_guard<std::mutex> lock(impl_->stall_mu);
    ++impl_->stall_release;
  }
  impl_->stall_cv.notify_all();
}

bool SimRecorder::LoggedIn() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->logged_in;
}

void SimRecorder::SetBackupState(BackupState state) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->backup_state = state;
}

BackupState SimRecorder::GetBackupState() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->backup_state;
}

void SimRecorder::SetPlaybackBusy(bool busy) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->playback_busy = busy;
}

std::vector<int> SimRecorder::ValidPlayIds() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return {impl_->play_ids.begin(), impl_->play_ids.end()};
}

std::vector<int> SimRecorder::ValidBackupIds() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return {impl_->backup_ids.begin(), impl_->backup_ids.end()};
}

int SimRecorder::LastPlayId() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->last_play;
}

int SimRecorder::LastBackupId() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->last_backup;
}

void SimRecorder::ExpirePlayId(int id) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->play_ids.erase(id);
}

void SimRecorder::ExpireBackupId(int id) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->backup_ids.erase(id);
}

void SimRecorder::ExpireAllLeases() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->play_ids.clear();
  impl_->backup_ids.clear();
}

void SimRecorder::ClearRecordings() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->recordings.clear();
}

void SimRecorder::SetRecordings(const Date& day, std::vector<Recording> recordings) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (recordings.empty())
    impl_->recordings.erase(day);
  else
    impl_->recordings[day] = std::move(recordings);
}

std::vector<Recording> SimRecorder::RecordingsOn(const Date& day) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  const auto it = impl_->recordings.find(day);
  return it == impl_->recordings.end() ? std::vector<Recording>{} : it->second;
}

std::vector<Date> SimRecorder::DaysWithRecordings() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  std::vector<Date> out;
  for (const auto& [day, list] : impl_->recordings)
    if (!list.empty()) out.push_back(day);
  return out;
}

void SimRecorder::AddFile(std::string recorder_path, uint64_t size) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->files[std::move(recorder_path)] = Impl::StoredFile{size, {}, nullptr};
}

void SimRecorder::AddLocalFile(std::string recorder_path, std::string local_path) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->files[std::move(recorder_path)] = Impl::StoredFile{0, std::move(local_path), nullptr};
}

void SimRecorder::AddFileContent(std::string recorder_path, std::string bytes) {
  auto shared = std::make_shared<const std::string>(std::move(bytes));
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->files[std::move(recorder_path)] = Impl::StoredFile{shared->size(), {}, shared, true};
}

std::optional<uint64_t> SimRecorder::FileSize(const std::string& recorder_path) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  const auto it = impl_->files.find(recorder_path);
  if (it == impl_->files.end()) return std::nullopt;
  if (!it->second.local.empty()) return LocalFileSize(it->second.local);
  return it->second.size;
}

void SimRecorder::SetJobFiles(std::optional<std::vector<FileEntry>> files) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->job_files = std::move(files);
}

std::string SimRecorder::RecordListPath(const Date& day) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->RecordListPathLocked(day);
}

std::vector<Job> SimRecorder::Jobs() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->jobs;
}

std::optional<Job> SimRecorder::LastJob() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (impl_->jobs.empty()) return std::nullopt;
  return impl_->jobs.back();
}

void SimRecorder::SetStreamSource(StreamSource source) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->stream_source = std::move(source);
}

std::optional<StreamRequest> SimRecorder::LastStreamRequest() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->last_stream;
}

void SimRecorder::LoadDefaultContent(const Date& today) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->recordings.clear();
  for (const Date& d : DefaultRecordedDays(today)) impl_->recordings[d] = DefaultDayRecordings(d);
}

}  // namespace sim
