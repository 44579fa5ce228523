// Tests of the simulated recorder itself, through raw loopback sockets so that
// what goes over the wire is exactly what the test wrote and read.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim_recorder.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kAdminAuth = "Basic YWRtaW46YWRtaW4=";  // admin:admin

// One loopback connection that sends raw bytes and reads raw bytes.
class RawConnection {
 public:
  explicit RawConnection(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~RawConnection() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  void Send(const std::string& bytes) { ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), (ssize_t)bytes.size()); }

  // Reads until the peer closes, `want` bytes arrived (0 = no limit), or
  // nothing came for `idle_ms`.
  struct Result {
    std::string bytes;
    bool closed = false;
  };
  Result Read(int idle_ms, size_t want = 0) {
    Result r;
    char buf[65536];
    for (;;) {
      if (want && r.bytes.size() >= want) return r;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, idle_ms) <= 0) return r;
      const ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) {
        r.closed = true;
        return r;
      }
      r.bytes.append(buf, static_cast<size_t>(n));
    }
  }

  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

std::string Get(const std::string& target, const char* auth = kAdminAuth, bool close = false) {
  std::string r = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: InetURL/1.0\r\n";
  if (auth) r += std::string("Authorization: ") + auth + "\r\n";
  if (close) r += "Connection: close\r\n";
  return r + "\r\n";
}

struct Response {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  bool complete = false;  // body as long as its Content-Length says, or a whole chunked body
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Parses one response from the front of `raw`; the rest stays in `raw`.
Response ParseResponse(std::string& raw) {
  Response r;
  const size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return r;
  const std::string head = raw.substr(0, end);
  size_t at = head.find("\r\n");
  r.status = std::atoi(head.substr(9, 3).c_str());
  while (at != std::string::npos && at < head.size()) {
    const size_t next = head.find("\r\n", at + 2);
    const std::string line = head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) r.headers[Lower(line.substr(0, colon))] = line.substr(colon + 2);
    at = next;
  }
  std::string rest = raw.substr(end + 4);
  if (r.headers.count("content-length")) {
    const size_t len = std::stoull(r.headers["content-length"]);
    r.complete = rest.size() >= len;
    r.body = rest.substr(0, len);
    raw = rest.size() > len ? rest.substr(len) : std::string();
  } else if (r.headers["transfer-encoding"] == "chunked") {
    size_t pos = 0;
    for (;;) {
      const size_t eol = rest.find("\r\n", pos);
      if (eol == std::string::npos) break;
      const size_t n = std::stoul(rest.substr(pos, eol - pos), nullptr, 16);
      if (n == 0) {
        r.complete = true;
        break;
      }
      if (eol + 2 + n > rest.size()) {
        r.body += rest.substr(eol + 2);
        break;
      }
      r.body += rest.substr(eol + 2, n);
      pos = eol + 2 + n + 2;
    }
    raw.clear();
  } else {
    r.body = rest;  // ends with the connection
    raw.clear();
  }
  return r;
}

// One request on a fresh connection, read until complete or closed.
Response Fetch(int port, const std::string& target, const char* auth = kAdminAuth) {
  RawConnection c(port);
  EXPECT_TRUE(c.ok());
  c.Send(Get(target, auth, true));
  std::string raw = c.Read(3000).bytes;
  return ParseResponse(raw);
}

// Reads one whole response from a kept-alive connection (or up to its close).
Response ReadResponse(RawConnection& c) {
  std::string raw;
  for (;;) {
    RawConnection::Result got = c.Read(3000, 1);
    raw += got.bytes;
    std::string copy = raw;
    Response r = ParseResponse(copy);
    if (r.complete || got.closed || got.bytes.empty()) return r;
  }
}

class SimRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rec.Start()) << rec.Error();
    port = rec.Port();
  }
  // Grants a backup id through the recorder's own interface.
  int TakeBackupId() {
    Response r = Fetch(port, "/config/getbackupid");
    EXPECT_EQ(r.status, 200);
    return std::atoi(r.body.substr(3).c_str());
  }
  int TakePlayId() {
    Response r = Fetch(port, "/play/getid");
    EXPECT_EQ(r.status, 200);
    return std::atoi(r.body.substr(3).c_str());
  }

  sim::SimRecorder rec;
  int port = 0;
};

// ------------------------------------------------------------ start, stop

