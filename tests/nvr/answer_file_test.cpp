// Answer files and record lists on disk: line splitting, the total on the
// first line, a line's recorder path, and the clamp of a record list's end
// times, which leaves a list it cannot rewrite as it was.
#include "nvr/answer_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cstring>

#include "tests/support/small_disk.h"

using namespace nvr;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// Header "RLDB", the count, 0xAA filler; entries "000000", the time, 0xBB filler.
QByteArray RecordList(quint32 count, const std::vector<QByteArray>& times, const QByteArray& tail = {}) {
  QByteArray b("RLDB");
  for (int i = 0; i < 4; ++i) b += char((count >> (8 * i)) & 0xFF);
  b += QByteArray(48, char(0xAA));
  for (const QByteArray& t : times) b += "000000" + t + QByteArray(13, char(0xBB));
  return b + tail;
}

QByteArray EntryTime(const QByteArray& file, int i) { return file.mid(56 + 25 * i + 6, 6); }

}  // namespace

TEST(SplitString, OnlyTerminatedPiecesCount) {
  struct Case {
    QString text;
    QChar sep;
    QStringList pieces;
  } cases[] = {{"a,b,", ',', {"a", "b"}}, {"a,,b", ',', {"a", ""}}, {"", ',', {}},
               {"abc", ',', {}},          {"\n", '\n', {""}},        {"x\r\ny\n", '\n', {"x\r", "y"}}};
  for (const Case& c : cases) {
    QStringList out;
    SplitString(c.text, c.sep, &out);
    EXPECT_EQ(out, c.pieces) << c.text.toStdString();
  }
}

TEST(AnswerFileTotal, FirstLineWithinEightyBytes) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/000001.txt";
  struct Case {
    QByteArray content;
    long long total;
  } cases[] = {{"to,750\n", 750},
               {"to,750", 0},
               {"to," + QByteArray(97, '1') + "\n", 0},
               {"xx,750\n", 0},
               {"total,123456789012\n/rec/a,1\n", 123456789012LL},
               {"to\n", 0},
               {"", 0}};
  for (const Case& c : cases) {
    WriteAll(path, c.content);
    EXPECT_EQ(ReadAnswerFileTotal(path), c.total) << c.content.constData();
  }
  EXPECT_EQ(ReadAnswerFileTotal(""), 0);
  EXPECT_EQ(ReadAnswerFileTotal(dir.path() + "/missing.txt"), 0);
}

TEST(AnswerFileLines, PathOfALineAndSafePaths) {
  EXPECT_EQ(RecorderPathOfLine("/rec/2012/05/03/RecordList.db,1200"), "/rec/2012/05/03/RecordList.db");
  EXPECT_EQ(RecorderPathOfLine("no comma"), "");
  for (const char* ok : {"/rec/a b/c.avi", "/rec/x..y/z", "/rec/2012/05/03/RecordList.db"})
    EXPECT_TRUE(IsSafeRecorderPath(ok)) << ok;
  for (const char* bad : {"/../../x.avi", "/rec/./a", "/rec/..", "/rec\\a", "/rec/a\tb", "/rec/\x01"})
    EXPECT_FALSE(IsSafeRecorderPath(bad)) << bad;
}

TEST(RecordListClamp, EntriesAfterTheLimitComeDown) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/2012_05_03_RecordList.db";
  struct Case {
    int h, m, s;
    QByteArray before, after;
  } cases[] = {
      {10, 5, 0, "100501", "100459"}, {10, 5, 0, "110000", "100459"}, {10, 5, 0, "100500", "100500"},
      {10, 5, 0, "090000", "090000"}, {10, 5, 30, "100600", "100530"}, {24, 0, 0, "235959", "235959"},
      {0, 0, 0, "000001", "000000"},  {10, 5, 0, "1x0000", "1x0000"},
  };
  for (const Case& c : cases) {
    const QByteArray original = RecordList(2, {"000000", c.before}, "TAIL123");
    WriteAll(path, original);
    EXPECT_EQ(ClampRecordListEndTimes(c.h, path, c.m, c.s), ClampResult::Clamped);
    const QByteArray now = ReadAll(path);
    ASSERT_EQ(now.size(), 56 + 50) << "the bytes after the last entry are not part of the list";
    EXPECT_EQ(EntryTime(now, 1), c.after) << c.before.constData();
    EXPECT_EQ(EntryTime(now, 0), "000000");
    // Everything but the six time digits passes through unchanged.
    QByteArray a = now, b = original.left(106);
    a.replace(56 + 25 + 6, 6, "------");
    b.replace(56 + 25 + 6, 6, "------");
    EXPECT_EQ(a, b);
  }
}

