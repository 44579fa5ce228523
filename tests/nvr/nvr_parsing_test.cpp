// Rules that need no recorder: numbers, Base64 and the Basic header, the echo
// request, the backup request text, answer markers.
#include <gtest/gtest.h>

#include <QString>

#include <cerrno>

#include "nvr/backup_job.h"
#include "nvr/decimal.h"
#include "nvr/http_get.h"
#include "nvr/nvr_session.h"
#include "nvr/ping_host.h"
#include "platform/core/icmp_socket.h"

using namespace nvr;

TEST(Decimal, ReadsLikeTheRecorderWritesNumbers) {
  struct Case {
    const char* text;
    long long value;
  } cases[] = {{"42", 42},       {"  \t-17x", -17}, {"+5", 5},    {"", 0},          {"abc", 0},
               {"7\r", 7},       {"- 3", 0},        {"12 34", 12}, {"123456789012", 123456789012LL},
               {"99999999999999999999999", 9223372036854775807LL}};
  for (const Case& c : cases) EXPECT_EQ(ReadDecimal64(QString::fromLatin1(c.text)), c.value) << c.text;
  EXPECT_EQ(ReadDecimal32(u"123456789012"), 2147483647);
  EXPECT_EQ(ReadDecimal32(u"-123456789012"), -2147483647 - 1);
}

TEST(Base64, GroupsAndFill) {
  EXPECT_EQ(EncodeBase64(1, "a"), "YQ==");
  EXPECT_EQ(EncodeBase64(2, "ab"), "YWI=");
  EXPECT_EQ(EncodeBase64(3, "abc"), "YWJj");
  EXPECT_EQ(EncodeBase64(1, "\xFF"), "/w==");  // the second character's low four bits are zero
  EXPECT_EQ(EncodeBase64(0, ""), "");
}

TEST(Base64, AuthorizationHeaderTakesTheLowByteOfEachUnit) {
  struct Case {
    QString user, password;
    const char* header;
  } cases[] = {
      {"admin", "1234", "Authorization: Basic YWRtaW46MTIzNA=="},
      {"admin", "", "Authorization: Basic YWRtaW46"},
      {"admin", QString(QChar(0xFC)), "Authorization: Basic YWRtaW46/A=="},
      {"adm", QString(QChar(0x20AC)), "Authorization: Basic YWRtOqw="},
  };
  for (const Case& c : cases) EXPECT_EQ(BasicAuthorizationHeader(c.user, c.password), c.header);
}