TEST(SimRecorderHost, RefusesHostsThatAreNotLoopback) {
  struct Case {
    const char* host;
    bool loopback;
  } cases[] = {{"127.0.0.1", true},  {"127.5.6.7", true}, {"::1", true},        {"[::1]", true},
               {"localhost", true},  {"0.0.0.0", false},  {"192.0.2.1", false}, {"10.0.0.1", false},
               {"128.0.0.1", false}, {"::", false},       {"example", false},   {"", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(sim::IsLoopbackHost(c.host), c.loopback) << c.host;
    if (!c.loopback) {
      sim::Config cfg;
      cfg.host = c.host;
      sim::SimRecorder r(cfg);
      EXPECT_FALSE(r.Start()) << c.host;
      EXPECT_NE(r.Error().find("loopback"), std::string::npos) << c.host;
    }
  }
}

TEST(SimRecorderHost, GivenPortIsUsedAndStopIsQuickWithIdleConnections) {
  sim::SimRecorder probe;
  ASSERT_TRUE(probe.Start());
  const int free_port = probe.Port();
  probe.Stop();

  sim::Config cfg;
  cfg.port = free_port;
  sim::SimRecorder r(cfg);
  ASSERT_TRUE(r.Start()) << r.Error();
  EXPECT_EQ(r.Port(), free_port);
  EXPECT_EQ(r.BaseUrl(), "http://127.0.0.1:" + std::to_string(free_port));
  sim::SimRecorder second(cfg);  // the port is taken now
  EXPECT_FALSE(second.Start());
  EXPECT_NE(second.Error().find("cannot bind"), std::string::npos);
  // A kept-alive connection that stays idle must not hold Stop().
  RawConnection idle(free_port);
  idle.Send(Get("/config/datetime"));
  std::string raw = idle.Read(2000, 1).bytes;
  raw += idle.Read(200).bytes;
  EXPECT_EQ(ParseResponse(raw).status, 200);
  const auto t0 = Clock::now();
  r.Stop();
  EXPECT_LT(Clock::now() - t0, 2s);
  EXPECT_FALSE(r.Running());
  r.Stop();  // twice is harmless
}

// ----------------------------------------------------------- authorisation

TEST_F(SimRecorderTest, BasicAuthorisationDecidesLoginAndEveryOtherAnswer) {
  struct Case {
    const char* name;
    const char* auth;
    const char* login_body;
    int other_status;
  } cases[] = {
      {"right", kAdminAuth, "login=1\n", 200},
      {"missing", nullptr, "login=0\n", 401},
      {"wrong password", "Basic YWRtaW46YWRtaW5u", "login=0\n", 401},  // admin:adminn
      {"wrong user", "Basic QWRtaW46YWRtaW4=", "login=0\n", 401},      // Admin:admin
      {"not base64", "Basic !!!!", "login=0\n", 401},
      {"other scheme", "Bearer YWRtaW46YWRtaW4=", "login=0\n", 401},
  };
  for (const Case& c : cases) {
    Response login = Fetch(port, "/config/login", c.auth);
    EXPECT_EQ(login.status, 200) << c.name;
    EXPECT_EQ(login.body, c.login_body) << c.name;
    EXPECT_EQ(rec.LoggedIn(), c.other_status == 200) << c.name;
    Response other = Fetch(port, "/config/datetime", c.auth);
    EXPECT_EQ(other.status, c.other_status) << c.name;
    if (c.other_status == 401) {
      EXPECT_EQ(other.body, "Unauthorized\n") << c.name;
      EXPECT_EQ(other.headers["www-authenticate"], "Basic realm=\"recorder\"") << c.name;
    }
  }
  const auto log = rec.Requests(sim::Request::Login);
  ASSERT_EQ(log.size(), std::size(cases));
  EXPECT_TRUE(log[0].authorised);
  EXPECT_FALSE(log[1].authorised);
}

// ------------------------------------------------------------- request log

TEST_F(SimRecorderTest, LogKeepsTheRawTargetAndEveryHeader) {
  rec.AddFile("/rec/my clip\xE9.avi", 1000);
  const int id = TakeBackupId();
  rec.ClearRequests();
  const std::string target = "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/my%20clip%E9.avi";
  RawConnection c(port);
  c.Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:1\r\nUser-Agent: InetURL/1.0\r\n"
         "Authorization: " + kAdminAuth + "\r\nX-Extra:   padded value  \r\nConnection: close\r\n\r\n");
  std::string raw = c.Read(3000).bytes;
  Response r = ParseResponse(raw);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, sim::ContentBytes("/rec/my clip\xE9.avi", 0, 1000));

  const auto log = rec.Requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].request, sim::Request::Download);
  EXPECT_EQ(log[0].target, target);
  EXPECT_EQ(log[0].RequestLine(), "GET " + target + " HTTP/1.1");
  EXPECT_EQ(log[0].Header("user-agent"), "InetURL/1.0");
  EXPECT_EQ(log[0].Header("Authorization"), kAdminAuth);
  EXPECT_EQ(log[0].Header("X-Extra"), "padded value");
  EXPECT_EQ(log[0].Header("Host"), "127.0.0.1:1");
  EXPECT_FALSE(log[0].Header("REMOTE_ADDR"));
  EXPECT_EQ(log[0].headers.size(), 5u);
  EXPECT_EQ(log[0].status, 200);
  EXPECT_TRUE(log[0].fault.empty());
}

TEST_F(SimRecorderTest, RequestsAreNumberedByTheCatalogue) {
  struct Case {
    const char* target;
    sim::Request request;
  } cases[] = {
      {"/config/login", sim::Request::Login},
      {"/config/logout", sim::Request::Logout},
      {"/play/getid", sim::Request::GetPlayId},
      {"/play/getid?id=7", sim::Request::RenewPlayId},
      {"/config/getbackupid", sim::Request::GetBackupId},
      {"/config/getbackupid?id=-1", sim::Request::RenewBackupId},
      {"/config/tarnwell?starttime=2012,05,03,08,00,00&endtime=2012,05,03,09,00,00&channel=1",
       sim::Request::QueueBackupJob},
      {"/config/backupdownload?id=1&path=/x", sim::Request::Download},
      {"/config/datetime", sim::Request::GetDateTime},
      {"/config/userprivileges", sim::Request::GetPrivileges},
      {"/play/recdate?recyear=2012&recmonth=5", sim::Request::GetRecordDays},
      {"/live/avdevlist", sim::Request::GetChannels},
      {"/play/reclist?id=7&start=0&recyear=2012&recmonth=5&recday=3", sim::Request::GetRecordListPage},
      {"/play/searchdata?id=7&recstarttime=2012,5,3,8,0,0&recendtime=2012,5,3,9,0,0&avdevids=1",
       sim::Request::SeekPlayback},
      {"/config/unknown", sim::Request::Unknown},
      {"/config/%0D%0A?x=1", sim::Request::Unknown},
      {"/play/mav/nvrprofilestream?id=7&avdevid=1&profile=1", sim::Request::GetStream},
  };
  RawConnection c(port);  // one kept-alive connection carries them all
  for (const Case& k : cases) {
    c.Send(Get(k.target));
    ReadResponse(c);
    if (k.request == sim::Request::GetStream) {  // a stream ends with its connection
      EXPECT_TRUE(c.Read(1000).closed);
      break;
    }
  }
  const auto log = rec.Requests();
  ASSERT_EQ(log.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(log[i].request, cases[i].request) << cases[i].target;
    EXPECT_EQ(log[i].sequence, i);
  }
  EXPECT_EQ(rec.RequestCount(sim::Request::RenewPlayId), 1u);
  EXPECT_EQ(log[14].status, 404);
  EXPECT_EQ(log[15].status, 404);
  EXPECT_EQ(log[15].target, "/config/%0D%0A?x=1");
  EXPECT_EQ(log[0].remote_port, log[5].remote_port);  // same connection
  EXPECT_TRUE(rec.WaitForRequests(1, sim::Request::GetChannels, 10));
  EXPECT_FALSE(rec.WaitForRequests(2, sim::Request::GetChannels, 10));
}

