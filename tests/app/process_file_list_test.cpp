// The progress dialog's file list without a window: rows from an answer file,
// size texts, local paths, refused recorder paths, requests, the clamped copy.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include "app/process_file_list.h"
#include "tests/support/small_disk.h"

namespace {

nvr::NvrTime Day(int year, int month, int day) {
  nvr::NvrTime t;
  t.year = year, t.month = month, t.day = day;
  return t;
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

TEST(ProcessFileList, RecordListFirstThenTheFilesInOrder) {
  ProcessFileList list(QStringLiteral("/media/L/backup201205131430"));
  const QByteArray answer =
      "total,3000\n/d/2012/05/13/a.avi,1023\n/d/2012/05/13/b.avi,1024\r\n/d/2012/05/13/c.avi,1048576\n"
      "/d/2012/05/13/RecordList.db,81\nunterminated,5";
  ASSERT_TRUE(list.AddJobAnswer(answer, Day(2012, 5, 13), QStringLiteral("/opt/t/")));
  ASSERT_EQ(list.Count(), 4);
  struct Expected {
    const char* recorder;
    const char* size;
  } rows[] = {{"/d/2012/05/13/RecordList.db", "81 Bytes"},
              {"/d/2012/05/13/a.avi", "1023 Bytes"},
              {"/d/2012/05/13/b.avi", "0.00 MB"},
              {"/d/2012/05/13/c.avi", "1.00 MB"}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list.At(i).recorderPath, QString::fromLatin1(rows[i].recorder));
    EXPECT_EQ(list.At(i).localPath, QStringLiteral("/media/L/backup201205131430") + QString::fromLatin1(rows[i].recorder));
    EXPECT_EQ(ProcessFileList::SizeText(list.At(i).size), QString::fromLatin1(rows[i].size));
    EXPECT_EQ(ProcessFileList::NumberText(i), QString::number(i + 1));
    EXPECT_TRUE(list.At(i).safe);
    EXPECT_TRUE(list.At(i).status.isEmpty());
  }
  // Only the record list is replaced, by the job day's clamped copy.
  EXPECT_EQ(list.At(0).clampedSource, QStringLiteral("/opt/t/2012_05_13_RecordList.db"));
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(list.At(i).clampedSource.isEmpty());
  EXPECT_EQ(list.RequestFor(1, 7), QStringLiteral("/config/backupdownload?id=7&path=/d/2012/05/13/a.avi"));

  // A second job's rows follow the first's.
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/e/2012/05/14/x.avi,9\n/e/2012/05/14/RecordList.db,3\n", Day(2012, 5, 14),
                                QStringLiteral("/opt/t/")));
  ASSERT_EQ(list.Count(), 6);
  EXPECT_EQ(list.At(4).recorderPath, QStringLiteral("/e/2012/05/14/RecordList.db"));
  EXPECT_EQ(list.At(4).clampedSource, QStringLiteral("/opt/t/2012_05_14_RecordList.db"));
  EXPECT_EQ(list.At(5).recorderPath, QStringLiteral("/e/2012/05/14/x.avi"));
}

TEST(ProcessFileList, SizeTexts) {
  struct Case {
    std::int64_t size;
    const char* text;
  } cases[] = {{0, "0 Bytes"},          {1023, "1023 Bytes"},      {1024, "0.00 MB"},
               {1024 * 1024, "1.00 MB"}, {3000000000LL, "2861.02 MB"}, {-5, "-5 Bytes"}};
  for (const Case& c : cases) EXPECT_EQ(ProcessFileList::SizeText(c.size), QString::fromLatin1(c.text)) << c.size;
}

TEST(ProcessFileList, AnswersWithoutAFileListAreRefused) {
  const char* answers[] = {"", "to,5", "to,5\n", "to,5\n/x/RecordList.db,3"};
  for (const char* answer : answers) {
    ProcessFileList list(QStringLiteral("/b"));
    EXPECT_FALSE(list.AddJobAnswer(answer, Day(2012, 1, 1), QStringLiteral("/t/"))) << answer;
    EXPECT_EQ(list.Count(), 0);
  }
  ProcessFileList list(QStringLiteral("/b"));
  EXPECT_FALSE(list.AddJobAnswerFile(QStringLiteral("/nonexistent/123456.txt"), Day(2012, 1, 1), QString()));
}

