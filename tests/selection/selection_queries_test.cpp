// The selection dialog's recorder queries against the simulated recorder on
// loopback: what goes on the wire, and what comes back as plain data, also
// for broken, refused and oversized answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "selection/selection_queries.h"
#include "sim_recorder.h"

using namespace selection;

namespace {

class SelectionQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Config config;
    config.default_content = false;
    config.channel_names = {"Gate", "Yard"};
    recorder_ = std::make_unique<sim::SimRecorder>(config);
    ASSERT_TRUE(recorder_->Start()) << recorder_->Error();
  }
  bool Connect() { return queries_.Connect("127.0.0.1", "admin", "admin", recorder_->Port()); }
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const auto& r : recorder_->Requests()) targets.push_back(r.target);
    return targets;
  }
  void Answer(sim::Request request, std::string body, int status = 200) {
    recorder_->AddFault(sim::FaultRule::AnswerWith(request, status, std::move(body)));
  }

  std::unique_ptr<sim::SimRecorder> recorder_;
  nvr::HttpGet http_;
  std::vector<char> answer_ = std::vector<char>(kAnswerSize);
  SelectionQueries queries_{http_, answer_.data()};
};

TEST_F(SelectionQueriesTest, ConnectChecksTheDateAndPrivilegesFollow) {
  ASSERT_TRUE(Connect());
  EXPECT_EQ(queries_.ReadPlayPrivilege(), 0xFFFF);
  const auto requests = recorder_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/config/datetime");
  EXPECT_EQ(requests[1].target, "/config/userprivileges");
  for (const auto& r : requests) {
    EXPECT_TRUE(r.authorised) << r.target;
    EXPECT_EQ(r.Header("User-Agent").value_or(""), "InetURL/1.0");
  }
}

TEST_F(SelectionQueriesTest, WithoutDateTheClientIsClosedAndLaterQueriesFindNothing) {
  Answer(sim::Request::GetDateTime, "time=2012\n");
  EXPECT_FALSE(Connect());
  EXPECT_FALSE(http_.IsConnected());
  recorder_->ClearFaults();
  recorder_->SetRecordings({2012, 5, 13}, {{1, 29700, 34200, 1}});
  EXPECT_EQ(queries_.ReadPlayPrivilege(), kDefaultPlayPrivilege);
  EXPECT_EQ(queries_.RecordDays(2012, 5), std::vector<int>{});
  std::array<QString, kChannels> names;
  EXPECT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Unavailable);
  EXPECT_TRUE(queries_.RecordList(7, 2012, 5, 13, 0xFFFF).empty());
  EXPECT_EQ(Targets(), std::vector<std::string>{"/config/datetime"});
}

TEST_F(SelectionQueriesTest, NoHostAndAnUnreachableRecorderSendNothing) {
  EXPECT_FALSE(queries_.Connect("", "admin", "admin", recorder_->Port()));
  const int port = recorder_->Port();
  recorder_->Stop();
  EXPECT_FALSE(queries_.Connect("127.0.0.1", "admin", "admin", port));
  EXPECT_TRUE(queries_.RecordList(7, 2012, 5, 13, 0xFFFF).empty());
}

TEST_F(SelectionQueriesTest, PrivilegeAnswers) {
  ASSERT_TRUE(Connect());
  struct Case {
    const char* body;
    int mask;
  } cases[] = {{"playprivilege=15\n", 15}, {"playprivilege=15", kDefaultPlayPrivilege},
               {"playprivilege=abc\n", 0}, {"<html>error</html>", kDefaultPlayPrivilege}};
  for (const Case& c : cases) {
    const int id = recorder_->AddFault(sim::FaultRule::AnswerWith(sim::Request::GetPrivileges, 200, c.body, 1));
    EXPECT_EQ(queries_.ReadPlayPrivilege(), c.mask) << c.body;
    EXPECT_EQ(recorder_->FaultHits(id), 1);
  }
}