// ------------------------------------------------------------------ leases

TEST_F(SimRecorderTest, OtherMethodsAreLoggedAndRefused) {
  RawConnection c(port);
  c.Send("POST /config/login HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc");
  EXPECT_EQ(ReadResponse(c).status, 405);
  ASSERT_EQ(rec.RequestCount(), 1u);
  EXPECT_EQ(rec.Requests()[0].RequestLine(), "POST /config/login HTTP/1.1");
  EXPECT_FALSE(rec.LoggedIn());
}

TEST_F(SimRecorderTest, PlaybackLeases) {
  const int first = TakePlayId();
  EXPECT_EQ(first, 7);
  EXPECT_EQ(Fetch(port, "/play/getid?id=7").body, "id=7\nlease=30\n");  // renewal keeps it
  rec.ExpirePlayId(7);
  Response renewed = Fetch(port, "/play/getid?id=7");  // an expired id is replaced
  EXPECT_EQ(renewed.body, "id=8\nlease=30\n");
  EXPECT_EQ(rec.ValidPlayIds(), std::vector<int>({8}));
  EXPECT_EQ(rec.LastPlayId(), 8);
  rec.SetPlaybackBusy(true);
  EXPECT_EQ(Fetch(port, "/play/getid").body, "busy\n");
  EXPECT_EQ(Fetch(port, "/play/getid?id=8").body, "busy\n");
}

TEST_F(SimRecorderTest, BackupLeaseMarkers) {
  EXPECT_EQ(Fetch(port, "/config/getbackupid").body, "id=1\nlease=600\n");
  EXPECT_EQ(Fetch(port, "/config/getbackupid?id=1").body, "id=1\nlease=600\n");
  EXPECT_EQ(Fetch(port, "/config/getbackupid?id=-1").body, "error=expired\n");
  rec.ExpireBackupId(1);
  EXPECT_EQ(Fetch(port, "/config/getbackupid?id=1").body, "error=expired\n");
  EXPECT_TRUE(rec.ValidBackupIds().empty());

  struct Case {
    sim::BackupState state;
    const char* answer;
  } cases[] = {
      {sim::BackupState::DailyBackupRunning, "result=-1\nlease=0\n"},
      {sim::BackupState::ManualBackupRunning, "result=-2\nlease=0\n"},
      {sim::BackupState::Busy, "500\n"},
  };
  for (const Case& c : cases) {
    rec.SetBackupState(c.state);
    EXPECT_EQ(Fetch(port, "/config/getbackupid").body, c.answer);
    EXPECT_EQ(Fetch(port, "/config/getbackupid?id=1").body, c.answer);
  }
  EXPECT_EQ(rec.LastBackupId(), 1);  // no grant while the recorder was busy
  rec.SetBackupState(sim::BackupState::Idle);
  EXPECT_EQ(Fetch(port, "/config/getbackupid").body, "id=2\nlease=600\n");
}

TEST_F(SimRecorderTest, BackupIdsNeverHoldTheBusyMarker) {
  RawConnection c(port);  // one kept-alive connection, as the client keeps one
  for (int i = 0; i < 505; ++i) {
    c.Send(Get("/config/getbackupid"));
    Response r = ReadResponse(c);
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(r.body.find("500"), std::string::npos) << r.body;
  }
  EXPECT_EQ(rec.LastBackupId(), 506);  // 500 was skipped
  EXPECT_EQ(rec.ValidBackupIds().size(), 505u);
}

TEST(SimRecorderRegrant, UnknownBackupIdIsReplacedWhenAsked) {
  sim::Config cfg;
  cfg.regrant_unknown_backup_id = true;
  sim::SimRecorder rec(cfg);
  ASSERT_TRUE(rec.Start());
  EXPECT_EQ(Fetch(rec.Port(), "/config/getbackupid?id=-1").body, "id=1\nlease=600\n");
  EXPECT_EQ(Fetch(rec.Port(), "/config/getbackupid?id=9").body, "id=1\nlease=600\n");
}

// -------------------------------------------------------------------- jobs

struct AnswerLine {
  std::string path;
  uint64_t size;
};

std::vector<AnswerLine> SplitAnswer(const std::string& answer, uint64_t& total) {
  std::vector<AnswerLine> lines;
  size_t at = 0;
  bool first = true;
  while (at < answer.size()) {
    const size_t lf = answer.find('\n', at);
    EXPECT_NE(lf, std::string::npos) << "every line ends with a line feed";
    const std::string line = answer.substr(at, lf - at);
    const size_t comma = line.find(',');
    EXPECT_NE(comma, std::string::npos) << line;
    if (first) {
      EXPECT_EQ(line.substr(0, 2), "to");
      total = std::stoull(line.substr(comma + 1));
      first = false;
    } else {
      lines.push_back({line.substr(0, comma), std::stoull(line.substr(comma + 1))});
    }
    at = lf + 1;
  }
  return lines;
}

