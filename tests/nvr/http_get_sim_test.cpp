// The HTTP client against the simulated recorder over real loopback HTTP.
#include <QFile>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sim_fixture.h"

using namespace nvr;
using nvrtest::SimTest;

using HttpGetSim = SimTest;

TEST_F(HttpGetSim, AuthorizationHeaderAndUserAgent) {
  struct Case {
    QString user, password;
    std::optional<std::string> header;
  } cases[] = {
      {"admin", "1234", "Basic YWRtaW46MTIzNA=="},
      {"admin", "", "Basic YWRtaW46"},
      {"", "secret", std::nullopt},
      {"admin", QString(QChar(0xFC)), "Basic YWRtaW46/A=="},
      {"adm", QString(QChar(0x20AC)), "Basic YWRtOqw="},
  };
  for (const Case& c : cases) {
    recorder->ClearRequests();
    HttpGet http;
    ASSERT_EQ(http.Connect("127.0.0.1", c.user, c.password, 3000, 0, Port()), 1);
    char answer[256] = {};
    EXPECT_EQ(http.GetToBuffer("/config/datetime", answer, sizeof answer), 1);
    ASSERT_TRUE(recorder->WaitForRequests(1));
    const sim::RequestRecord r = recorder->Requests().at(0);
    EXPECT_EQ(r.Header("Authorization"), c.header) << c.user.toStdString();
    EXPECT_EQ(r.Header("User-Agent"), std::optional<std::string>("InetURL/1.0"));
    EXPECT_EQ(r.target, "/config/datetime");
  }
}

TEST_F(HttpGetSim, AnswersAreKeptOnlyBelowTheCapacity) {
  struct Case {
    std::string body;
    int capacity;
    std::string kept;
  } cases[] = {
      {std::string(255, 'a'), 256, std::string(255, 'a')},
      {std::string(300, 'b'), 256, ""},  // arrives as one chunk that would reach the capacity
      {"login=1\n", 256, "login=1\n"},
      {"", 256, ""},
  };
  HttpGet http;
  ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 3000, 0, Port()), 1);
  for (const Case& c : cases) {
    const int rule = recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::GetDateTime, 200, c.body, 1));
    std::vector<char> buffer(size_t(c.capacity) + 1, 0);
    EXPECT_EQ(http.GetToBuffer("/config/datetime", buffer.data(), c.capacity), 1);
    EXPECT_EQ(std::string(buffer.data()), c.kept);
    EXPECT_EQ(buffer[size_t(c.capacity) - 1], 0);
    recorder->RemoveFault(rule);
  }
}

TEST_F(HttpGetSim, OneConnectionCarriesConsecutiveRequests) {
  HttpGet http;
  ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 3000, 0, Port()), 1);
  for (int i = 0; i < 3; ++i) {
    char answer[512] = {};
    ASSERT_EQ(http.GetToBuffer("/config/datetime", answer, sizeof answer), 1);
    EXPECT_EQ(std::memcmp(answer, "date", 4), 0) << answer;
  }
  // A request whose answer was not read does not spoil the next one.
  ASSERT_EQ(http.SendGet("/config/userprivileges"), 1);
  char answer[512] = {};
  ASSERT_EQ(http.GetToBuffer("/config/datetime", answer, sizeof answer), 1);
  EXPECT_EQ(std::memcmp(answer, "date", 4), 0) << answer;
  const auto requests = recorder->Requests(sim::Request::GetDateTime);
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].remote_port, requests[2].remote_port);
}

TEST_F(HttpGetSim, RefusedConnectionMeansNotSent) {
  const int port = Port();
  recorder->Stop();
  HttpGet http;
  ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 3000, 0, port), 1);
  char answer[16] = {};
  EXPECT_EQ(http.GetToBuffer("/config/login", answer, sizeof answer), 0);
  EXPECT_EQ(http.SendGet("/config/login"), 0);
  EXPECT_FALSE(http.HasRequest());
}

// Five bytes of the body under "Content-Length: 99999999999999999999", then the close.
sim::FaultRule LengthBeyond64Bits() {
  sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort, 1);
  rule.send_bytes = 5;
  rule.content_length = "99999999999999999999";
  return rule;
}

// `bodyBytes` of the body under two Content-Length headers, `first` (empty:
// the full length) then `second`, then the close.
sim::FaultRule TwoLengths(std::string first, std::string second, int64_t bodyBytes) {
  sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort, 1);
  rule.send_bytes = bodyBytes;
  rule.content_length = std::move(first);
  rule.second_content_length = std::move(second);
  return rule;
}

// One Content-Length header, written raw, over `bodyBytes` of the body.
sim::FaultRule OneLength(std::string value, int64_t bodyBytes) { return TwoLengths(std::move(value), "", bodyBytes); }