TEST_F(SelectionQueriesTest, DaysOfTheMonthWithRecordings) {
  recorder_->SetRecordings({2012, 5, 5}, {{1, 0, 600, 1}});
  recorder_->SetRecordings({2012, 5, 17}, {{2, 0, 600, 1}});
  ASSERT_TRUE(Connect());
  EXPECT_EQ(queries_.RecordDays(2012, 5), (std::vector<int>{5, 17}));
  const auto log = recorder_->Requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().target, "/play/recdate?recyear=2012&recmonth=5");
  // The recorder's "no data" for a month without recordings.
  EXPECT_EQ(queries_.RecordDays(2012, 6), std::nullopt);

  Answer(sim::Request::GetRecordDays, "2012,05,5\n2012,05,17");  // last line without its line feed
  EXPECT_EQ(queries_.RecordDays(2012, 5), std::vector<int>{5});
  recorder_->ClearFaults();
  Answer(sim::Request::GetRecordDays, "2012,02,29\n2012,02,30\n2012,02,31\nx,40\n2012,02,99999\n2012,02,-1\n");
  EXPECT_EQ(queries_.RecordDays(2012, 2), std::vector<int>{29});
  recorder_->ClearFaults();
  Answer(sim::Request::GetRecordDays, "2011,02,29\n");
  EXPECT_EQ(queries_.RecordDays(2011, 2), std::vector<int>{});
}

TEST_F(SelectionQueriesTest, AnOversizedDayListIsCutWithinItsBuffer) {
  std::string body;
  for (int i = 0; i < 400; ++i) body += "2012,05," + std::to_string(i % 31 + 1) + "\n";  // about 4 KB
  Answer(sim::Request::GetRecordDays, body);
  ASSERT_TRUE(Connect());
  const auto days = queries_.RecordDays(2012, 5);
  ASSERT_TRUE(days.has_value());
  for (int d : *days) EXPECT_TRUE(d >= 1 && d <= 31);
  EXPECT_LT(days->size(), 400u);
}

TEST_F(SelectionQueriesTest, ChannelNamesFromTheRecorder) {
  ASSERT_TRUE(Connect());
  std::array<QString, kChannels> names;
  ASSERT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Refresh);
  const auto log = recorder_->Requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().target, "/live/avdevlist");
  EXPECT_EQ(names[0], "CH01 Gate");
  EXPECT_EQ(names[1], "CH02 Yard");

  // UTF-8 names as bytes on the wire.
  Answer(sim::Request::GetChannels, "count=2\n1;T\xC3\xBCr;a\n2;A very long name;b\n");
  ASSERT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Refresh);
  EXPECT_EQ(names[0], QString::fromUtf8("CH01 T\xC3\xBCr"));
  EXPECT_EQ(names[1], "CH02 A very l...");
}

TEST_F(SelectionQueriesTest, UnavailableAndMalformedChannelListsChangeNoCaption) {
  ASSERT_TRUE(Connect());
  std::array<QString, kChannels> names;
  names[0] = "CH01 Old";
  Answer(sim::Request::GetChannels, "busy\n", 503);
  EXPECT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Unavailable);
  EXPECT_EQ(names[0], "CH01 Old");  // 503: not even emptied
  recorder_->ClearFaults();
  Answer(sim::Request::GetChannels, "count=2\n1;Gate;a\n2 Yard\n");
  EXPECT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Unavailable);
}

TEST_F(SelectionQueriesTest, OversizedChannelListsStayWithinSixteenNamesAndTheBuffer) {
  std::string body = "avdevnum=64\n";
  for (int k = 1; k <= 64; ++k) body += std::to_string(k) + ";" + std::string(60, 'n') + ";1\n";  // about 4 KB
  Answer(sim::Request::GetChannels, body);
  ASSERT_TRUE(Connect());
  std::array<QString, kChannels> names;
  // Cut at 1024 bytes, fewer lines than channels: a malformed list.
  EXPECT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Unavailable);

  recorder_->ClearFaults();
  body = "avdevnum=30\n";
  for (int k = 1; k <= 30; ++k) body += std::to_string(k) + ";c" + std::to_string(k) + ";1\n";
  Answer(sim::Request::GetChannels, body);
  ASSERT_EQ(queries_.ChannelNames(&names), SelectionQueries::Names::Refresh);
  EXPECT_EQ(names[15], "CH16 c16");
}