TEST_F(SimRecorderTest, JobAnswerFileMatchesItsDownloadableFiles) {
  const sim::Date day{2012, 5, 3};
  rec.SetRecordings(day, {{1, 8 * 3600, 12 * 3600, 1},
                          {16, 9 * 3600 + 1800, 10 * 3600 + 600, 2},
                          {3, 9 * 3600, 11 * 3600, 1},   // channel not asked for
                          {1, 13 * 3600, 14 * 3600, 1}});  // after the job
  const int id = TakeBackupId();
  Response r = Fetch(port, "/config/tarnwell?starttime=2012,05,03,09,00,00&endtime=2012,05,03,10,30,00&channel=32769");
  ASSERT_EQ(r.status, 200);
  uint64_t total = 0;
  const auto lines = SplitAnswer(r.body, total);
  // One file per recorded hour of each asked channel, in time order.
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].path, "/rec/ch01/2012/05/03/090000_100000.avi");
  EXPECT_EQ(lines[1].path, "/rec/ch16/2012/05/03/093000_100000.avi");
  EXPECT_EQ(lines[2].path, "/rec/ch01/2012/05/03/100000_103000.avi");
  EXPECT_EQ(lines[3].path, "/rec/ch16/2012/05/03/100000_101000.avi");
  EXPECT_EQ(lines[2].size, 4096u + 64u * 1800u);
  EXPECT_EQ(lines.back().path, "/rec/2012/05/03/RecordList.db");

  uint64_t sum = 0;
  for (const AnswerLine& l : lines) {
    Response f = Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=" + l.path);
    EXPECT_EQ(f.status, 200) << l.path;
    EXPECT_EQ(f.body.size(), l.size) << l.path;
    if (l.path.find("RecordList") == std::string::npos) {
      EXPECT_EQ(f.body, sim::ContentBytes(l.path, 0, l.size));
    }
    sum += l.size;
  }
  EXPECT_EQ(total, sum);

  // The record list holds the whole day, so entries end after the job's end.
  Response list = Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/2012/05/03/RecordList.db");
  ASSERT_EQ(list.body.size(), 56u + 4u * 25u);
  EXPECT_EQ(list.body.substr(0, 4), "RLDB");
  EXPECT_EQ(static_cast<uint8_t>(list.body[4]), 4);
  EXPECT_EQ(list.body.substr(8, 8), "20120503");
  std::vector<std::string> ends;
  for (int i = 0; i < 4; ++i) ends.push_back(list.body.substr(56 + 25 * i + 6, 6));
  EXPECT_EQ(ends, (std::vector<std::string>{"120000", "110000", "101000", "140000"}));

  const auto job = rec.LastJob();
  ASSERT_TRUE(job);
  EXPECT_EQ(job->number, 1);
  EXPECT_EQ(job->channel_mask, 32769u);
  EXPECT_EQ(job->end, (sim::DateTime{2012, 5, 3, 10, 30, 0}));
  EXPECT_EQ(job->answer, r.body);
  EXPECT_EQ(job->total, total);
}

TEST_F(SimRecorderTest, JobRequestEdgeCases) {
  const sim::Date day{2012, 5, 3};
  rec.SetRecordings(day, {{2, 23 * 3600, 86400, 1}});
  // Without a backup lease the recorder refuses the job.
  EXPECT_EQ(Fetch(port, "/config/tarnwell?starttime=2012,05,03,00,00,00&endtime=2012,05,03,23,59,59&channel=2").status, 404);
  TakeBackupId();
  // An end capped at 23:59:59 reaches the end of the day.
  Response r = Fetch(port, "/config/tarnwell?starttime=2012,05,03,23,30,00&endtime=2012,05,03,23,59,59&channel=2");
  uint64_t total = 0;
  auto lines = SplitAnswer(r.body, total);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].path, "/rec/ch02/2012/05/03/233000_240000.avi");
  // Nothing recorded in the span: only the record list.
  r = Fetch(port, "/config/tarnwell?starttime=2012,05,03,01,00,00&endtime=2012,05,03,02,00,00&channel=65535");
  lines = SplitAnswer(r.body, total);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(total, lines[0].size);
  // Fields that are not zero-padded, or missing, are refused.
  for (const char* bad : {"/config/tarnwell?starttime=2012,5,3,01,00,00&endtime=2012,05,03,02,00,00&channel=1",
                          "/config/tarnwell?starttime=2012,05,03,01,00,00&endtime=2012,05,03,02,00,00",
                          "/config/tarnwell?starttime=2012,05,03,01,00,00&endtime=2012,05,03,02,00&channel=1",
                          "/config/tarnwell?starttime=2012,05,03,01,00,00&endtime=2012,05,03,02,00,00&channel=x"})
    EXPECT_EQ(Fetch(port, bad).status, 400) << bad;
  EXPECT_EQ(rec.Jobs().size(), 2u);
}

TEST_F(SimRecorderTest, CraftedRecordListIsListedAndServedAsGiven) {
  const sim::Date day{2012, 5, 3};
  rec.SetRecordings(day, {{1, 0, 3600, 1}});
  std::string list = sim::BuildRecordList(day, rec.RecordingsOn(day)) + "TAILTAI";  // bytes after the entries
  rec.AddFileContent(rec.RecordListPath(day), list);
  const int id = TakeBackupId();
  Response r = Fetch(port, "/config/tarnwell?starttime=2012,05,03,00,00,00&endtime=2012,05,03,01,00,00&channel=1");
  uint64_t total = 0;
  const auto lines = SplitAnswer(r.body, total);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().path, "/rec/2012/05/03/RecordList.db");
  EXPECT_EQ(lines.back().size, list.size());
  EXPECT_EQ(Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/2012/05/03/RecordList.db").body,
            list);
}