TEST(ProcessFileList, PathsThatWouldLeaveTheFolderAreRefused) {
  struct Case {
    const char* path;
    bool safe;
  } cases[] = {{"/rec/2012/05/13/ch01.avi", true},
               {"/rec/a b/#1.avi", true},
               {"rec/no-leading-slash.avi", true},
               {"/../../evil.bin", false},
               {"/rec/../x.avi", false},
               {"/rec/..", false},
               {"/rec/./x.avi", false},
               {"/rec\\..\\x.avi", false},
               {"/rec/x\x01.avi", false},
               {"/rec/x\t.avi", false},
               {"/", false},
               {"/rec/", false},
               {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ProcessFileList list(QStringLiteral("/media/L/backup1"));
    const int row = list.AddFileRow(QString::fromLatin1(c.path), 10);
    EXPECT_EQ(list.At(row).safe, c.safe);
    // Whatever the recorder wrote, the local path starts inside the folder.
    EXPECT_TRUE(list.At(row).localPath.startsWith(QStringLiteral("/media/L/backup1/")));
  }
}

// A record list of `count` entries, `entries` of them present.
QByteArray RecordList(quint32 count, quint32 entries, char fill) {
  QByteArray list(56, '\0');
  list[4] = char(count & 0xFF), list[5] = char(count >> 8 & 0xFF), list[6] = char(count >> 16 & 0xFF), list[7] = char(count >> 24);
  return list + QByteArray(int(entries) * 25, fill);
}

TEST(ProcessFileList, ClampedCopyReplacesTheDownloadedListOnlyWhenWhole) {
  QTemporaryDir dir;
  const QString downloaded = dir.path() + QStringLiteral("/RecordList.db");
  const QString clamped = dir.path() + QStringLiteral("/2012_05_13_RecordList.db");
  const QByteArray fromRecorder = RecordList(3, 3, 'd');
  ASSERT_TRUE(Write(downloaded, fromRecorder));
  // No clamped copy: the downloaded list stays.
  EXPECT_EQ(PutClampedRecordList(clamped, downloaded), ClampedCopy::NoCopy);
  EXPECT_EQ(PutClampedRecordList(QString(), downloaded), ClampedCopy::NoCopy);
  EXPECT_EQ(Read(downloaded), fromRecorder);
  // A copy that is no whole list never replaces it.
  for (const QByteArray& broken : {QByteArray(), QByteArray(55, 'h'), RecordList(3, 0, 'c'), RecordList(3, 2, 'c')}) {
    SCOPED_TRACE(broken.size());
    ASSERT_TRUE(Write(clamped, broken));
    EXPECT_EQ(PutClampedRecordList(clamped, downloaded), ClampedCopy::NoCopy);
    EXPECT_EQ(Read(downloaded), fromRecorder);
  }
  // Whole ones do; what the clamp leaves untouched (no entries counted) too.
  for (const QByteArray& whole : {RecordList(3, 3, 'c'), RecordList(2, 3, 'e'), RecordList(0, 0, 'f')}) {
    SCOPED_TRACE(whole.size());
    ASSERT_TRUE(Write(clamped, whole));
    EXPECT_EQ(PutClampedRecordList(clamped, downloaded), ClampedCopy::Replaced);
    EXPECT_EQ(Read(downloaded), whole);
    EXPECT_EQ(Read(clamped), whole);
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);

  // A copy that cannot be read fails with its own reason, and changes nothing.
  ASSERT_TRUE(Write(downloaded, fromRecorder));
  ASSERT_EQ(::chmod(QFile::encodeName(clamped).constData(), 0), 0);
  const QString loop = dir.path() + QStringLiteral("/2012_05_14_RecordList.db");
  ASSERT_TRUE(QFile::link(loop, loop));
  struct Unreadable {
    QString path;
    int error;
  } unreadable[] = {{clamped, EACCES}, {loop, ELOOP}};
  for (const Unreadable& u : unreadable) {
    SCOPED_TRACE(u.error);
    test_support::WithoutFileOverride asAUser;
    int why = 0;
    EXPECT_EQ(PutClampedRecordList(u.path, downloaded, &why), ClampedCopy::Failed);
    EXPECT_EQ(why, u.error);
    EXPECT_EQ(Read(downloaded), fromRecorder);
  }
}

// The local path of a row and the recorder path it stands for.
TEST(ProcessFileList, LocalPathsMapBackToTheirRecorderPaths) {
  ProcessFileList list(QStringLiteral("/media/L/backup201205131430"));
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/d/a b\r/c.avi,5\n/d/2012/05/13/RecordList.db,3\n", Day(2012, 5, 13), QString()));
  EXPECT_EQ(list.At(1).localPath, QStringLiteral("/media/L/backup201205131430/d/a b/c.avi"));
  EXPECT_EQ(list.ToRecorderPath(list.At(1).localPath), QStringLiteral("/d/a b/c.avi"));
  EXPECT_EQ(list.RequestFor(1, 3), QStringLiteral("/config/backupdownload?id=3&path=/d/a b/c.avi"));
}

// The clamped copy replaces the last line's file only when that line names a
// record list; any other file keeps what the recorder sent.
TEST(ProcessFileList, OnlyARecordListIsReplacedByTheClampedCopy) {
  struct Case {
    const char* last;
    bool replaced;
  } cases[] = {{"/d/2012/05/13/RecordList.db,81", true}, {"/d/2012/05/13/ch01/last.avi,10", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last);
    ProcessFileList list(QStringLiteral("/b"));
    ASSERT_TRUE(list.AddJobAnswer(QByteArray("to,5\n/d/2012/05/13/a.avi,3\n") + c.last + "\n", Day(2012, 5, 13),
                                  QStringLiteral("/opt/t/")));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0).clampedSource.isEmpty(), !c.replaced);
    EXPECT_TRUE(list.At(1).clampedSource.isEmpty());
  }
}

