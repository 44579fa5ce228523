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
#include "nvr/download_task.h"
#include "platform/core/durable_file.h"
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

QStringList RefusedPaths(const ProcessFileList& list, int max) {
  QStringList paths;
  for (const RefusedFile& file : list.RefusedFiles(max)) paths << file.path;
  return paths;
}

// Saves a file where a download puts it: its folders and a temporary beside
// it before the request is sent, the rename after the body. 0 when it was
// saved, else the system's error number, and `beforeRequest` tells whether
// it failed before anything would have been asked of the recorder.
int SaveAsADownload(const QString& path, bool* beforeRequest = nullptr) {
  if (beforeRequest != nullptr) *beforeRequest = true;
  const int folderError = nvr::CreateParentDirectory(path);
  platform::TemporaryFile file;
  if (!file.Create(path, platform::FileAccess::Default)) return folderError != 0 ? folderError : file.Error();
  if (beforeRequest != nullptr) *beforeRequest = false;
  return file.Write("body", 4) && file.Commit() ? 0 : file.Error();
}

// A path of `bytes` bytes whose last name has `lastName` bytes, in folders of
// at most 200 bytes each.
QByteArray PathOf(qsizetype bytes, qsizetype lastName) {
  QByteArray folders;
  const qsizetype before = bytes - lastName - 1;
  while (folders.size() < before) {
    const qsizetype room = before - folders.size();
    // No folder of one byte is left for last: "/" alone would be no name.
    const qsizetype take = room <= 201 ? room - 1 : std::min<qsizetype>(200, room - 3);
    folders += "/" + QByteArray(take, 'f');
  }
  return folders + "/" + QByteArray(lastName, 'n');
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
  EXPECT_EQ(ProcessFileList::RequestFor(7, list.ToRecorderPath(list.LocalPath(1))),
            QStringLiteral("/config/backupdownload?id=7&path=/d/2012/05/13/a.avi"));

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
  EXPECT_EQ(ProcessFileList::RequestFor(3, list.ToRecorderPath(list.At(1).localPath)),
            QStringLiteral("/config/backupdownload?id=3&path=/d/a b/c.avi"));
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

// A recorder path longer than a local path may be in the backup folder, or
// with a name longer than a folder entry may be, is refused for its length,
// and the row keeps no more of it than the path limit.
TEST(ProcessFileList, PathsLongerThanTheLocalLimitsAreRefused) {
  // In "/b", with the 12 bytes a temporary adds to a short name: 4081 bytes.
  const QByteArray longest = PathOf(4081, 10);
  const QByteArray oneMore = PathOf(4082, 10);
  const QByteArray huge = "/" + QByteArray(10 * 1024 * 1024, 'b');
  const QByteArray longestName = "/r/" + QByteArray(255, 'n');
  const QByteArray nameTooLong = "/r/" + QByteArray(256, 'n');
  // Bytes above 0x7F take two in the local name.
  const QByteArray wideName = "/r/" + QByteArray(128, '\xE9');
  const QByteArray fittingWideName = "/r/" + QByteArray(127, '\xE9') + "x";
  ProcessFileList list(QStringLiteral("/b"));
  ASSERT_TRUE(list.AddJobAnswer("to,1\n" + longest + ",1\n" + oneMore + ",2\n" + huge + ",3\n" + longestName +
                                    ",4\n" + nameTooLong + ",5\n" + wideName + ",6\n" + fittingWideName +
                                    ",7\n/r/2012/05/13/RecordList.db,4\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 8);
  const bool safe[] = {true, true, false, false, true, false, false, true};
  for (int row = 1; row < 8; ++row) EXPECT_EQ(list.At(row).safe, safe[row]) << row;
  EXPECT_EQ(list.At(1).recorderPath, QString::fromLatin1(longest));
  EXPECT_LE(list.At(3).localPath.size(), 2 + 4097);
  EXPECT_EQ(list.At(3).size, 3);
  for (const RefusedFile& file : list.RefusedFiles(9)) EXPECT_EQ(file.reason, ENAMETOOLONG) << file.path.left(20).toStdString();
}

// The path limit is the filesystem's: the backup folder's own path and the
// temporary a download writes first count. At the limit the file is saved
// where a download saves it; one byte more is refused when the list is
// loaded, and the filesystem would indeed refuse it for good. A name near
// the folder's name limit gives a temporary of a shortened name.
TEST(ProcessFileList, ThePathLimitCountsTheBackupFolderAndTheTemporary) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString destination = dir.path() + QStringLiteral("/backup201303041200");
  const qsizetype folder = QFile::encodeName(destination).size();
  for (const qsizetype name : {10, 243, 244, 255}) {
    const qsizetype longest = 4095 - folder + name - std::min<qsizetype>(name + 12, 255);
    for (const qsizetype bytes : {longest, longest + 1}) {
      SCOPED_TRACE(testing::Message() << "name " << name << ", path " << bytes);
      const QByteArray path = PathOf(bytes, name);
      ASSERT_EQ(path.size(), bytes);
      ProcessFileList list(destination);
      const int row = list.AddFileRow(QString::fromLatin1(path), 4);
      const bool fits = bytes == longest;
      EXPECT_EQ(list.IsSafe(row), fits);
      bool beforeRequest = false;
      const int error = SaveAsADownload(list.LocalPath(row), &beforeRequest);
      if (fits) {
        EXPECT_EQ(error, 0);
        EXPECT_EQ(Read(list.LocalPath(row)), QByteArray("body"));
      } else {
        EXPECT_EQ(error, ENAMETOOLONG);
        EXPECT_TRUE(beforeRequest);
        EXPECT_TRUE(ProcessFileList::CanNeverBeSaved(error));
        ASSERT_EQ(list.RefusedFiles(9).size(), 1u);
        EXPECT_EQ(list.RefusedFiles(9)[0].reason, ENAMETOOLONG);
      }
    }
    QDir(destination).removeRecursively();
  }
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
  EXPECT_EQ(RefusedPaths(list, 2), QStringList({"/r/dir/", "/r/../x"}));
  EXPECT_EQ(RefusedPaths(list, 9), QStringList({"/r/dir/", "/r/../x", "/r/c/"}));
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

// A row whose local file is an earlier fetched row's is not fetched again:
// the same path listed twice, or written otherwise (carriage returns, "/"
// doubled or missing at the start). It reads as its earlier row does, and is
// no file the backup lacks. Refused rows hold no file; names differing in
// letter case, or a file and a folder of one name, are two files.
TEST(ProcessFileList, ARowWhoseFileAnEarlierRowHasIsNotFetchedAgain) {
  struct Case {
    const char* name;
    std::vector<const char*> paths;
    std::vector<int> earlier;  // per row: the row whose file it has, or -1
  } cases[] = {
      {"the same file twice", {"/rec/x.avi", "/rec/x.avi"}, {-1, 0}},
      {"the first fetched row wins", {"/a", "/b", "/a", "/c", "/b", "/a"}, {-1, -1, 0, -1, 1, 0}},
      {"the local form decides", {"/rec/d\r\rir/x", "rec//dir/x", "/rec/dir\r/x", "//rec/dir/x/"}, {-1, 0, 0, -2}},
      {"a refused row holds no file", {"/rec/dir/", "/rec/dir", "/rec/x\x01", "/rec/x\x01"}, {-2, -1, -2, -2}},
      {"letter case", {"/rec/Dir/x", "/rec/dir/x"}, {-1, -1}},
      {"a file and a folder of one name", {"/rec/dir", "/rec/dir/inner.avi", "/rec/dir2"}, {-1, -1, -1}},
      {"far apart",
       {"/a", "/b", "/c", "/d", "/e", "/f", "/g", "/h", "/i", "/j", "/k", "/l", "/m", "/n", "/o", "/p", "/q", "/r",
        "/s", "/t", "/c", "/u", "/v", "/w", "/x", "/y", "/z", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9",
        "/0", "/a", "/t", "//c"},
       {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2,  -1, -1, -1, -1, -1, -1,
        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0,  19, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.paths.size(), c.earlier.size());
    ProcessFileList list(QStringLiteral("/media/L/backup1"));
    for (const char* path : c.paths) list.AddFileRow(QString::fromLatin1(path), 10);
    // The same rows read from an answer at once give the same rows.
    QByteArray answer = "to,1\n";
    for (std::size_t i = 1; i < c.paths.size(); ++i) answer += QByteArray(c.paths[i]) + ",10\n";
    answer += QByteArray(c.paths[0]) + ",10\n";
    ProcessFileList read(QStringLiteral("/media/L/backup1"));
    ASSERT_TRUE(read.AddJobAnswer(answer, Day(2012, 5, 13), QString()));
    ASSERT_EQ(read.Count(), list.Count());
    for (int row = 0; row < list.Count(); ++row) EXPECT_EQ(read.IsSafe(row), list.IsSafe(row)) << row;
    int refused = 0;
    for (int row = 0; row < list.Count(); ++row) {
      EXPECT_EQ(list.IsSafe(row), c.earlier[row] == -1) << row;
      refused += c.earlier[row] == -2;
    }
    EXPECT_EQ(list.RefusedCount(), refused);
    // The rows fetched arrive in order; those listed before follow them.
    for (int row = list.NextRowToFetch(0); row < list.Count(); row = list.NextRowToFetch(row + 1))
      list.SetStatus(row, ProcessFileList::kComplete);
    for (int row = 0; row < list.Count(); ++row)
      EXPECT_EQ(list.Status(row), c.earlier[row] == -2 ? QStringLiteral("failed") : QStringLiteral("complete")) << row;
  }
}

// Rows of a second answer whose files an earlier answer's rows have are not
// fetched again, and an answer that lists its record list once more keeps
// the first row, the one replaced by the clamped copy. A row listed before
// one that was passed over reads "failed" with it, and only the earlier one
// is named.
TEST(ProcessFileList, RowsListedAgainInAnswersAreNotFetchedAgain) {
  ProcessFileList list(QStringLiteral("/b"));
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/rec/a.avi,1\n/rec/2012/05/13/RecordList.db,5\n/rec/dir,3\n"
                                "/rec/2012/05/13/RecordList.db,5\n",
                                Day(2012, 5, 13), QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 4);  // the record list, a, the record list again, dir
  EXPECT_EQ(list.At(0).clampedSource, QStringLiteral("/t/2012_05_13_RecordList.db"));
  const bool fetched[] = {true, true, false, true};
  for (int row = 0; row < 4; ++row) EXPECT_EQ(list.IsSafe(row), fetched[row]) << row;
  ASSERT_TRUE(list.AddJobAnswer("to,1\n/rec/dir,1\n/rec/c.avi,2\n/rec/2012/05/14/RecordList.db,5\n", Day(2012, 5, 14),
                                QStringLiteral("/t/")));
  ASSERT_EQ(list.Count(), 7);  // and the second record list, dir again, c
  EXPECT_TRUE(list.IsSafe(4));
  EXPECT_FALSE(list.IsSafe(5));
  EXPECT_TRUE(list.IsSafe(6));
  EXPECT_EQ(list.RefusedCount(), 0);

  list.SetStatus(0, ProcessFileList::kComplete);
  list.SetStatus(1, ProcessFileList::kComplete);
  EXPECT_EQ(list.NextRowToFetch(2), 3);
  EXPECT_EQ(list.Status(2), QStringLiteral("complete"));
  list.PassOver(3, ENOTDIR);
  EXPECT_EQ(list.Status(3), QStringLiteral("failed"));
  EXPECT_EQ(list.NextRowToFetch(4), 4);
  list.SetStatus(4, ProcessFileList::kComplete);
  EXPECT_EQ(list.NextRowToFetch(5), 6);
  EXPECT_EQ(list.Status(5), QStringLiteral("failed"));
  ASSERT_EQ(list.RefusedFiles(9).size(), 1u);
  EXPECT_EQ(list.RefusedFiles(9)[0].path, QStringLiteral("/rec/dir"));
  EXPECT_EQ(list.RefusedFiles(9)[0].reason, ENOTDIR);
  EXPECT_FALSE(list.NothingToFetch());
}

// A disk cannot hold a file where another file's folder is, or the other way
// round. Of two such rows the first one listed is saved, and the save of the
// other fails for good, before anything would be asked of the recorder for
// it; so does a row whose folder a file of an earlier backup in the same
// folder holds. Names that merely begin alike do not meet.
TEST(ProcessFileList, AFileAndAFolderOfOneNameFailForGoodBeforeTheRequest) {
  struct Case {
    const char* name;
    std::vector<const char*> present;  // files the backup folder holds already
    std::vector<const char*> paths;
    std::vector<int> errors;
  } cases[] = {
      {"the file, then a file in its folder", {}, {"/rec/dir", "/rec/dir/inner.avi"}, {0, ENOTDIR}},
      {"a file in the folder, then the file", {}, {"/rec/dir/inner.avi", "/rec/dir"}, {0, EISDIR}},
      {"among other files",
       {},
       {"/rec/a.avi", "/rec/dir", "/rec/b.avi", "/rec/dir/inner.avi", "/rec/c.avi", "/rec/dir/more.avi"},
       {0, 0, 0, ENOTDIR, 0, ENOTDIR}},
      {"deeper", {}, {"/rec/a", "/rec/a/b/c.avi", "/rec/a/b"}, {0, ENOTDIR, ENOTDIR}},
      {"deeper, the other way", {}, {"/rec/a/b/c.avi", "/rec/a", "/rec/a/b", "/rec/a/b/d.avi"}, {0, EISDIR, EISDIR, 0}},
      {"names that begin alike", {}, {"/rec/dir", "/rec/dir2/x", "/rec/dir.avi", "/rec/di/r", "/rec/dir-/a"},
       {0, 0, 0, 0, 0}},
      {"an earlier backup's file", {"/rec/dir"}, {"/rec/a.avi", "/rec/dir/x.avi"}, {0, ENOTDIR}},
      {"an earlier backup's folder", {"/rec/dir/x.avi"}, {"/rec/dir"}, {EISDIR}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.paths.size(), c.errors.size());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ProcessFileList list(dir.path() + QStringLiteral("/backup1"));
    for (const char* path : c.present) {
      ASSERT_TRUE(QDir().mkpath(QFileInfo(dir.path() + "/backup1" + path).path()));
      ASSERT_TRUE(Write(dir.path() + "/backup1" + path, "earlier"));
    }
    for (std::size_t i = 0; i < c.paths.size(); ++i) {
      const int row = list.AddFileRow(QString::fromLatin1(c.paths[i]), 10);
      ASSERT_TRUE(list.IsSafe(row));
      bool beforeRequest = false;
      const int error = SaveAsADownload(list.LocalPath(row), &beforeRequest);
      EXPECT_EQ(error, c.errors[i]) << c.paths[i];
      if (error == 0) continue;
      EXPECT_TRUE(beforeRequest) << c.paths[i];
      EXPECT_TRUE(ProcessFileList::CanNeverBeSaved(error)) << c.paths[i];
    }
    for (const char* path : c.present) EXPECT_EQ(Read(dir.path() + "/backup1" + path), QByteArray("earlier"));
  }
}

// A failure a retry can mend (a full disk, a folder the operator may make
// writable, the network) does not pass a row over.
TEST(ProcessFileList, OnlyFailuresNoRetryCanMendPassARowOver) {
  for (const int error : {ENAMETOOLONG, ENOTDIR, EISDIR, EINVAL, EILSEQ}) EXPECT_TRUE(ProcessFileList::CanNeverBeSaved(error)) << error;
  for (const int error : {0, ENOSPC, EDQUOT, EACCES, EPERM, EROFS, EIO, ENOENT, EEXIST})
    EXPECT_FALSE(ProcessFileList::CanNeverBeSaved(error)) << error;
}

// The names the program copy takes at the top of the backup folder are
// refused when it is to run, whatever their letter case, since the disks
// backups often go to do not tell case apart; deeper down, or as part of a
// longer name, they are ordinary names.
TEST(ProcessFileList, TheProgramCopysNamesAreRefusedWhenItIsToRun) {
  const QStringList programNames = {QStringLiteral("setting.ini"), QStringLiteral("Vestrel"), QStringLiteral("images")};
  struct Case {
    const char* path;
    bool refused;
  } cases[] = {{"/setting.ini", true},     {"/SETTING.INI", true},      {"//setting.ini", true},
               {"setting.ini", true},      {"/images", true},           {"/images/logo.bmp", true},
               {"/vestrel", true},         {"/rec/setting.ini", false}, {"/setting.ini.bak", false},
               {"/imagesx/a.avi", false}, {"/rec/images/a.avi", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ProcessFileList with(QStringLiteral("/b"));
    with.SetProgramNames(programNames);
    ProcessFileList without(QStringLiteral("/b"));
    EXPECT_EQ(with.IsSafe(with.AddFileRow(QString::fromLatin1(c.path), 5)), !c.refused);
    EXPECT_TRUE(without.IsSafe(without.AddFileRow(QString::fromLatin1(c.path), 5)));
    if (c.refused) {
      ASSERT_EQ(with.RefusedFiles(9).size(), 1u);
      EXPECT_EQ(with.RefusedFiles(9)[0].reason, RefusedFile::kRefusedProgramName);
    }
  }
}
