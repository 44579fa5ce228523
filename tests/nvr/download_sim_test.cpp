// The download worker against the simulated recorder: every way a run can end.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <sys/stat.h>
#include <thread>

#include "nvr/download_task.h"
#include "nvr/nvr_messages.h"
#include "platform/core/durable_file.h"
#include "sim_fixture.h"
#include "tests/support/small_disk.h"

using namespace nvr;
using nvrtest::MessageCatcher;
using nvrtest::SimTest;

namespace {

class DownloadSim : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    backupId = GrantBackupId();
    ASSERT_GE(backupId, 0);
    recorder->AddFile("/rec/2012/05/03/ch01.avi", 200000);
    target = dir.path() + "/out/ch01.avi";
  }

  void Prepare(DownloadTask& task, const QString& recorderPath, int port = 0) {
    task.SetConnection("127.0.0.1", "admin", "admin", port ? port : Port(), 0);
    task.SetLocalPath(target);
    task.SetUrl(QStringLiteral("/config/backupdownload?id=%1&path=").arg(backupId) + recorderPath);
  }

  // What a failed run must leave at the target: "previous contents".
  void WriteOldTarget() {
    QDir().mkpath(QFileInfo(target).path());
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(old.write("previous contents"), 17);
  }

  // Runs to the end the way the job thread waits: polling the running flag.
  static void RunToEnd(DownloadTask& task) {
    ASSERT_TRUE(task.Start());
    while (task.running.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    task.Join();
  }

  // The temporaries of the target that lie beside it.
  QStringList Temporaries() const {
    const QFileInfo info(target);
    QStringList out;
    for (const QString& name : QDir(info.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
      if (platform::IsTemporaryNameOf(name, info.fileName())) out << name;
    return out;
  }
  // Nothing but the target (and what the test put there) is left beside it.
  bool NoPartialFile() const {
    const QFileInfo info(target);
    for (const QString& name : QDir(info.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
      if (name.startsWith(info.fileName() + ".")) return false;
    return true;
  }

  QTemporaryDir dir;
  QString target;
  int backupId = -1;
};

}  // namespace

// A recorder's answer cut short after five bytes of the body, announcing a
// length that is written raw.
sim::FaultRule ShortBodyAnnouncing(std::string length) {
  sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort);
  rule.send_bytes = 5;
  rule.content_length = std::move(length);
  return rule;
}

TEST_F(DownloadSim, OutcomesLeaveOnlyCompleteFiles) {
  // `broken`: the body broke off after the headers, which the owner tells
  // the operator as a network failure.
  struct Case {
    const char* name;
    std::optional<sim::FaultRule> fault;
    int state;
    int status;
    bool broken;
  } cases[] = {
      {"complete", std::nullopt, kDownloadComplete, 200, false},
      {"not found", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::NotFound), kDownloadRunningOrFailed,
       404, false},
      {"error page",
       sim::FaultRule::AnswerWith(sim::Request::Download, 500, "<html><body>Internal error</body></html>"),
       kDownloadRunningOrFailed, 500, false},
      {"unavailable", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::Unavailable),
       kDownloadRunningOrFailed, 503, false},
      {"empty body", sim::FaultRule::AnswerWith(sim::Request::Download, 200, ""), kDownloadRunningOrFailed, 200, false},
      {"cut short", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort), kDownloadRunningOrFailed,
       200, true},
      {"chunked, last chunk missing", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShortChunked),
       kDownloadRunningOrFailed, 200, true},
      {"closed without answer", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CloseWithoutAnswer),
       kDownloadRunningOrFailed, 0, false},
      // A length the client cannot hold is no length to read to the close by.
      {"length above 2^63-1", ShortBodyAnnouncing("99999999999999999999"), kDownloadRunningOrFailed, 200, true},
      {"length of 2^63", ShortBodyAnnouncing("9223372036854775808"), kDownloadRunningOrFailed, 200, true},
      {"length above 2^64", ShortBodyAnnouncing("184467440737095516160"), kDownloadRunningOrFailed, 200, true},
      {"length of 2^63-1", ShortBodyAnnouncing("9223372036854775807"), kDownloadRunningOrFailed, 200, true},
      // libcurl refuses these answers outright.
      {"length not a number", ShortBodyAnnouncing("five"), kDownloadRunningOrFailed, 0, false},
      {"negative length", ShortBodyAnnouncing("-1"), kDownloadRunningOrFailed, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    if (c.fault) recorder->AddFault(*c.fault);
    // What a failed run finds at the target stays exactly as it was.
    ASSERT_NO_FATAL_FAILURE(WriteOldTarget());

    MessageCatcher window;
    DownloadTask task;
    task.notifyWindow = window.Id();
    Prepare(task, "/rec/2012/05/03/ch01.avi");
    RunToEnd(task);
    EXPECT_EQ(task.state.load(), c.state);
    EXPECT_EQ(task.httpStatus.load(), c.status);
    EXPECT_EQ(task.bodyBroken.load() != 0, c.broken);
    EXPECT_EQ(task.fileError.load(), 0);
    EXPECT_EQ(task.running.load(), 0);
    EXPECT_TRUE(NoPartialFile());
    if (c.state == kDownloadComplete)
      EXPECT_EQ(ReadFile(target), Content("/rec/2012/05/03/ch01.avi", 200000));
    else
      EXPECT_EQ(ReadFile(target), QByteArray("previous contents"));
    ASSERT_TRUE(window.WaitFor(nvr::WM_DOWNLOAD_FINISHED, nullptr, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(window.Count(nvr::WM_DOWNLOAD_FINISHED), 1);
  }
}

// `bodyBytes` of the file under two Content-Length headers written raw,
// `first` then `second` (either may be empty), then the close.
sim::FaultRule AnnouncingLengths(std::string first, std::string second, int64_t bodyBytes) {
  sim::FaultRule rule = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::CutShort);
  rule.send_bytes = bodyBytes;
  rule.content_length = std::move(first);
  rule.second_content_length = std::move(second);
  return rule;
}