TEST_F(SimRecorderTest, JobFilesCanBeGivenAndDownloadsNeedAValidBackupId) {
  rec.SetJobFiles(std::vector<sim::FileEntry>{{"/rec/odd name/a b.avi", 10}, {"/rec/x.avi", 0}});
  const int id = TakeBackupId();
  Response r = Fetch(port, "/config/tarnwell?starttime=2012,05,03,01,00,00&endtime=2012,05,03,02,00,00&channel=1");
  uint64_t total = 0;
  const auto lines = SplitAnswer(r.body, total);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].path, "/rec/odd name/a b.avi");
  EXPECT_EQ(Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/odd%20name/a%20b.avi").body,
            sim::ContentBytes("/rec/odd name/a b.avi", 0, 10));
  EXPECT_EQ(Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/x.avi").body, "");
  EXPECT_EQ(Fetch(port, "/config/backupdownload?id=" + std::to_string(id + 1) + "&path=/rec/x.avi").status, 404);
  EXPECT_EQ(Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/never.avi").status, 404);
}

// Files the configuration adds follow every job's recordings, exactly as
// given, or come before them; a file of one job's number comes in that job
// alone, after the others.
TEST(SimRecorderExtraFiles, EveryJobListsThemAfterItsRecordings) {
  sim::Config config;
  config.extra_job_files = {{"/rec/2012/05/03/ch02/", 10}, {"/rec/x.avi", 20}};
  config.first_job_files = {{"/rec/ch01", 30}};
  config.nth_job_files = {{2, {"/rec/dir/second.avi", 40}}};
  sim::SimRecorder rec(config);
  ASSERT_TRUE(rec.Start()) << rec.Error();
  const Response grant = Fetch(rec.Port(), "/config/getbackupid");
  const int id = std::atoi(grant.body.substr(3).c_str());
  for (int job = 0; job < 2; ++job) {
    SCOPED_TRACE(job);
    Response r = Fetch(rec.Port(), "/config/tarnwell?starttime=2012,05,03,01,00,00&endtime=2012,05,03,02,00,00&channel=1");
    uint64_t total = 0;
    const auto lines = SplitAnswer(r.body, total);
    ASSERT_GE(lines.size(), job == 1 ? 5u : 4u);
    EXPECT_EQ(lines[0].path, "/rec/ch01");
    EXPECT_EQ(lines[0].size, 30u);
    const std::size_t last = lines.size() - (job == 1 ? 1 : 0);  // the second job's own file
    EXPECT_EQ(lines[last - 3].path, "/rec/2012/05/03/ch02/");
    EXPECT_EQ(lines[last - 2].path, "/rec/x.avi");
    EXPECT_EQ(lines[last - 2].size, 20u);
    EXPECT_EQ(lines[lines.size() - 2].path, job == 1 ? "/rec/dir/second.avi" : "/rec/x.avi");
  }
  EXPECT_EQ(Fetch(rec.Port(), "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/dir/second.avi").body,
            sim::ContentBytes("/rec/dir/second.avi", 0, 40));
  EXPECT_EQ(Fetch(rec.Port(), "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/x.avi").body,
            sim::ContentBytes("/rec/x.avi", 0, 20));
  EXPECT_EQ(Fetch(rec.Port(), "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/ch01").body,
            sim::ContentBytes("/rec/ch01", 0, 30));
}

// ------------------------------------------------------- selection queries

TEST_F(SimRecorderTest, SelectionQueriesFollowTheirGrammars) {
  rec.ClearRecordings();
  EXPECT_EQ(Fetch(port, "/play/recdate?recyear=2012&recmonth=5").status, 503);
  std::vector<sim::Recording> many;
  for (int i = 0; i < 301; ++i) many.push_back({1 + i % 16, i * 60, i * 60 + 30, 1});
  rec.SetRecordings({2012, 5, 3}, many);
  rec.SetRecordings({2012, 5, 17}, {{4, 0, 60, 2}});
  EXPECT_EQ(Fetch(port, "/play/recdate?recyear=2012&recmonth=5").body, "2012,05,03\n2012,05,17\n");

  const int play = TakePlayId();
  auto page = [&](int start) {
    return Fetch(port, "/play/reclist?id=" + std::to_string(play) + "&start=" + std::to_string(start) +
                           "&recyear=2012&recmonth=5&recday=3").body;
  };
  const std::string first = page(0), second = page(300);
  EXPECT_EQ(first.substr(0, first.find('\n')), "total=301");
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 302);
  EXPECT_LT(first.size(), 22000u);
  EXPECT_EQ(second, "total=301\ncount=1\nt1=050000;t2=050030;type=0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0\n");  // channel 13
  EXPECT_EQ(Fetch(port, "/play/reclist?id=999&start=0&recyear=2012&recmonth=5&recday=3").body, "total=0\n");
  EXPECT_EQ(Fetch(port, "/play/reclist?id=" + std::to_string(play) + "&start=0&recyear=2012&recmonth=5&recday=4").body,
            "total=0\n");

  const std::string devices = Fetch(port, "/live/avdevlist").body;
  EXPECT_EQ(devices.substr(0, devices.find('\n')), "avdevnum=16");
  EXPECT_NE(devices.find("\n1;Front Door;1\n"), std::string::npos);
  EXPECT_LT(devices.size(), 1024u);
  EXPECT_EQ(Fetch(port, "/config/datetime").body.substr(0, 4), "date");
  EXPECT_EQ(Fetch(port, "/config/userprivileges").body, "user=admin\nplayprivilege=65535\nbackupprivilege=65535\n");
}

TEST(SimRecorderPrivilege, TypeListHoldsOnlyPermittedChannels) {
  sim::Config cfg;
  cfg.play_privilege = 0x8005;  // channels 1, 3 and 16
  cfg.default_content = false;
  sim::SimRecorder rec(cfg);
  ASSERT_TRUE(rec.Start());
  rec.SetRecordings({2012, 5, 3}, {{16, 0, 60, 4}, {3, 0, 60, 2}, {2, 0, 60, 1}});
  const int play = std::atoi(Fetch(rec.Port(), "/play/getid").body.substr(3).c_str());
  EXPECT_EQ(Fetch(rec.Port(), "/play/reclist?id=" + std::to_string(play) + "&start=0&recyear=2012&recmonth=5&recday=3").body,
            "total=1\ncount=1\nt1=000000;t2=000100;type=4,2,0\n");
  EXPECT_EQ(Fetch(rec.Port(), "/config/userprivileges").body, "user=admin\nplayprivilege=32773\nbackupprivilege=65535\n");
}

// ------------------------------------------------------------------ faults