// A line without "," names no path: its row is refused and nothing is
// fetched for it; its size is the number the line begins with.
TEST(ProcessFileList, ALineWithoutACommaHasNoPath) {
  ProcessFileList list(QStringLiteral("/b"));
  ASSERT_TRUE(list.AddJobAnswer("to,5\n/rec/a.avi,3\n/rec/nocomma.avi\n77 bytes\n/rec/2012/05/13/RecordList.db,4\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_TRUE(list.At(1).safe);
  for (int row : {2, 3}) {
    SCOPED_TRACE(row);
    EXPECT_TRUE(list.At(row).recorderPath.isEmpty());
    EXPECT_FALSE(list.At(row).safe);
  }
  EXPECT_EQ(list.At(2).size, 0);
  EXPECT_EQ(list.At(3).size, 77);
}

// A recorder path longer than a local path may be, or with a name longer
// than a folder entry may be, is refused, and the row keeps no more of it
// than the path limit.
TEST(ProcessFileList, PathsLongerThanTheLocalLimitsAreRefused) {
  QByteArray fits;  // 4096 bytes in names of 255
  while (fits.size() < 4096) fits += "/" + QByteArray(std::min<qsizetype>(255, 4096 - fits.size() - 1), 'a');
  const QByteArray tooLong = fits + "b";
  const QByteArray huge = "/" + QByteArray(10 * 1024 * 1024, 'b');
  const QByteArray longestName = "/r/" + QByteArray(255, 'n');
  const QByteArray nameTooLong = "/r/" + QByteArray(256, 'n');
  // Bytes above 0x7F take two in the local name.
  const QByteArray wideName = "/r/" + QByteArray(128, '\xE9');
  const QByteArray fittingWideName = "/r/" + QByteArray(127, '\xE9') + "x";
  ProcessFileList list(QStringLiteral("/b"));
  ASSERT_TRUE(list.AddJobAnswer("to,1\n" + fits + ",1\n" + tooLong + ",2\n" + huge + ",3\n" + longestName + ",4\n" +
                                    nameTooLong + ",5\n" + wideName + ",6\n" + fittingWideName +
                                    ",7\n/r/2012/05/13/RecordList.db,4\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 8);
  const bool safe[] = {true, true, false, false, true, false, false, true};
  for (int row = 1; row < 8; ++row) EXPECT_EQ(list.At(row).safe, safe[row]) << row;
  EXPECT_EQ(list.At(1).recorderPath, QString::fromLatin1(fits));
  EXPECT_LE(list.At(3).localPath.size(), 2 + 4097);
  EXPECT_EQ(list.At(3).size, 3);
}

// Rows still to fetch pass over refused rows, marking them failed, and over
// rows that arrived; the refused ones are counted and named in list order.
TEST(ProcessFileList, RefusedRowsArePassedOverAndCounted) {
  ProcessFileList list(QStringLiteral("/b"));
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/r/a.avi,1\n/r/dir/,2\n/r/../x,3\n/r/b.avi,4\n/r/c/,5\n"
                                "/r/2012/05/13/RecordList.db,4\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 6);  // the record list, a, dir/, ../x, b, c/
  EXPECT_EQ(list.RefusedCount(), 3);
  EXPECT_EQ(list.RefusedPaths(2), QStringList({"/r/dir/", "/r/../x"}));
  EXPECT_EQ(list.RefusedPaths(9), QStringList({"/r/dir/", "/r/../x", "/r/c/"}));
  EXPECT_EQ(list.NextRowToFetch(0), 0);
  list.SetStatus(0, ProcessFileList::kComplete);
  list.SetStatus(1, ProcessFileList::kComplete);
  EXPECT_EQ(list.NextRowToFetch(0), 4);
  EXPECT_EQ(list.Status(2), QStringLiteral("failed"));
  EXPECT_EQ(list.Status(3), QStringLiteral("failed"));
  EXPECT_TRUE(list.Status(5).isEmpty());
  list.SetStatus(4, ProcessFileList::kComplete);
  EXPECT_EQ(list.NextRowToFetch(5), 6);
  EXPECT_EQ(list.Status(5), QStringLiteral("failed"));
}

// Rows that have not arrived, or whose files are gone or changed size since,
// are lost; refused rows, which can never arrive, are not.
TEST(ProcessFileList, LostRowsAreTheFetchableOnesMissingAsTheyArrived) {
  QTemporaryDir dir;
  ProcessFileList list(dir.path());
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/r/a.avi,1\n/r/dir/,2\n/r/b.avi,4\n/r/c.avi,5\n/r/2012/05/13/RecordList.db,4\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 5);  // the record list, a, dir/, b, c
  EXPECT_EQ(list.LostRows(), (std::vector<int>{0, 1, 3, 4}));
  for (int row : {0, 1, 3, 4}) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(list.LocalPath(row)).path()));
    ASSERT_TRUE(Write(list.LocalPath(row), QByteArray(10 + row, 'x')));
    list.SetStatus(row, ProcessFileList::kComplete);
    list.SetArrivedSize(row, 10 + row);
  }
  list.NextRowToFetch(0);  // the refused row reads "failed"
  EXPECT_EQ(list.LostRows(), std::vector<int>{});
  ASSERT_TRUE(QFile::remove(list.LocalPath(1)));
  ASSERT_TRUE(QFile(list.LocalPath(4)).resize(3));
  EXPECT_EQ(list.LostRows(), (std::vector<int>{1, 4}));
}