TEST(EchoRequest, LayoutAndChecksum) {
  unsigned char b[kEchoRequestSize];
  BuildEchoRequest(b, 0x1234, 0x01020304);
  const unsigned char head[] = {0x08, 0x00, 0x69, 0x95, 0x34, 0x12, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(b[i], head[i]) << i;
  for (int i = 12; i < 44; ++i) EXPECT_EQ(b[i], 0x45) << i;
  BuildEchoRequest(b, 0x0001, 0);
  EXPECT_EQ(b[2], 0xa2);
  EXPECT_EQ(b[3], 0xab);
  // Summed as big-endian words (as on the wire) the packet folds to 0xFFFF.
  unsigned sum = 0;
  for (int i = 0; i < 44; i += 2) sum += unsigned(b[i] << 8 | b[i + 1]);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  EXPECT_EQ(sum, 0xFFFFu);
}

TEST(BackupRequest, TimesChannelsAndTheEndAdjustment) {
  NvrTime start;
  start.year = 2012, start.month = 5, start.day = 3, start.hour = 8, start.minute = 15, start.second = 0;
  struct Case {
    int endHour, endMinute, endSecond;
    std::uint32_t mask;
    const char* url;
  } cases[] = {
      {9, 30, 0, 0x5,
       "/config/tarnwell?starttime=2012,05,03,08,15,00&endtime=2012,05,03,09,30,00&channel=5"},
      {24, 0, 0, 0x8001,
       "/config/tarnwell?starttime=2012,05,03,08,15,00&endtime=2012,05,03,23,59,59&channel=32769"},
      {12, 0, 0, 0x1, "/config/tarnwell?starttime=2012,05,03,08,15,00&endtime=2012,05,03,12,00,00&channel=1"},
      {12, 0, 30, 0xFFFF,
       "/config/tarnwell?starttime=2012,05,03,08,15,00&endtime=2012,05,03,12,01,00&channel=65535"},
  };
  for (const Case& c : cases) {
    NvrTime end = start;
    end.hour = c.endHour, end.minute = c.endMinute, end.second = c.endSecond;
    EXPECT_EQ(BuildNvrBackupUrl(MakeBackupParameters(start, end, c.mask)), QString(c.url));
  }
  BackupParameters p = MakeBackupParameters(start, start, 1);
  p.channelCount = 17;
  EXPECT_TRUE(BuildNvrBackupUrlByValue(p).isEmpty());
  p.channelCount = 0;
  EXPECT_TRUE(BuildNvrBackupUrl(p).isEmpty());
}

TEST(AnswerMarkers, PlaybackId) {
  struct Case {
    const char* answer;
    bool found;
    int id;
  } cases[] = {{"id=7\nlease=60\n", true, 7}, {"id=7", true, 0}, {"", false, 0},
               {"busy\n", false, 0},          {"id=-4 lease", true, -4}};
  for (const Case& c : cases) {
    int id = 99;
    EXPECT_EQ(ReadPlayIdValue(c.answer, &id), c.found) << c.answer;
    if (c.found) {
      EXPECT_EQ(id, c.id) << c.answer;
    }
  }
}

TEST(AnswerMarkers, BackupLeaseValue) {
  struct Case {
    const char* answer;
    bool found;
    int id;
  } cases[] = {{"id=5\nlease=600\n", true, 5}, {"x=-2\nlease=0", true, -2}, {"12 lease", true, 12},
               {"ok", false, 0},               {"lease=5", true, 0}};
  for (const Case& c : cases) {
    int id = 99;
    EXPECT_EQ(ReadLeaseValue(c.answer, &id), c.found) << c.answer;
    if (c.found) {
      EXPECT_EQ(id, c.id) << c.answer;
    }
  }
}

TEST(AnswerMarkers, TextStopsAtTheFirstZeroByte) {
  const char buffer[8] = {'i', 'd', '=', '1', 0, 'x', 'y', 0};
  EXPECT_EQ(AnswerText(buffer, 8), "id=1");
  const char full[3] = {'\xE9', 'a', 'b'};
  EXPECT_EQ(AnswerText(full, 3), QString::fromUtf16(u"\u00E9ab"));
}

TEST(HttpGetConnect, PortDefaultsAndRange) {
  HttpGet http;
  EXPECT_EQ(http.Connect("127.0.0.1", "", "", 0, 0, 0), 1);
  EXPECT_EQ(http.Port(), 80);
  EXPECT_EQ(http.Connect("127.0.0.1", "", "", 0, 1, 0), 1);
  EXPECT_EQ(http.Port(), 443);
  EXPECT_EQ(http.Https(), 1);
  EXPECT_EQ(http.Connect("127.0.0.1", "", "", 3000, 1, 8080), 1);
  EXPECT_EQ(http.Port(), 8080);
  EXPECT_EQ(http.ConnectTimeout(), 3000);
  EXPECT_EQ(http.Connect("127.0.0.1", "", "", 0, 0, 70000), 0);
  EXPECT_EQ(http.Connect("127.0.0.1", "", "", 0, 0, -1), 0);
  EXPECT_FALSE(http.IsConnected());
  EXPECT_EQ(http.Connect("bad host", "", "", 0, 0, 80), 0);
  EXPECT_EQ(http.SendGet("/config/login"), 0);
  char buffer[4] = {};
  EXPECT_EQ(http.GetToBuffer("/config/login", buffer, 4), 0);
  EXPECT_EQ(http.Close(), 1);
  EXPECT_EQ(http.Close(), 1);
}

TEST(Ping, SeamAnswersInPlaceOfTheNetwork) {
  auto previous = platform::SetEchoProbeOverride([](const QString& host) { return host == "127.0.0.1"; });
  EXPECT_EQ(PingHost("127.0.0.1", nullptr), 1);
  errno = 0;
  const int result = PingHost("127.0.0.2", nullptr);
  const int error = errno;
  EXPECT_EQ(result, 0);
  EXPECT_EQ(error, kPingTimedOut);
  platform::SetEchoProbeOverride(previous);
}

TEST(Ping, LoopbackAnswers) {
  // Our own request comes back to a raw socket before the reply does.
  PingReply reply;
  errno = 0;
  const int result = PingHost("127.0.0.1", &reply);
  const int error = errno;
  ASSERT_EQ(result, 1) << "error " << error;
  EXPECT_EQ(reply.address, 0x0100007Fu);
  EXPECT_LT(reply.milliseconds, 1000);
}

// Names refused before any look-up; a name the resolver cannot find is tried
// in a network namespace of the test's own (probe_netns_test.cpp).
TEST(Ping, NamesWithoutAnAddressFailUnreachable) {
  for (const QString& host : {QString(), QString::fromLatin1("127.0.0.1\0x", 11)}) {
    errno = 0;
    const int result = PingHost(host, nullptr);
    const int error = errno;
    EXPECT_EQ(result, 0) << host.size();
    EXPECT_EQ(error, EHOSTUNREACH) << host.size();
  }
}

// A host is refused only when it would change where the request goes; any
// other name is left to the name lookup (no traffic happens here).
TEST(HttpGetConnect, RefusesOnlyHostsThatWouldChangeTheTarget) {
  struct Case {
    QString host;
    int result;
  } cases[] = {
      {"127.0.0.1", 1},
      {"localhost", 1},
      {"nvr_1", 1},
      {"nvr-1.example", 1},
      {"-x", 1},
      {"NVR_Lobby.local", 1},
      {"", 0},
      {"a b", 0},
      {"a\tb", 0},
      {QString("a") + QChar(0x7F), 0},
      {QString("a") + QChar(0x01), 0},
      {"host/x", 0},
      {"host?x", 0},
      {"host#x", 0},
      {"user@host", 0},
      {"host:80", 0},
      {"host\\x", 0},
      {"a%41b", 0},  // the URL parser decodes it into another host
      {QString("nvr") + QChar(0x20AC), 0},  // no single byte carries it
  };
  for (const Case& c : cases) {
    HttpGet http;
    EXPECT_EQ(http.Connect(c.host, "admin", "admin", 3000, 0, 8080), c.result) << c.host.toStdString();
    EXPECT_EQ(http.IsConnected(), c.result == 1) << c.host.toStdString();
  }
}