TEST_F(SimRecorderTest, AnswerFaultsReplaceTheAnswer) {
  struct Case {
    sim::FaultRule rule;
    const char* target;
    int status;
    const char* body;
  } cases[] = {
      {sim::FaultRule::For(sim::Request::Login, sim::FaultKind::RefuseLogin), "/config/login", 200, "login=0\n"},
      {sim::FaultRule::For(sim::Request::Login, sim::FaultKind::LoginNoDecision), "/config/login", 200, "Login=1\n"},
      {sim::FaultRule::For(sim::Request::GetDateTime, sim::FaultKind::NotFound), "/config/datetime", 404,
       "Not found\n"},
      {sim::FaultRule::For(sim::Request::GetChannels, sim::FaultKind::Unavailable), "/live/avdevlist", 503,
       "Service unavailable\n"},
      {sim::FaultRule::ForPrefix("/play/rec", sim::FaultKind::Unavailable), "/play/recdate?recyear=1&recmonth=1", 503,
       "Service unavailable\n"},
      {sim::FaultRule::AnswerWith(sim::Request::RenewBackupId, 200, "ID=1\n"), "/config/getbackupid?id=1", 200,
       "ID=1\n"},
  };
  for (Case& c : cases) {
    const int id = rec.AddFault(c.rule);
    Response r = Fetch(port, c.target);
    EXPECT_EQ(r.status, c.status) << c.target;
    EXPECT_EQ(r.body, c.body) << c.target;
    EXPECT_EQ(rec.FaultHits(id), 1);
    rec.RemoveFault(id);
  }
  const int id = rec.AddFault(sim::FaultRule::For(sim::Request::GetDateTime, sim::FaultKind::ErrorPage));
  Response page = Fetch(port, "/config/datetime");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body.substr(0, 6), "<html>");
  for (const char* marker : {"date", "login=", "lease", "id", "-1", "-2", "500", "="})
    EXPECT_EQ(page.body.find(marker), std::string::npos) << marker;
  const auto log = rec.Requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().fault, "ErrorPage");
  rec.RemoveFault(id);
}

TEST_F(SimRecorderTest, FaultsCountTheirRequests) {
  const int id = rec.AddFault(sim::FaultRule::For(sim::Request::Login, sim::FaultKind::LoginNoDecision, 2));
  EXPECT_EQ(Fetch(port, "/config/login").body, "Login=1\n");
  EXPECT_EQ(Fetch(port, "/config/datetime").status, 200);  // other requests pass
  EXPECT_EQ(Fetch(port, "/config/login").body, "Login=1\n");
  EXPECT_EQ(Fetch(port, "/config/login").body, "login=1\n");
  EXPECT_EQ(rec.FaultHits(id), 2);
  rec.AddFault(sim::FaultRule::ForPrefix("/config/", sim::FaultKind::NotFound));
  EXPECT_EQ(Fetch(port, "/config/login").status, 404);
  EXPECT_EQ(Fetch(port, "/play/getid").status, 200);
  rec.ClearFaults();
  EXPECT_EQ(Fetch(port, "/config/login").status, 200);
}

TEST_F(SimRecorderTest, CutShortBodies) {
  rec.AddFile("/rec/big.avi", 100000);
  const int id = TakeBackupId();
  const std::string target = "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/big.avi";
  struct Case {
    sim::FaultKind kind;
    int64_t send_bytes;
    size_t expect_body;
  } cases[] = {
      {sim::FaultKind::CutShort, -1, 50000},
      {sim::FaultKind::CutShort, 10, 10},
      {sim::FaultKind::CutShortChunked, -1, 50000},
      {sim::FaultKind::CutShortChunked, 100000, 100000},  // every byte, but no last chunk
  };
  for (const Case& c : cases) {
    sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, c.kind, 1);
    rule.send_bytes = c.send_bytes;
    rec.AddFault(rule);
    RawConnection conn(port);
    conn.Send(Get(target));  // kept alive: only the recorder's close ends the read
    RawConnection::Result got = conn.Read(3000);
    EXPECT_TRUE(got.closed);
    Response r = ParseResponse(got.bytes);
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.body, sim::ContentBytes("/rec/big.avi", 0, c.expect_body));
    if (c.kind == sim::FaultKind::CutShort) {
      EXPECT_EQ(r.headers["content-length"], "100000");
    } else {
      EXPECT_EQ(r.headers["transfer-encoding"], "chunked");
    }
  }
  EXPECT_EQ(Fetch(port, target).body.size(), 100000u);  // faults used up
}

TEST_F(SimRecorderTest, ARuleCanAnnounceTwoLengths) {
  rec.AddFile("/rec/big.avi", 100000);
  const int id = TakeBackupId();
  const std::string target = "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/big.avi";
  struct Case {
    std::string first;
    std::string second;
    std::string head;
  } cases[] = {
      {"", "22", "Content-Length: 100000\r\nContent-Length: 22\r\n"},
      {"22", "100000", "Content-Length: 22\r\nContent-Length: 100000\r\n"},
  };
  for (const Case& c : cases) {
    sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort, 1);
    rule.send_bytes = 22;
    rule.content_length = c.first;
    rule.second_content_length = c.second;
    rec.AddFault(rule);
    RawConnection conn(port);
    conn.Send(Get(target));
    RawConnection::Result got = conn.Read(3000);
    EXPECT_TRUE(got.closed);
    const size_t end = got.bytes.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_NE(got.bytes.substr(0, end + 2).find(c.head), std::string::npos) << got.bytes.substr(0, end);
    EXPECT_EQ(got.bytes.substr(end + 4), sim::ContentBytes("/rec/big.avi", 0, 22));
  }
}

TEST_F(SimRecorderTest, CloseWithoutAnswerSendsNothing) {
  rec.AddFault(sim::FaultRule::For(sim::Request::GetDateTime, sim::FaultKind::CloseWithoutAnswer, 1));
  RawConnection conn(port);
  conn.Send(Get("/config/datetime"));
  RawConnection::Result got = conn.Read(3000);
  EXPECT_TRUE(got.closed);
  EXPECT_EQ(got.bytes, "");
  const auto log = rec.Requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().status, 0);
  EXPECT_EQ(log.back().fault, "CloseWithoutAnswer");
}