TEST(RecordListClamp, FilesThatAreNotAListStayUntouched) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/list.db";
  const QByteArray cases[] = {
      RecordList(0, {}),
      RecordList(100001, {"235959"}),
      RecordList(3, {"235959", "235959"}),
      QByteArray(20, '9'),
  };
  for (const QByteArray& content : cases) {
    WriteAll(path, content);
    EXPECT_EQ(ClampRecordListEndTimes(1, path, 0, 0), ClampResult::NotAList);
    EXPECT_EQ(ReadAll(path), content);
  }
  EXPECT_EQ(ClampRecordListEndTimes(1, dir.path() + "/missing.db", 0, 0), ClampResult::NotAList);
  EXPECT_FALSE(QFileInfo::exists(dir.path() + "/missing.db"));

  // The largest count is still a list.
  std::vector<QByteArray> many(100000, "235959");
  WriteAll(path, RecordList(100000, many));
  EXPECT_EQ(ClampRecordListEndTimes(1, path, 0, 0), ClampResult::Clamped);
  const QByteArray after = ReadAll(path);
  EXPECT_EQ(EntryTime(after, 0), "005959");
  EXPECT_EQ(EntryTime(after, 99999), "005959");
}

// A disk that cannot take the clamped list leaves the list exactly as it was,
// with no temporary beside it, and says so; a folder that is read-only while
// the list itself is writable still gets the list clamped, in place.
TEST(RecordListClamp, DiskFaultsLeaveTheListAsItWas) {
  std::string why;
  auto disk = test_support::SmallDisk::Mount(256 * 1024, &why);
  if (!disk) GTEST_SKIP() << why;
  const QString folder = QString::fromStdString(disk->Path());
  const QString path = folder + "/2012_05_03_RecordList.db";
  const auto names = [&] { return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot); };
  // A small list goes out in one write at the end, a large one on the way.
  for (const int count : {100, 2000}) {
    SCOPED_TRACE(count);
    const QByteArray original = RecordList(quint32(count), std::vector<QByteArray>(std::size_t(count), "235959"));
    WriteAll(path, original);
    ASSERT_TRUE(disk->Fill(0));
    EXPECT_EQ(ClampRecordListEndTimes(10, path, 5, 0), ClampResult::WriteFailed);
    EXPECT_EQ(ReadAll(path), original) << "full disk";
    EXPECT_EQ(names(), QStringList{"2012_05_03_RecordList.db"});
    disk->Unfill();
  }

  const QByteArray original = RecordList(2000, std::vector<QByteArray>(2000, "235959"));
  WriteAll(path, original);

  ASSERT_TRUE(disk->SetReadOnly(true));
  EXPECT_EQ(ClampRecordListEndTimes(10, path, 5, 0), ClampResult::WriteFailed);
  EXPECT_EQ(ReadAll(path), original) << "read-only disk";
  ASSERT_TRUE(disk->SetReadOnly(false));

  {
    test_support::WithoutFileOverride asUser;
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    EXPECT_EQ(ClampRecordListEndTimes(10, path, 5, 0), ClampResult::Clamped);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
  }
  const QByteArray clamped = ReadAll(path);
  ASSERT_EQ(clamped.size(), original.size());
  EXPECT_EQ(EntryTime(clamped, 0), "100459");
  EXPECT_EQ(EntryTime(clamped, 1999), "100459");
  EXPECT_EQ(names(), QStringList{"2012_05_03_RecordList.db"});
}
