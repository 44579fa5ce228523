// What the selection dialog reads from the recorder's answers, and the span
// arithmetic of its result, without a recorder or a window.
#include <gtest/gtest.h>

#include <QRect>

#include "selection/record_selection.h"
#include "selection/recorder_answers.h"

using namespace selection;

TEST(SplitByChar, CountsSeparatorsPlusOneAndKeepsTheLastPiece) {
  struct Case {
    QString text;
    QStringList pieces;
  } cases[] = {
      {"a\nb", {"a", "b"}},
      {"a\nb\n", {"a", "b", ""}},
      {"", {""}},
      {"\n\n", {"", "", ""}},
  };
  for (const Case& c : cases) {
    QStringList pieces{"stale"};
    EXPECT_EQ(SplitByChar(&pieces, c.text, QLatin1Char('\n')), c.pieces.size()) << c.text.toStdString();
    EXPECT_EQ(pieces, c.pieces) << c.text.toStdString();
  }
}

TEST(DateCheck, NeedsTheFourBytesDateAtTheStart) {
  char answer[512] = "date=2012/05/13 10:00:00\n";
  EXPECT_TRUE(IsDateAnswer(answer, sizeof answer));
  char other[512] = "Date=2012";
  EXPECT_FALSE(IsDateAnswer(other, sizeof other));
  char empty[512] = {};
  EXPECT_FALSE(IsDateAnswer(empty, sizeof empty));
  char shortAnswer[512] = "dat";
  EXPECT_FALSE(IsDateAnswer(shortAnswer, sizeof shortAnswer));
}

TEST(PlayPrivilege, ValueOnItsLineEndedByALineFeed) {
  struct Case {
    const char* answer;
    int mask;
  } cases[] = {
      {"user=admin\nplayprivilege=15\nbackupprivilege=65535\n", 15},
      {"playprivilege=15\n", 15},
      {"playprivilege=15", kDefaultPlayPrivilege},  // last line without its line feed
      {"playprivilege=abc\n", 0},
      {"playprivilege=65535\r\n", 65535},
      {"user=admin\n", kDefaultPlayPrivilege},
      {"playprivilege 15\n", kDefaultPlayPrivilege},  // no "="
      {"", kDefaultPlayPrivilege},
      {"playprivilege=99999999999\n", 2147483647},  // saturates, never wraps
  };
  for (const Case& c : cases) EXPECT_EQ(ParsePlayPrivilege(QString::fromLatin1(c.answer)), c.mask) << c.answer;
}