TEST_F(SimRecorderTest, StallsHoldUntilReleased) {
  rec.AddFile("/rec/s.avi", 2000);
  const int id = TakeBackupId();
  const std::string target = "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/s.avi";
  struct Case {
    sim::FaultKind kind;
    bool finish;
    size_t before;  // body bytes before the stall
  } cases[] = {
      {sim::FaultKind::StallHeaders, false, 0},
      {sim::FaultKind::StallBody, false, 1000},
      {sim::FaultKind::StallBody, true, 1000},
  };
  for (const Case& c : cases) {
    sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, c.kind, 1);
    rule.stall_ms = 60000;
    rule.finish_after_stall = c.finish;
    rec.AddFault(rule);
    RawConnection conn(port);
    conn.Send(Get(target));
    RawConnection::Result first = conn.Read(700);
    EXPECT_FALSE(first.closed);
    std::string head = first.bytes;
    const size_t split = head.find("\r\n\r\n");
    ASSERT_NE(split, std::string::npos);
    EXPECT_EQ(head.size() - split - 4, c.before);
    const auto log = rec.Requests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().status, 200);  // logged as the head went out
    const auto t0 = Clock::now();
    rec.ReleaseStalls();
    RawConnection::Result rest = conn.Read(3000);
    EXPECT_LT(Clock::now() - t0, 2s);
    EXPECT_TRUE(rest.closed);
    std::string all = first.bytes + rest.bytes;
    Response r = ParseResponse(all);
    EXPECT_EQ(r.complete, c.finish);
    EXPECT_EQ(r.body.size(), c.finish ? 2000u : c.before);
  }
}

TEST(SimRecorderStall, StopEndsAStallAndAStream) {
  sim::SimRecorder rec;
  ASSERT_TRUE(rec.Start());
  sim::FaultRule rule = sim::FaultRule::For(sim::Request::GetDateTime, sim::FaultKind::StallHeaders);
  rule.stall_ms = 60000;
  rec.AddFault(rule);
  rec.SetStreamSource([](const sim::StreamRequest&, const sim::StreamWriter& write) {
    while (write(std::string(1000, 'x'))) std::this_thread::sleep_for(5ms);
  });
  RawConnection stalled(rec.Port());
  stalled.Send(Get("/config/datetime"));
  const int play = std::atoi(Fetch(rec.Port(), "/play/getid").body.substr(3).c_str());
  RawConnection stream(rec.Port());
  stream.Send(Get("/play/mav/nvrprofilestream?id=" + std::to_string(play) + "&avdevid=1&profile=1"));
  EXPECT_GT(stream.Read(3000, 1).bytes.size(), 0u);
  ASSERT_TRUE(rec.WaitForRequests(1, sim::Request::GetDateTime));
  const auto t0 = Clock::now();
  rec.Stop();
  EXPECT_LT(Clock::now() - t0, 3s);
}

TEST_F(SimRecorderTest, DelayAnswersLate) {
  sim::FaultRule rule = sim::FaultRule::For(sim::Request::GetDateTime, sim::FaultKind::Delay, 1);
  rule.stall_ms = 300;
  rec.AddFault(rule);
  const auto t0 = Clock::now();
  Response r = Fetch(port, "/config/datetime");
  EXPECT_GE(Clock::now() - t0, 280ms);
  EXPECT_EQ(r.body.substr(0, 4), "date");
}

// ------------------------------------------------------------------ stream