TEST_F(SelectionQueriesTest, RecordListOfTheDayWithThePrivilegeMask) {
  recorder_->SetRecordings({2012, 5, 13}, {{1, 29700, 34200, 1}, {3, 40000, 41000, 4}, {16, 0, 600, 2}});
  ASSERT_TRUE(Connect());
  // The recorder lists records only for a play id it granted.
  char grant[64] = {};
  http_.GetToBuffer("/play/getid", grant, sizeof grant);
  const int playId = recorder_->LastPlayId();
  ASSERT_GE(playId, 0);
  auto items = queries_.RecordList(playId, 2012, 5, 13, 0xFFFF);
  std::sort(items.begin(), items.end(), [](const RecordItem& a, const RecordItem& b) { return a.channel < b.channel; });
  EXPECT_EQ(items, (std::vector<RecordItem>{{1, 29700, 34200, 1}, {3, 40000, 41000, 4}, {16, 0, 600, 2}}));
  const auto log = recorder_->Requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().target,
            "/play/reclist?id=" + std::to_string(playId) + "&start=0&recyear=2012&recmonth=5&recday=13");
}

TEST_F(SelectionQueriesTest, PagesFollowWhileTheStartStaysWithinTheTotal) {
  ASSERT_TRUE(Connect());
  struct Case {
    const char* body;
    size_t requests;
    size_t items;
  } cases[] = {
      {"total=299\nx\nt1=081500;t2=093000;type=1\n", 1, 1},
      {"total=300\nx\nt1=081500;t2=093000;type=1\n", 2, 2},
      {"total=601\nx\nt1=081500;t2=093000;type=1\n", 3, 3},
      {"total=0\nx\nt1=081500;t2=093000;type=1\n", 1, 0},
      {"", 1, 0},
  };
  for (const Case& c : cases) {
    recorder_->ClearFaults();
    recorder_->ClearRequests();
    Answer(sim::Request::GetRecordListPage, c.body);
    const auto items = queries_.RecordList(7, 2012, 5, 13, 0x0001);
    const auto requests = recorder_->Requests(sim::Request::GetRecordListPage);
    ASSERT_EQ(requests.size(), c.requests) << c.body;
    for (size_t i = 0; i < requests.size(); ++i)
      EXPECT_EQ(requests[i].target,
                "/play/reclist?id=7&start=" + std::to_string(300 * i) + "&recyear=2012&recmonth=5&recday=13");
    EXPECT_EQ(items.size(), c.items) << c.body;
  }
}

TEST_F(SelectionQueriesTest, AnAbsurdTotalIsCappedAndOversizedPagesStayInTheirBuffer) {
  ASSERT_TRUE(Connect());
  Answer(sim::Request::GetRecordListPage, "total=2147483647\ncount=0\n");
  recorder_->ClearRequests();
  EXPECT_TRUE(queries_.RecordList(7, 2012, 5, 13, 0xFFFF).empty());
  EXPECT_EQ(recorder_->RequestCount(sim::Request::GetRecordListPage), static_cast<size_t>(kMaxRecordPages));

  // A page far beyond its 22000 bytes: what is kept parses, nothing overflows.
  recorder_->ClearFaults();
  std::string body = "total=1\ncount=1000\n";
  for (int i = 0; i < 1000; ++i) body += "t1=081500;t2=093000;type=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\n";
  Answer(sim::Request::GetRecordListPage, body);
  const auto items = queries_.RecordList(7, 2012, 5, 13, 0xFFFF);
  EXPECT_GT(items.size(), 0u);
  EXPECT_LT(items.size(), 1000u);
  for (const RecordItem& item : items) EXPECT_EQ(item, (RecordItem{1, 29700, 34200, 1}));
}

}  // namespace