TEST(RecordDays, CompleteLinesOnlyAndDaysTheMonthHas) {
  struct Case {
    const char* answer;
    int daysInMonth;
    std::vector<int> days;
  } cases[] = {
      {"2012,05,5\n2012,05,17\n", 31, {5, 17}},
      {"2012,05,5\n2012,05,17", 31, {5}},  // the last line lacks its line feed
      {"2012,05,13\r\n", 31, {13}},
      {"7\n", 31, {7}},                     // no comma: the whole line
      {"x,40\n2012,05,0\n2012,05,-3\n2012,02,30\n2012,02,29\n", 29, {29}},
      {"", 31, {}},
      {"2012,05,2147483648\n", 31, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseRecordDays(QString::fromLatin1(c.answer), c.daysInMonth), c.days) << c.answer;
}

TEST(ChannelCaption, NumberedAndCutAfterFourteenCharacters) {
  EXPECT_EQ(ChannelCaption(3, "Gate"), "CH03 Gate");
  EXPECT_EQ(ChannelCaption(12, "Yard"), "CH12 Yard");
  EXPECT_EQ(ChannelCaption(2, "A very long name"), "CH02 A very l...");
  EXPECT_EQ(ChannelCaption(1, "123456789"), "CH01 123456789");   // 14: kept
  EXPECT_EQ(ChannelCaption(1, "1234567890"), "CH01 12345678...");  // 15: cut
  // A character of two units is never cut in half: it goes whole.
  const QString camera = QString::fromUtf8("\xF0\x9F\x8E\xA5");
  EXPECT_EQ(ChannelCaption(1, "1234567" + camera + "9"), "CH01 1234567...");
  EXPECT_EQ(ChannelCaption(1, "123456" + camera + "89"), "CH01 123456" + camera + "...");
}

TEST(ChannelNames, CaptionsFromTheSecondFieldInUtf8) {
  std::array<QString, kChannels> names;
  names[4] = "stale";
  ASSERT_TRUE(ParseChannelNames("count=2\n1;Gate;a\n2;A very long name;b\n", &names));
  EXPECT_EQ(names[0], "CH01 Gate");
  EXPECT_EQ(names[1], "CH02 A very l...");
  for (int i = 2; i < kChannels; ++i) EXPECT_TRUE(names[i].isEmpty()) << i;

  // UTF-8 bytes arrive one unit each: "Tür" and a CJK name.
  const QByteArray utf8 = QString::fromUtf8("count=2\n1;T\xC3\xBCr;x\n2;\xE5\xA4\xA7\xE9\x96\x80;x\n").toUtf8();
  ASSERT_TRUE(ParseChannelNames(QString::fromLatin1(utf8), &names));
  EXPECT_EQ(names[0], QString::fromUtf8("CH01 T\xC3\xBCr"));
  EXPECT_EQ(names[1], QString::fromUtf8("CH02 \xE5\xA4\xA7\xE9\x96\x80"));
}

TEST(ChannelNames, MalformedAnswersLeaveTheCaptionsAlone) {
  const char* malformed[] = {
      "count2\n1;Gate;a\n",         // no "="
      "=2\n1;Gate;a\n",             // "=" is the first character
      "count=2\n1;Gate;a\n2;Yard\n",  // a line with one ";"
      "count=2\n1;Gate;a\n",        // the second line is the empty last piece
      "count=3\n1;Gate;a\n2;Yard;b",  // fewer lines than channels
  };
  for (const char* answer : malformed) {
    std::array<QString, kChannels> names;
    EXPECT_FALSE(ParseChannelNames(QString::fromLatin1(answer), &names)) << answer;
  }
  std::array<QString, kChannels> names;
  EXPECT_TRUE(ParseChannelNames("count=0\n", &names));  // no channels: refresh, all empty
  EXPECT_TRUE(ParseChannelNames("count=-4\n1;Gate;a\n", &names));
  for (const QString& n : names) EXPECT_TRUE(n.isEmpty());
}

TEST(ChannelNames, MoreThanSixteenChannelsAndLongNamesAreCapped) {
  QString answer = "avdevnum=40\n";
  for (int k = 1; k <= 40; ++k) answer += QStringLiteral("%1;Camera number %1 with a long name;1\n").arg(k);
  std::array<QString, kChannels> names;
  ASSERT_TRUE(ParseChannelNames(answer, &names));
  EXPECT_EQ(names[0], "CH01 Camera n...");
  EXPECT_EQ(names[15], "CH16 Camera n...");

  // A name cut at 19 characters never ends in half a surrogate pair.
  QString name(18, QLatin1Char('a'));
  name += QString::fromUtf8("\xF0\x9F\x93\xB7");  // one character, two units
  const QByteArray bytes = ("count=1\n1;" + name + ";x\n").toUtf8();
  ASSERT_TRUE(ParseChannelNames(QString::fromLatin1(bytes), &names));
  EXPECT_FALSE(names[0].isEmpty());
  for (QChar c : names[0]) EXPECT_FALSE(c.isSurrogate());
}

TEST(RecordLine, TimesAndTypesPerPrivilegedChannel) {
  const QString fifteenZerosThenOne = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1";
  struct Case {
    QString line;
    int privilege;
    std::vector<RecordItem> items;
  } cases[] = {
      {"t1=081500;t2=093000;type=" + fifteenZerosThenOne, 0xFFFF, {{1, 29700, 34200, 1}}},
      {"t1=081500;t2=093000;type=16,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1", 0xFFFF,
       {{16, 29700, 34200, 16}, {1, 29700, 34200, 1}}},
      {"t1=081500;t2=093000;type=" + fifteenZerosThenOne + "\r", 0xFFFF, {{1, 29700, 34200, 1}}},
      // Only the allowed channels take values, channel 16 first.
      {"t1=000000;t2=000100;type=2,4", 0x0005, {{3, 0, 60, 2}, {1, 0, 60, 4}}},
      {"t1=8150;t2=093000;type=" + fifteenZerosThenOne, 0xFFFF, {}},  // short time field
      {"t1=081500;t2=093000;" + fifteenZerosThenOne, 0xFFFF, {}},     // no type list
      {"t1=081500 t2=093000;type=1", 0x0001, {}},                      // no ";" after t1
      {"t1=-10000;t2=093000;type=1", 0x0001, {}},                      // negative hour
      {"t1=081500;t2=093000;type=0,3,-1,5", 0xF000, {{15, 29700, 34200, 3}}},  // negative ends
      {"t1=081500;t2=093000;type=7", 0xFFFF, {}},  // list ends before channel 1 is reached
      {"t1=081500;t2=093000;type=", 0x0000, {}},
  };
  for (const Case& c : cases) {
    std::vector<RecordItem> items;
    ParseRecordLine(c.line, c.privilege, &items);
    EXPECT_EQ(items, c.items) << c.line.toStdString();
  }
}

TEST(RecordPage, TotalThenRecordsFromLineTwo) {
  std::vector<RecordItem> items;
  EXPECT_EQ(ParseRecordPage("total=1\nx\nt1=081500;t2=093000;type=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\n", 0xFFFF, &items),
            1);
  EXPECT_EQ(items, (std::vector<RecordItem>{{1, 29700, 34200, 1}}));

  items.clear();
  EXPECT_EQ(ParseRecordPage("total=0\nx\nt1=081500;t2=093000;type=1\n", 1, &items), 0);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(ParseRecordPage("total=5\ncount=0\nnothing\nt1=081500;t2=093000;type=1\n", 1, &items), 5);
  EXPECT_TRUE(items.empty());  // line 2 does not begin with "t"
  EXPECT_EQ(ParseRecordPage("total=5\n", 1, &items), 5);  // cut before line 2
  EXPECT_EQ(ParseRecordPage("total=5", 1, &items), 5);
  EXPECT_EQ(ParseRecordPage("", 1, &items), 0);
  EXPECT_EQ(ParseRecordPage("12\n", 1, &items), 12);  // no "=": the whole line
  EXPECT_TRUE(items.empty());
}

TEST(RequestTexts, AsTheRecorderExpectsThem) {
  EXPECT_EQ(RecordDatesPath(2012, 5), "/play/recdate?recyear=2012&recmonth=5");
  EXPECT_EQ(RecordListPath(7, 300, 2012, 5, 13), "/play/reclist?id=7&start=300&recyear=2012&recmonth=5&recday=13");
  EXPECT_EQ(ChannelSelectorText(1), "1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(ChannelSelectorText(3), "0,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(ChannelSelectorText(16), "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1");
  const QString start = PreviewTimeText(2012, 5, 13, 8, 15, 0);
  const QString end = PreviewTimeText(2012, 5, 13, 9, 30, 0);
  EXPECT_EQ(SearchDataPath(7, start, end, 1),
            "/play/searchdata?id=7&recstarttime=2012,5,13,8,15,0&recendtime=2012,5,13,9,30,0"
            "&avdevids=1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(PreviewStreamPath(7, 1), "/play/mav/nvrprofilestream?id=7&avdevid=1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0&profile=1");
}

TEST(RecordSelectionArithmetic, EndRoundedUpToAWholeMinute) {
  struct Case {
    int end;
    int rounded;
  } cases[] = {{36000, 36000}, {36001, 36060}, {86370, 86400}, {86399, 86400}, {0, 0}, {59, 60}};
  for (const Case& c : cases) EXPECT_EQ(RoundUpToMinute(c.end), c.rounded) << c.end;

  EXPECT_EQ(SpanFromSelection(3723, 7201), (Span{1, 2, 0, 2, 1, 0}));
  EXPECT_EQ(SpanFromSelection(29742, 86399), (Span{8, 15, 0, 24, 0, 0}));
  EXPECT_TRUE(SpanFromSelection(0, 0).IsZero());
}

TEST(RecordSelectionArithmetic, FilledOnlyWithAFlaggedChannel) {
  RecordSelection selection;
  selection.m_startTime[kYear] = 1999;
  std::array<int, 16> flags{};
  EXPECT_FALSE(FillRecordSelection(flags, 2012, 5, 13, Span{8, 15, 0, 9, 30, 0}, &selection));
  EXPECT_EQ(selection.m_startTime[kYear], 1999);  // untouched
  flags[2] = 2;                                   // only exactly 1 counts
  EXPECT_FALSE(FillRecordSelection(flags, 2012, 5, 13, Span{8, 15, 0, 9, 30, 0}, &selection));

  flags[0] = 1;
  flags[15] = 1;
  ASSERT_TRUE(FillRecordSelection(flags, 2012, 5, 13, Span{8, 15, 42, 23, 59, 30}, &selection));
  EXPECT_EQ(selection.m_startTime, (std::array<int, 9>{0, 15, 8, 13, 5, 2012, 0, 0, 0}));
  EXPECT_EQ(selection.m_endTime, (std::array<int, 9>{0, 0, 24, 13, 5, 2012, 0, 0, 0}));
  std::array<int, 16> expected{};
  expected[0] = expected[15] = 1;
  EXPECT_EQ(selection.m_channelFlags, expected);

  ASSERT_TRUE(FillRecordSelection(flags, 2012, 5, 13, Span{10, 0, 0, 10, 0, 1}, &selection));
  EXPECT_EQ(selection.m_endTime[kHour], 10);
  EXPECT_EQ(selection.m_endTime[kMinute], 1);
  EXPECT_EQ(selection.m_endTime[kSecond], 0);
}

TEST(RecordSelectionArithmetic, PreviewChannelAndPlacement) {
  std::array<int, 16> flags{};
  EXPECT_EQ(PreviewChannel(flags), 1);
  flags[2] = flags[6] = 1;
  EXPECT_EQ(PreviewChannel(flags), 3);

  int x = 0, y = 0, w = 0, h = 0;
  ASSERT_TRUE(DialogPlacement(1024, 768, &x, &y, &w, &h));
  EXPECT_EQ(QRect(x, y, w, h), QRect(87, 64, 850, 660));
  EXPECT_FALSE(DialogPlacement(800, 600, &x, &y, &w, &h));
  EXPECT_FALSE(DialogPlacement(850, 1000, &x, &y, &w, &h));  // half the width must be above 425

  EXPECT_EQ(ElapsedMs(1000, 1300, 1000), 300);
  EXPECT_EQ(ElapsedMs(0, 499999, 1000000), 499);
}