TEST_F(SimRecorderTest, DefaultStreamIsPacketsOfTheRequestedChannel) {
  const int play = TakePlayId();
  Fetch(port, "/play/searchdata?id=" + std::to_string(play) +
                  "&recstarttime=2012,5,13,8,15,0&recendtime=2012,5,13,9,30,0&avdevids=0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0");
  Response r = Fetch(port, "/play/mav/nvrprofilestream?id=" + std::to_string(play) +
                               "&avdevid=0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0&profile=1");
  EXPECT_EQ(r.status, 200);
  EXPECT_FALSE(r.headers.count("content-length"));
  EXPECT_EQ(r.body, sim::DefaultStreamBytes(4));

  // Walk the packets: start code, little-endian header length, header, payload.
  auto le32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(r.body[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(r.body[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(r.body[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(r.body[at + 3])) << 24;
  };
  int video = 0, other = 0;
  for (size_t at = 0; at < r.body.size();) {
    ASSERT_EQ(r.body.substr(at, 3), std::string("\0\0\x01", 3));
    ASSERT_LE(at + 12, r.body.size());  // the packet's code and both lengths
    const uint8_t code = static_cast<uint8_t>(r.body[at + 3]);
    const uint32_t header = le32(at + 4), payload = le32(at + 8);
    if (code == 0xF3) {
      ++video;
      EXPECT_EQ(header, 128u);
      ASSERT_LE(at + 116, r.body.size());
      EXPECT_EQ(le32(at + 112) & 0xFFFF, 1u << 3);  // channel 4
    } else {
      ++other;
      EXPECT_EQ(code, 0xF9);
      EXPECT_EQ(header, 48u);
    }
    at += header + payload;
  }
  EXPECT_EQ(video, 6);
  EXPECT_EQ(other, 1);

  const auto sr = rec.LastStreamRequest();
  ASSERT_TRUE(sr);
  EXPECT_EQ(sr->play_id, play);
  EXPECT_EQ(sr->channel, 4);
  EXPECT_EQ(sr->search_start, "2012,5,13,8,15,0");
  EXPECT_EQ(sr->search_end, "2012,5,13,9,30,0");
  EXPECT_EQ(Fetch(port, "/play/mav/nvrprofilestream?id=999&avdevid=1&profile=1").status, 404);
}

TEST_F(SimRecorderTest, StreamHookProducesTheBytes) {
  rec.SetStreamSource([](const sim::StreamRequest& req, const sim::StreamWriter& write) {
    sim::VideoPacketInfo info;
    info.channel_mask = static_cast<uint16_t>(1u << (req.channel - 1));
    write(sim::BuildVideoPacket(info, "abc"));
    write(sim::BuildOtherPacket(202, 1, 2, ""));
  });
  const int play = TakePlayId();
  Response r = Fetch(port, "/play/mav/nvrprofilestream?id=" + std::to_string(play) + "&avdevid=0,1&profile=1");
  sim::VideoPacketInfo info;
  info.channel_mask = 2;
  EXPECT_EQ(r.body, sim::BuildVideoPacket(info, "abc") + sim::BuildOtherPacket(202, 1, 2, ""));
}

// --------------------------------------------------------------- downloads

TEST_F(SimRecorderTest, LargeDownloadStreamsTheGeneratedContent) {
  constexpr uint64_t kSize = 256ull << 20;
  rec.AddFile("/rec/large.avi", kSize);
  const int id = TakeBackupId();
  RawConnection conn(port);
  conn.Send(Get("/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/large.avi", kAdminAuth, true));
  std::string head;
  bool in_body = false;
  std::vector<char> buf(1 << 20);
  uint64_t body = 0;
  bool body_matches = true;
  const auto t0 = Clock::now();
  for (;;) {
    const ssize_t n = recv(conn.fd(), buf.data(), buf.size(), 0);
    if (n <= 0) break;
    size_t from = 0;
    if (!in_body) {
      head.append(buf.data(), static_cast<size_t>(n));
      const size_t split = head.find("\r\n\r\n");
      if (split == std::string::npos) continue;
      from = static_cast<size_t>(n) - (head.size() - split - 4);
      head.resize(split);
      in_body = true;
    }
    // Compare a slice of every read, so the whole file need not be recomputed.
    const size_t len = static_cast<size_t>(n) - from;
    const size_t probe = std::min<size_t>(len, 64);
    if (probe && std::memcmp(buf.data() + from, sim::ContentBytes("/rec/large.avi", body, probe).data(), probe) != 0)
      body_matches = false;
    body += len;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_NE(head.find("Content-Length: " + std::to_string(kSize)), std::string::npos);
  EXPECT_EQ(body, kSize);
  EXPECT_TRUE(body_matches);
  std::printf("256 MiB in %.2f s (%.0f MiB/s)\n", seconds, 256.0 / seconds);
}

TEST_F(SimRecorderTest, PacedDownloadsTakeTheirTimeAndStopEndsThem) {
  rec.AddFile("/rec/slow.avi", 40000);
  rec.SetDownloadRate(100000);
  const int id = TakeBackupId();
  const auto t0 = Clock::now();
  Response r = Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/slow.avi");
  EXPECT_GE(Clock::now() - t0, 350ms);
  EXPECT_EQ(r.body, sim::ContentBytes("/rec/slow.avi", 0, 40000));

  rec.AddFile("/rec/endless.avi", 1ull << 30);
  RawConnection c(port);
  c.Send(Get("/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/endless.avi"));
  EXPECT_FALSE(c.Read(3000, 1).bytes.empty());
  const auto t1 = Clock::now();
  rec.Stop();
  EXPECT_LT(Clock::now() - t1, 2s);
}

TEST(SimRecorderKeepAlive, IdleConnectionsCloseAfterTheConfiguredTime) {
  std::vector<std::string> seen;  // outlives the recorder that fills it
  std::mutex seen_lock;
  sim::Config cfg;
  cfg.keep_alive_seconds = 1;
  sim::SimRecorder rec(cfg);
  rec.SetRequestObserver([&](const sim::RequestRecord& r) {
    std::lock_guard<std::mutex> hold(seen_lock);
    seen.push_back(std::to_string(r.status) + " " + r.RequestLine());
  });
  ASSERT_TRUE(rec.Start());
  RawConnection c(rec.Port());
  c.Send(Get("/config/login"));
  EXPECT_TRUE(ReadResponse(c).complete);
  const auto t0 = Clock::now();
  EXPECT_TRUE(c.Read(4000).closed);
  EXPECT_LT(Clock::now() - t0, 3s);
  std::lock_guard<std::mutex> hold(seen_lock);
  EXPECT_EQ(seen, std::vector<std::string>{"200 GET /config/login HTTP/1.1"});
}

TEST_F(SimRecorderTest, LocalFilesAreServedAsTheyAre) {
  char path[] = "/tmp/simrecXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string data = "real file\0with a zero"s;
  ASSERT_EQ(write(fd, data.data(), data.size()), (ssize_t)data.size());
  close(fd);
  rec.AddLocalFile("/rec/real.avi", path);
  EXPECT_EQ(rec.FileSize("/rec/real.avi"), data.size());
  const int id = TakeBackupId();
  EXPECT_EQ(Fetch(port, "/config/backupdownload?id=" + std::to_string(id) + "&path=/rec/real.avi").body, data);
  unlink(path);
}

TEST(SimContent, GeneratedBytesAreDeterministicAndPathDependent) {
  EXPECT_EQ(sim::ContentBytes("/a", 1000, 300000), sim::ContentBytes("/a", 1000, 300000));
  EXPECT_NE(sim::ContentBytes("/a", 0, 64), sim::ContentBytes("/b", 0, 64));
  const std::string run = sim::ContentBytes("/a", 0, 200000);
  ASSERT_EQ(run.size(), 200000u);
  EXPECT_EQ(run.substr(70000, 100), sim::ContentBytes("/a", 70000, 100));
  EXPECT_EQ(static_cast<uint8_t>(run[123456]), sim::ContentByte("/a", 123456));
}

TEST(SimContent, DefaultContentCoversThisMonthAndTheLast) {
  sim::Config cfg;
  cfg.default_content = false;
  sim::SimRecorder rec(cfg);
  EXPECT_TRUE(rec.DaysWithRecordings().empty());
  rec.LoadDefaultContent({2026, 1, 10});
  const auto days = rec.DaysWithRecordings();
  ASSERT_GE(days.size(), 6u);
  EXPECT_EQ(days.front(), (sim::Date{2025, 12, 3}));
  EXPECT_EQ(days.back(), (sim::Date{2026, 1, 10}));
  std::set<int> channels;
  for (const sim::Recording& r : rec.RecordingsOn(days.back())) {
    channels.insert(r.channel);
    EXPECT_LT(r.start, r.end);
    EXPECT_LE(r.end, 86400);
  }
  EXPECT_EQ(channels.size(), 16u);
}

}  // namespace