// A disk cannot hold a file where another row's file needs a folder, or the
// other way round: of two such rows the first listed stays and the later one
// is refused. Names that merely begin alike, the same file listed twice and
// rows refused for themselves clash with nothing; the local form of a path
// (carriage returns dropped, empty names ignored) decides.
TEST(ProcessFileList, ARowWhoseFileCannotLieBesideAnEarlierRowsIsRefused) {
  struct Case {
    const char* name;
    std::vector<const char*> paths;
    std::vector<bool> safe;
  } cases[] = {
      {"file, then a file in a folder of its name", {"/rec/dir", "/rec/dir/inner.avi"}, {true, false}},
      {"a file in a folder, then a file of the folder's name", {"/rec/dir/inner.avi", "/rec/dir"}, {true, false}},
      {"among other files",
       {"/rec/a.avi", "/rec/dir", "/rec/b.avi", "/rec/dir/inner.avi", "/rec/c.avi", "/rec/dir/more.avi"},
       {true, true, true, false, true, false}},
      {"deeper", {"/rec/a", "/rec/a/b/c.avi", "/rec/a/b"}, {true, false, false}},
      {"deeper, the other way", {"/rec/a/b/c.avi", "/rec/a", "/rec/a/b", "/rec/a/b/d.avi"}, {true, false, false, true}},
      {"the same file twice", {"/rec/x.avi", "/rec/x.avi", "/rec/x.avi/y"}, {true, true, false}},
      {"names that begin alike", {"/rec/dir", "/rec/dir2/x", "/rec/dir.avi", "/rec/di/r", "/rec/dir-/a"},
       {true, true, true, true, true}},
      {"a refused row holds no file", {"/rec/dir/", "/rec/dir/x\x01.avi", "/rec/dir/../y", "/rec/dir"},
       {false, false, false, true}},
      {"only the rows kept count", {"/x/y/z", "/x/y", "/x", "/x/q"}, {true, false, false, true}},
      {"the local form decides", {"/rec/d\r\rir", "rec//dir/x.avi", "/rec/dir\r/y.avi", "//rec/dir"},
       {true, false, false, true}},
      {"names differing in case are two files", {"/rec/Dir", "/rec/dir/x.avi"}, {true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.paths.size(), c.safe.size());
    ProcessFileList list(QStringLiteral("/media/L/backup1"));
    QStringList refused;
    for (std::size_t i = 0; i < c.paths.size(); ++i) {
      const int row = list.AddFileRow(QString::fromLatin1(c.paths[i]), 10);
      EXPECT_EQ(list.IsSafe(row), c.safe[i]) << c.paths[i];
      if (!c.safe[i]) refused << list.RecorderPath(row);
    }
    EXPECT_EQ(list.RefusedCount(), refused.size());
    EXPECT_EQ(list.RefusedPaths(99), refused);
  }
}

// A clash in an answer file: the day's record list comes first, and a later
// job's row is refused when its file cannot lie beside an earlier job's.
// The refused rows are passed over and read "failed", as any refused row.
TEST(ProcessFileList, ClashingRowsOfAnswerFilesArePassedOver) {
  ProcessFileList list(QStringLiteral("/b"));
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/rec/a.avi,1\n/rec/dir/inner.avi,2\n/rec/dir,3\n/rec/b.avi,4\n"
                                "/rec/a.avi/RecordList.db,5\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 5);  // the record list, a, dir/inner, dir, b
  const bool safe[] = {true, false, true, false, true};
  for (int row = 0; row < 5; ++row) EXPECT_EQ(list.IsSafe(row), safe[row]) << row;
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/rec/dir/inner.avi/x.avi,1\n/rec/c.avi,2\n/rec/2012/05/14/RecordList.db,5\n",
                                Day(2012, 5, 14), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 8);
  EXPECT_TRUE(list.IsSafe(5));
  EXPECT_FALSE(list.IsSafe(6));
  EXPECT_TRUE(list.IsSafe(7));
  EXPECT_EQ(list.RefusedPaths(9), QStringList({"/rec/a.avi", "/rec/dir", "/rec/dir/inner.avi/x.avi"}));
  list.SetStatus(0, ProcessFileList::kComplete);
  EXPECT_EQ(list.NextRowToFetch(1), 2);
  EXPECT_EQ(list.Status(1), QStringLiteral("failed"));
  list.SetStatus(2, ProcessFileList::kComplete);
  EXPECT_EQ(list.NextRowToFetch(3), 4);
  EXPECT_EQ(list.Status(3), QStringLiteral("failed"));
}