// An answer whose Content-Length values differ is malformed, whichever of them
// its body matches; the same value twice is one length.
TEST_F(DownloadSim, LengthsThatDisagreeGiveNoFile) {
  struct Case {
    const char* name;
    sim::FaultRule fault;
    int state;
    int bytes;  // of the file, when complete
  } cases[] = {
      {"100000 then 22, 22 bytes", AnnouncingLengths("100000", "22", 22), kDownloadRunningOrFailed, 0},
      {"22 then 100000, 22 bytes", AnnouncingLengths("22", "100000", 22), kDownloadRunningOrFailed, 0},
      {"22 then 200000, the whole file", AnnouncingLengths("22", "200000", 200000), kDownloadRunningOrFailed, 0},
      {"list 22, 23, 22 bytes", AnnouncingLengths("22, 23", "", 22), kDownloadRunningOrFailed, 0},
      {"list 22, 22 then 23, 22 bytes", AnnouncingLengths("22, 22", "23", 22), kDownloadRunningOrFailed, 0},
      {"22 twice", AnnouncingLengths("22", "22", 22), kDownloadComplete, 22},
      {"list 22, 22", AnnouncingLengths("22, 22", "", 22), kDownloadComplete, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    recorder->AddFault(c.fault);
    ASSERT_NO_FATAL_FAILURE(WriteOldTarget());

    DownloadTask task;
    Prepare(task, "/rec/2012/05/03/ch01.avi");
    RunToEnd(task);
    EXPECT_EQ(task.state.load(), c.state);
    EXPECT_EQ(task.httpStatus.load(), 200);
    // A refused body counts as broken off, as a cut one does.
    EXPECT_EQ(task.bodyBroken.load(), c.state == kDownloadComplete ? 0 : 1);
    EXPECT_TRUE(NoPartialFile());
    EXPECT_TRUE(Temporaries().isEmpty());
    if (c.state == kDownloadComplete)
      EXPECT_EQ(ReadFile(target), Content("/rec/2012/05/03/ch01.avi", size_t(c.bytes)));
    else
      EXPECT_EQ(ReadFile(target), QByteArray("previous contents"));
  }
}

TEST_F(DownloadSim, NoRecorderListening) {
  const int port = Port();
  recorder->Stop();
  DownloadTask task;
  Prepare(task, "/rec/2012/05/03/ch01.avi", port);
  RunToEnd(task);
  EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
  EXPECT_EQ(task.httpStatus.load(), 0);
  EXPECT_FALSE(QFileInfo::exists(target));
  EXPECT_TRUE(NoPartialFile());
}

TEST_F(DownloadSim, PathWithABlankFoldersAndRerun) {
  recorder->AddFile("/rec/my clip.avi", 5000);
  target = dir.path() + "/a/b/c/my clip.avi";  // folders that do not exist yet
  DownloadTask task;
  Prepare(task, "/rec/my clip.avi");
  RunToEnd(task);
  EXPECT_EQ(task.state.load(), kDownloadComplete);
  EXPECT_EQ(ReadFile(target), Content("/rec/my clip.avi", 5000));
  const auto eight = recorder->Requests(sim::Request::Download);
  ASSERT_EQ(eight.size(), 1u);
  EXPECT_EQ(eight[0].target, "/config/backupdownload?id=" + std::to_string(backupId) + "&path=/rec/my%20clip.avi");

  // A second run starts afresh: state and status come from that run alone.
  recorder->AddFault(sim::FaultRule::For(sim::Request::Download, sim::FaultKind::NotFound, 1));
  RunToEnd(task);
  EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
  EXPECT_EQ(task.httpStatus.load(), 404);
  EXPECT_EQ(ReadFile(target), Content("/rec/my clip.avi", 5000));
}

TEST_F(DownloadSim, PauseAndStopDuringTheBody) {
  for (const bool pause : {true, false}) {
    SCOPED_TRACE(pause ? "pause" : "stop");
    recorder->ClearFaults();
    sim::FaultRule stall = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::StallBody);
    stall.send_bytes = 100000;
    stall.stall_ms = 20000;
    recorder->AddFault(stall);
    auto task = std::make_unique<DownloadTask>();
    Prepare(*task, "/rec/2012/05/03/ch01.avi");
    ASSERT_TRUE(task->Start());
    EXPECT_FALSE(task->Start());  // a run is going: nothing more starts
    EXPECT_EQ(task->running.load(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // past the request pause, into the body
    EXPECT_EQ(Temporaries().size(), 1);
    const auto start = std::chrono::steady_clock::now();
    if (pause) {
      task->state = kDownloadPauseRequested;
      while (task->running.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      task->Join();
      EXPECT_EQ(task->state.load(), kDownloadPauseRequested);
    } else {
      task->Stop();
      EXPECT_EQ(task->state.load(), kDownloadRunningOrFailed);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(task->bodyBroken.load(), 0);  // the owner's own doing
    task.reset();  // the owner lets the task go at once
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(NoPartialFile());
    recorder->ReleaseStalls();
  }
}

TEST_F(DownloadSim, PauseBeforeTheFirstRead) {
  DownloadTask task;
  Prepare(task, "/rec/2012/05/03/ch01.avi");
  ASSERT_TRUE(task.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // inside the pause before the request
  task.state = kDownloadPauseRequested;
  while (task.running.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  task.Join();
  EXPECT_EQ(task.state.load(), kDownloadPauseRequested);
  EXPECT_FALSE(QFileInfo::exists(target));
  EXPECT_TRUE(NoPartialFile());
}

TEST_F(DownloadSim, StalledRecorderCostsTheReceiveTimeOut) {
  sim::FaultRule stall = sim::FaultRule::For(sim::Request::Download, sim::FaultKind::StallBody);
  stall.send_bytes = 50000;
  stall.stall_ms = 20000;
  recorder->AddFault(stall);
  DownloadTask task;
  Prepare(task, "/rec/2012/05/03/ch01.avi");
  const auto start = std::chrono::steady_clock::now();
  RunToEnd(task);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(5000));
  EXPECT_LT(took, std::chrono::milliseconds(8000));
  EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
  EXPECT_EQ(task.httpStatus.load(), 200);
  EXPECT_EQ(task.bodyBroken.load(), 1);
  EXPECT_FALSE(QFileInfo::exists(target));
  EXPECT_TRUE(NoPartialFile());
}

// The recorder may list a file whose name is another's plus ".part": the
// temporary of one download must never be the other file.
TEST_F(DownloadSim, NamesThatLookLikeTemporariesAreBackedUpWhole) {
  const std::string base = "/rec/2012/05/03/x.avi";
  recorder->AddFile(base, 150000);
  recorder->AddFile(base + ".part", 90000);
  const std::vector<std::string> orders[] = {{base + ".part", base}, {base, base + ".part"}};
  int round = 0;
  for (const auto& order : orders) {
    SCOPED_TRACE(order.front());
    const QString folder = dir.path() + QStringLiteral("/order%1").arg(round++);
    for (const std::string& path : order) {
      target = folder + "/" + QFileInfo(QString::fromStdString(path)).fileName();
      DownloadTask task;
      Prepare(task, QString::fromStdString(path));
      RunToEnd(task);
      EXPECT_EQ(task.state.load(), kDownloadComplete);
    }
    EXPECT_EQ(ReadFile(folder + "/x.avi"), Content(base, 150000));
    EXPECT_EQ(ReadFile(folder + "/x.avi.part"), Content(base + ".part", 90000));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
  }
}

// Every name the backup folder takes (255 bytes) arrives whole, however little
// room that leaves for its temporary's name; a longer one fails before the
// recorder is asked for it. The recorder's bytes are Latin-1, so "\xE9" takes
// two bytes on the disk.
TEST_F(DownloadSim, EveryNameThatFitsArrivesWholeAndNoLongerOne) {
  const QString folder = dir.path() + "/long";
  ASSERT_TRUE(QDir().mkpath(folder));
  for (const int bytes : {243, 244, 250, 255, 256}) {
    for (const bool latin1 : {false, true}) {
      const std::string tail = latin1 ? std::string((bytes - 5) % 2, 'a') + "x.avi" : ".avi";
      const std::string file = latin1 ? std::string((bytes - tail.size()) / 2, '\xE9') + tail
                                      : std::string(bytes - tail.size(), 'a') + tail;
      const QString name = QString::fromLatin1(file.data(), qsizetype(file.size()));
      SCOPED_TRACE(std::to_string(bytes) + (latin1 ? " bytes, Latin-1" : " bytes, ASCII"));
      ASSERT_EQ(QFile::encodeName(name).size(), bytes);
      const std::string recorderPath = "/rec/long/" + file;
      recorder->AddFile(recorderPath, 40000);
      recorder->ClearRequests();
      target = folder + "/" + name;
      DownloadTask task;
      Prepare(task, QString::fromLatin1(recorderPath.data(), qsizetype(recorderPath.size())));
      RunToEnd(task);
      const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
      if (bytes <= 255) {
        EXPECT_EQ(task.state.load(), kDownloadComplete);
        EXPECT_EQ(ReadFile(target), Content(recorderPath, 40000));
        EXPECT_EQ(left, QStringList{name});
      } else {
        EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
        EXPECT_TRUE(left.isEmpty());
        EXPECT_TRUE(recorder->Requests(sim::Request::Download).empty());
      }
      QFile::remove(target);
    }
  }
}

// A size limit ends the download as soon as the body passes it: nothing is
// kept, and the recorder is not read to its end.
TEST_F(DownloadSim, SizeLimitEndsTheDownloadOnceItIsPassed) {
  constexpr std::int64_t kLimit = 1 << 20;
  recorder->AddFile("/rec/limit/exact.bin", kLimit);
  recorder->AddFile("/rec/limit/over.bin", kLimit + 1);
  struct Case {
    const char* name;
    std::string path;
    std::optional<sim::FaultRule> fault;
    int state;
  } cases[] = {
      {"exactly the limit", "/rec/limit/exact.bin", std::nullopt, kDownloadComplete},
      {"one byte over", "/rec/limit/over.bin", std::nullopt, kDownloadRunningOrFailed},
      {"endless body", "/rec/limit/exact.bin", sim::FaultRule::For(sim::Request::Download, sim::FaultKind::Flood),
       kDownloadRunningOrFailed},
  };
  // Flood for at most 64 times the limit, so an unlimited download still ends.
  cases[2].fault->send_bytes = 64 * kLimit;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    recorder->ClearRequests();
    if (c.fault) recorder->AddFault(*c.fault);
    target = dir.path() + "/limit/" + c.name;
    DownloadTask task;
    task.SetSizeLimit(kLimit);
    Prepare(task, QString::fromStdString(c.path));
    RunToEnd(task);
    EXPECT_EQ(task.state.load(), c.state);
    EXPECT_EQ(QFileInfo::exists(target), c.state == kDownloadComplete);
    EXPECT_TRUE(NoPartialFile());
    if (c.fault) {
      // The recorder notes what it wrote once the client has gone.
      for (int i = 0; i < 100 && recorder->Requests(sim::Request::Download).at(0).body_sent == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const auto eight = recorder->Requests(sim::Request::Download);
      ASSERT_EQ(eight.size(), 1u);
      EXPECT_GT(eight[0].body_sent, 0u);
      // What the loopback socket and the client buffer hold beyond the limit, no more.
      EXPECT_LT(eight[0].body_sent, std::uint64_t(24 * kLimit));
    }
  }
}

// A disk that fills up, or a folder that cannot be written, fails the download
// and leaves the file that was there exactly as it was.
TEST_F(DownloadSim, FullOrReadOnlyDiskFailsAndKeepsTheTarget) {
  std::string why;
  auto disk = test_support::SmallDisk::Mount(1 << 20, &why);
  if (!disk) GTEST_SKIP() << why;
  recorder->AddFile("/rec/big.avi", 3 << 20);
  const QString folder = QString::fromStdString(disk->Path());
  target = folder + "/big.avi";
  ASSERT_NO_FATAL_FAILURE(WriteOldTarget());
  for (const bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only" : "full");
    ASSERT_TRUE(disk->SetReadOnly(readOnly));
    DownloadTask task;
    Prepare(task, "/rec/big.avi");
    RunToEnd(task);
    EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
    EXPECT_EQ(task.httpStatus.load(), readOnly ? 0 : 200);
    // Why, for the operator: the disk's own answer.
    EXPECT_EQ(task.fileError.load(), readOnly ? EROFS : ENOSPC);
    EXPECT_EQ(task.bodyBroken.load(), 0);
    EXPECT_EQ(ReadFile(target), QByteArray("previous contents"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"big.avi"});
  }
  ASSERT_TRUE(disk->SetReadOnly(false));
}

// The target's folder removed while the body arrives: the run fails and
// nothing is made again in its place.
TEST_F(DownloadSim, FolderRemovedMidWriteFails) {
  recorder->SetDownloadRate(200000);  // the 200000-byte file takes about a second
  target = dir.path() + "/gone/ch01.avi";
  DownloadTask task;
  Prepare(task, "/rec/2012/05/03/ch01.avi");
  ASSERT_TRUE(task.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(900));  // past the request pause, into the body
  ASSERT_EQ(Temporaries().size(), 1);
  ASSERT_TRUE(QDir(dir.path() + "/gone").removeRecursively());
  while (task.running.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  task.Join();
  EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
  EXPECT_EQ(task.httpStatus.load(), 200);
  EXPECT_EQ(task.fileError.load(), ENOENT);
  EXPECT_FALSE(QFileInfo::exists(dir.path() + "/gone"));
}

// A folder for the file that cannot be made is the reason given, not the
// missing folder it leaves.
TEST_F(DownloadSim, AFolderThatCannotBeMadeIsTheReason) {
  const QString locked = dir.path() + "/locked";
  ASSERT_TRUE(QDir().mkpath(locked));
  ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
  target = locked + "/sub/ch01.avi";
  DownloadTask task;
  Prepare(task, "/rec/2012/05/03/ch01.avi");
  {
    // Root makes folders where permissions forbid it; the worker, started here, may not.
    test_support::WithoutFileOverride asAUser;
    RunToEnd(task);
  }
  ::chmod(QFile::encodeName(locked).constData(), 0755);
  EXPECT_EQ(task.state.load(), kDownloadRunningOrFailed);
  EXPECT_EQ(task.fileError.load(), EACCES);
  EXPECT_TRUE(recorder->Requests(sim::Request::Download).empty());
}