TEST_F(HttpGetSim, ReadToSinkRulesOnBodies) {
  QTemporaryDir dir;
  const int id = GrantBackupId();
  recorder->AddFile("/rec/a.bin", 100000);
  const QString url = QStringLiteral("/config/backupdownload?id=%1&path=/rec/a.bin").arg(id);
  struct Case {
    const char* name;
    std::optional<sim::FaultRule> fault;
    int stateBefore;
    int result;
    int stateAfter;
    qint64 written;
  } cases[] = {
      {"complete", std::nullopt, kDownloadRunningOrFailed, 1, kDownloadComplete, 100000},
      {"pause before the first read", std::nullopt, kDownloadPauseRequested, 1, kDownloadPauseRequested, 0},
      {"empty body", sim::FaultRule::AnswerWith(sim::Request::Download, 200, "", 1), kDownloadRunningOrFailed, 0,
       kDownloadRunningOrFailed, 0},
      {"cut short of its length", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort, 1),
       kDownloadRunningOrFailed, 0, kDownloadRunningOrFailed, -1},
      {"chunked without its last chunk",
       sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShortChunked, 1), kDownloadRunningOrFailed, 0,
       kDownloadRunningOrFailed, -1},
      {"length beyond 64 bits, then the close", LengthBeyond64Bits(), kDownloadRunningOrFailed, 0,
       kDownloadRunningOrFailed, -1},
      // Lengths that disagree make the answer malformed, whichever of them
      // the body matches: libcurl reads to the last one.
      {"lengths 100000 then 22, 22 bytes", TwoLengths("", "22", 22), kDownloadRunningOrFailed, 0,
       kDownloadRunningOrFailed, -1},
      {"lengths 22 then 100000, 22 bytes", TwoLengths("22", "100000", 22), kDownloadRunningOrFailed, 0,
       kDownloadRunningOrFailed, -1},
      {"lengths 22 then 100000, 100000 bytes", TwoLengths("22", "100000", 100000), kDownloadRunningOrFailed, 0,
       kDownloadRunningOrFailed, -1},
      {"length list 22, 23, 22 bytes", OneLength("22, 23", 22), kDownloadRunningOrFailed, 0, kDownloadRunningOrFailed,
       -1},
      // The same length twice is still one length.
      {"lengths 22 then 22", TwoLengths("22", "22", 22), kDownloadRunningOrFailed, 1, kDownloadComplete, 22},
      {"length list 22, 22", OneLength("22, 22", 22), kDownloadRunningOrFailed, 1, kDownloadComplete, 22},
  };
  for (const Case& c : cases) {
    if (c.fault) recorder->AddFault(*c.fault);
    HttpGet http;
    ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 30000, 0, Port()), 1);
    ASSERT_EQ(http.SendGet(url), 1) << c.name;
    QFile file(dir.path() + "/out");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    std::vector<char> buffer(32768);
    std::atomic<int> state{c.stateBefore}, running{1};
    const BodySink sink = [&](const char* data, std::size_t size) { return file.write(data, qint64(size)) == qint64(size); };
    EXPECT_EQ(http.ReadToSink(sink, buffer.data(), int(buffer.size()), state, running), c.result) << c.name;
    EXPECT_EQ(state.load(), c.stateAfter) << c.name;
    file.close();
    if (c.written >= 0) {
      EXPECT_EQ(file.size(), c.written) << c.name;
    }
    if (c.result == 1) {
      EXPECT_EQ(ReadFile(file.fileName()), Content("/rec/a.bin", size_t(c.written))) << c.name;
    }
    recorder->ClearFaults();
  }
}

TEST_F(HttpGetSim, SilentRecorderCostsTheReceiveTimeOut) {
  struct Case {
    const char* name;
    sim::FaultKind kind;
    int result;  // headers that arrived make the request sent
  } cases[] = {{"headers, then silence", sim::FaultKind::StallHeaders, 1}, {"silence", sim::FaultKind::Delay, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    sim::FaultRule rule = sim::FaultRule::For(sim::Request::GetDateTime, c.kind);
    rule.stall_ms = 9000;
    recorder->AddFault(rule);
    HttpGet http;
    ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 3000, 0, Port()), 1);
    char answer[64] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(http.GetToBuffer("/config/datetime", answer, sizeof answer), c.result);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(4900));
    EXPECT_LT(took, std::chrono::milliseconds(7000));
    EXPECT_EQ(answer[0], 0);
    recorder->ReleaseStalls();
  }
}

TEST_F(HttpGetSim, HostileAnswersStayInsideTheBuffer) {
  HttpGet http;
  ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 3000, 0, Port()), 1);
  std::string junk;
  for (int i = 0; i < 40000; ++i) junk += char(i * 7919 % 256);
  const std::string bodies[] = {junk, std::string(8199, '\0') + "x", std::string(64, 'z')};
  for (const std::string& body : bodies) {
    recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::GetDateTime, 200, body, 1));
    char guard[96];
    std::memset(guard, 0x5A, sizeof guard);
    EXPECT_EQ(http.GetToBuffer("/config/datetime", guard + 16, 64), 1);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(guard[i], 0x5A);
    for (int i = 80; i < 96; ++i) EXPECT_EQ(guard[i], 0x5A);
  }
}

TEST(HttpGetConnectTimeout, GivenTimeOutEndsAConnectThatHangs) {
  // A listener that never accepts, its queue filled: further connects hang.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t len = sizeof addr;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers.push_back(s);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  HttpGet http;
  ASSERT_EQ(http.Connect("127.0.0.1", "admin", "admin", 1000, 0, ntohs(addr.sin_port)), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.SendGet("/config/login"), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  for (int s : fillers) ::close(s);
  ::close(listener);
}
