// Recorder-side backup jobs: queueing, the job thread, the answer file and the
// day's clamped record list, against the simulated recorder.
#include <QDir>
#include <QFileInfo>

#include <sys/mount.h>

#include <chrono>
#include <thread>

#include "nvr/answer_file.h"
#include "nvr/nvr_messages.h"
#include "platform/core/durable_file.h"
#include "platform/core/files.h"
#include "platform/core/http_client.h"
#include "platform/core/local_time.h"
#include "sim_fixture.h"
#include "tests/support/small_disk.h"

using namespace nvr;
using nvrtest::MessageCatcher;
using nvrtest::Posted;
using nvrtest::SimTest;

namespace {

NvrTime At(int year, int month, int day, int hour, int minute, int second) {
  NvrTime t;
  t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
  return t;
}

QString Bin(const QString& name) { return platform::ExecutableFolder() + name; }

// True when a temporary of the named file lies in the executable's folder.
bool TemporaryOf(const QString& name) {
  for (const QString& entry : QDir(platform::ExecutableFolder()).entryList(QDir::Files | QDir::Hidden))
    if (platform::IsTemporaryNameOf(entry, name)) return true;
  return false;
}

// Each test runs in its own process beside the others, each with a temporary
// executable folder; every test still takes its own queueing time and its own
// day, so that none depends on that folder being empty.
class JobsSim : public SimTest {
 protected:
  void UseClock(int hour, int minute, int second) {
    previousClock = platform::SetLocalClock([=] { return platform::LocalTime{2026, 1, 1, hour, minute, second}; });
  }
  void UseDay(int year, int month, int day) {
    this->day = sim::Date{year, month, day};
    recordList = Bin(QString::asprintf("%.4d_%.2d_%.2d_RecordList.db", year, month, day));
    platform::DeleteFilePath(recordList);
    recorder->SetRecordings(this->day, {{1, 8 * 3600, 9 * 3600, 1},
                                        {2, 9 * 3600, 10 * 3600 + 30 * 60, 1},
                                        {16, 10 * 3600, 12 * 3600, 2}});
  }
  void TearDown() override {
    for (const QString& f : cleanup) platform::DeleteFilePath(f);
    platform::DeleteFilePath(recordList);
    platform::SetLocalClock(previousClock);
  }
  void Remember(const QString& path) { cleanup.push_back(path); }

  static void WaitJobThreadEnd(NvrSession& s) {
    for (int i = 0; i < 200 && s.jobThreadRunning.load() != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  platform::LocalClock previousClock;
  sim::Date day;
  QString recordList;
  std::vector<QString> cleanup;
};

}  // namespace

TEST_F(JobsSim, QueuedJobArrivesWithItsClampedRecordList) {
  UseClock(9, 30, 5);
  UseDay(2012, 5, 3);
  const QString answer = Bin("093005.txt");
  Remember(answer);
  MessageCatcher window;
  NvrSession s;
  PointSession(s);
  ASSERT_EQ(s.Login(), 1);
  s.notifyWindow = window.Id();
  s.jobPending = 1;
  s.QueueNvrBackup(At(2012, 5, 3, 8, 15, 0), At(2012, 5, 3, 10, 5, 0), 0x5);

  Posted done{};
  ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, &done));
  EXPECT_EQ(done.wParam, 93005u);  // the job's id
  EXPECT_EQ(done.lParam, 0);
  WaitJobThreadEnd(s);
  EXPECT_EQ(s.jobPending.load(), 0);
  EXPECT_EQ(s.keepBackupId.load(), 0);
  EXPECT_EQ(window.Count(nvr::WM_BACKUP_ID_READY), 1);

  // What the recorder received, in order.
  const auto all = recorder->Requests();
  std::vector<sim::Request> received;
  for (const auto& r : all) received.push_back(r.request);
  EXPECT_EQ(received, (std::vector<sim::Request>{sim::Request::Login, sim::Request::GetBackupId,
                                                 sim::Request::QueueBackupJob, sim::Request::Download}));
  EXPECT_EQ(recorder->Requests(sim::Request::QueueBackupJob).at(0).target,
            "/config/tarnwell?starttime=2012,05,03,08,15,00&endtime=2012,05,03,10,05,00&channel=5");
  const std::string listPath = recorder->RecordListPath(day);
  EXPECT_EQ(recorder->Requests(sim::Request::Download).at(0).target,
            "/config/backupdownload?id=" + std::to_string(s.backupId.load()) + "&path=" + listPath);

  // The answer file, byte for byte, and the job's total from it.
  const auto job = recorder->LastJob();
  ASSERT_TRUE(job);
  EXPECT_EQ(ReadFile(answer).toStdString(), job->answer);
  EXPECT_EQ(s.GetAnswerFilePath(), answer);
  EXPECT_EQ(s.ReadAnswerTotal(), std::int64_t(job->total));
  BackupJob queued;
  ASSERT_TRUE(s.GetJob(&queued, 0));
  EXPECT_EQ(queued.id, 93005);
  EXPECT_EQ(queued.totalSize, std::int64_t(job->total));
  EXPECT_EQ(queued.channelMask, 0x5u);
  EXPECT_EQ(queued.end.hour, 10);

  // The record list: every time after the job's end comes down to 10:04:59.
  const std::string original = sim::BuildRecordList(day, recorder->RecordingsOn(day));
  const QByteArray clamped = ReadFile(recordList);
  ASSERT_EQ(clamped.size(), qsizetype(original.size()));
  EXPECT_EQ(clamped.left(56).toStdString(), original.substr(0, 56));
  const int count = int((original.size() - 56) / 25);
  ASSERT_GT(count, 0);
  for (int i = 0; i < count; ++i) {
    const std::string before = original.substr(56 + 25 * i + 6, 6);
    const std::string after = clamped.mid(56 + 25 * i + 6, 6).toStdString();
    EXPECT_EQ(after, before > "100500" ? "100459" : before) << "entry " << i;
    EXPECT_EQ(clamped.mid(56 + 25 * i, 6).toStdString(), original.substr(56 + 25 * i, 6));
  }

  // Removing the job deletes its answer file and keeps the record list.
  s.RemoveJob(-1);
  s.RemoveJob(1);
  EXPECT_EQ(s.jobs.Count(), 1);
  s.RemoveJob(0);
  EXPECT_EQ(s.jobs.Count(), 0);
  EXPECT_FALSE(QFileInfo::exists(answer));
  EXPECT_TRUE(QFileInfo::exists(recordList));
  s.RemoveJob(0);
  s.RemoveAllJobs();
}

TEST_F(JobsSim, RequestTextsForAWholeDayAndABlankInTheRecorderPath) {
  sim::Config config;
  config.record_root = "/rec root";
  StartRecorder(config);
  UseClock(0, 0, 7);
  UseDay(2012, 6, 4);
  Remember(Bin("000007.txt"));
  MessageCatcher window;
  NvrSession s;
  PointSession(s);
  s.notifyWindow = window.Id();
  s.QueueNvrBackup(At(2012, 6, 4, 0, 0, 0), At(2012, 6, 4, 24, 0, 0), (1u << 0) | (1u << 15));
  Posted done{};
  ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, &done));
  EXPECT_EQ(done.lParam, 0);
  EXPECT_EQ(recorder->Requests(sim::Request::QueueBackupJob).at(0).target,
            "/config/tarnwell?starttime=2012,06,04,00,00,00&endtime=2012,06,04,23,59,59&channel=32769");
  EXPECT_EQ(
      recorder->Requests(sim::Request::Download).at(0).target,
      "/config/backupdownload?id=" + std::to_string(s.backupId.load()) + "&path=/rec%20root/2012/06/04/RecordList.db");
  EXPECT_TRUE(QFileInfo::exists(Bin("000007.txt")));
  // A job that ends at 24:00 clamps nothing.
  EXPECT_EQ(ReadFile(recordList).toStdString(), sim::BuildRecordList(day, recorder->RecordingsOn(day)));
}

TEST_F(JobsSim, FailedFileListIsReportedAndTheJobDropped) {
  UseClock(1, 2, 3);
  UseDay(2012, 7, 5);
  Remember(Bin("010203.txt"));
  Remember(Bin("010204.txt"));
  struct Case {
    const char* name;
    sim::Request request;
  } cases[] = {{"answer file", sim::Request::QueueBackupJob}, {"record list", sim::Request::Download}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    recorder->AddFault(sim::FaultRule::For(c.request, sim::FaultKind::NotFound));
    MessageCatcher window;
    NvrSession s;
    PointSession(s);
    s.notifyWindow = window.Id();
    s.jobPending = 1;
    s.QueueNvrBackup(At(2012, 7, 5, 8, 0, 0), At(2012, 7, 5, 9, 0, 0), 1);
    Posted done{};
    ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, &done));
    EXPECT_EQ(done.wParam, 10203u);  // the job's id
    EXPECT_EQ(done.lParam, 1);
    // Dropped before the report, so row i stays job i.
    EXPECT_EQ(s.jobs.Count(), 0);
    WaitJobThreadEnd(s);
    EXPECT_EQ(s.jobPending.load(), 0);
    EXPECT_FALSE(QFileInfo::exists(Bin("010203.txt")));
    EXPECT_FALSE(TemporaryOf("010203.txt"));
    EXPECT_FALSE(TemporaryOf(QFileInfo(recordList).fileName()));
    EXPECT_FALSE(QFileInfo::exists(recordList));
  }
}

TEST_F(JobsSim, NoBackupIdQueuesNothing) {
  UseClock(2, 3, 4);
  recorder->SetBackupState(sim::BackupState::DailyBackupRunning);
  NvrSession s;
  PointSession(s);
  s.jobPending = 1;
  s.QueueNvrBackup(At(2012, 8, 6, 8, 0, 0), At(2012, 8, 6, 9, 0, 0), 1);
  EXPECT_EQ(s.jobs.Count(), 0);
  EXPECT_EQ(s.jobThreadRunning.load(), 0);
  EXPECT_EQ(s.jobPending.load(), 1);
  EXPECT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 0u);
  ASSERT_FALSE(boxes.Texts().empty());
  EXPECT_EQ(boxes.Texts().back(), "Daily backup on NVR is running.");
}

TEST_F(JobsSim, JobsQueuedInOneSecondGetTheirOwnFilesAndAreFetchedInTurn) {
  UseClock(3, 4, 5);
  UseDay(2012, 9, 7);
  Remember(Bin("030405.txt"));
  Remember(Bin("030406.txt"));
  MessageCatcher window;
  NvrSession s;
  PointSession(s);
  s.notifyWindow = window.Id();
  s.QueueNvrBackup(At(2012, 9, 7, 8, 0, 0), At(2012, 9, 7, 9, 0, 0), 1);
  s.QueueNvrBackup(At(2012, 9, 7, 10, 0, 0), At(2012, 9, 7, 11, 0, 0), 2);
  for (int i = 0; i < 150 && window.Count(nvr::WM_JOB_FINISHED) < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto posted = window.All();
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> finished;
  for (const Posted& p : posted)
    if (p.msg == nvr::WM_JOB_FINISHED) finished.push_back({p.wParam, p.lParam});
  EXPECT_EQ(finished, (std::vector<std::pair<std::uintptr_t, std::intptr_t>>{{30405, 0}, {30406, 0}}));
  BackupJob first, second;
  ASSERT_TRUE(s.GetJob(&first, 0));
  ASSERT_TRUE(s.GetJob(&second, 1));
  EXPECT_EQ(first.id, 30405);
  EXPECT_EQ(second.id, 30406);
  const auto jobs = recorder->Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(ReadFile(Bin("030405.txt")).toStdString(), jobs[0].answer);
  EXPECT_EQ(ReadFile(Bin("030406.txt")).toStdString(), jobs[1].answer);
  s.RemoveAllJobs();
  EXPECT_FALSE(QFileInfo::exists(Bin("030405.txt")));
  EXPECT_FALSE(QFileInfo::exists(Bin("030406.txt")));
  EXPECT_TRUE(QFileInfo::exists(recordList));
}

TEST_F(JobsSim, LogoutWhileTheJobIsFetchedEndsCleanly) {
  UseClock(4, 5, 6);
  UseDay(2012, 10, 8);
  Remember(Bin("040506.txt"));
  sim::FaultRule slow = sim::FaultRule::For(sim::Request::QueueBackupJob, sim::FaultKind::Delay);
  slow.stall_ms = 3000;
  recorder->AddFault(slow);
  MessageCatcher window;
  NvrSession s;
  PointSession(s);
  ASSERT_EQ(s.Login(), 1);
  s.notifyWindow = window.Id();
  s.jobPending = 1;
  s.QueueNvrBackup(At(2012, 10, 8, 8, 0, 0), At(2012, 10, 8, 9, 0, 0), 1);
  ASSERT_TRUE(recorder->WaitForRequests(1, sim::Request::QueueBackupJob, 5000) ||
              recorder->RequestCount(sim::Request::QueueBackupJob) == 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const auto start = std::chrono::steady_clock::now();
  s.Logout();
  s.RemoveAllJobs();
  WaitJobThreadEnd(s);
  EXPECT_EQ(s.jobThreadRunning.load(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  EXPECT_EQ(window.Count(nvr::WM_JOB_FINISHED), 0);
  EXPECT_EQ(s.jobPending.load(), 0);
  EXPECT_EQ(s.jobs.Count(), 0);
  EXPECT_FALSE(QFileInfo::exists(Bin("040506.txt")));
  EXPECT_FALSE(TemporaryOf("040506.txt"));
  EXPECT_EQ(recorder->RequestCount(sim::Request::Download), 0u);
  recorder->ReleaseStalls();
}

TEST_F(JobsSim, DestroyingTheSessionWhileItsThreadsRun) {
  UseClock(5, 6, 7);
  UseDay(2012, 11, 9);
  Remember(Bin("050607.txt"));
  for (const int waitMs : {0, 700, 1600}) {
    recorder->ClearFaults();
    sim::FaultRule slow = sim::FaultRule::For(sim::Request::QueueBackupJob, sim::FaultKind::StallBody);
    slow.stall_ms = 10000;
    recorder->AddFault(slow);
    auto s = std::make_unique<NvrSession>();
    PointSession(*s);
    s->QueueNvrBackup(At(2012, 11, 9, 8, 0, 0), At(2012, 11, 9, 9, 0, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    const auto start = std::chrono::steady_clock::now();
    s.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500)) << waitMs;
    EXPECT_FALSE(TemporaryOf("050607.txt")) << waitMs;
    recorder->ReleaseStalls();
  }
}

TEST_F(JobsSim, MalformedAnswerFilesFailTheJobAndWriteNothingElsewhere) {
  UseClock(6, 7, 8);
  UseDay(2012, 12, 10);
  Remember(Bin("060708.txt"));
  struct Case {
    const char* name;
    std::string answer;
    size_t recordListRequests;
    std::string path;  // what the Download request asked for
  } cases[] = {
      {"no complete line", "to,100", 0, ""},
      {"last line without a comma", "to,100\n/rec/a.avi,50\nno comma here\n", 1, ""},
      {"a path leaving every folder", "to,100\n/../../../../tmp/evil,50\n", 1, "/../../../../tmp/evil"},
      {"binary junk", std::string("to,\xFF\x00\x01\n\x7F\x80,\n", 11), 1, "\x7F\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    recorder->ClearRequests();
    recorder->AddFault(sim::FaultRule::AnswerWith(sim::Request::QueueBackupJob, 200, c.answer));
    recorder->AddFault(sim::FaultRule::For(sim::Request::Download, sim::FaultKind::NotFound));
    MessageCatcher window;
    NvrSession s;
    PointSession(s);
    s.notifyWindow = window.Id();
    s.QueueNvrBackup(At(2012, 12, 10, 8, 0, 0), At(2012, 12, 10, 9, 0, 0), 1);
    Posted done{};
    ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, &done));
    EXPECT_EQ(done.lParam, 1);
    EXPECT_EQ(s.jobs.Count(), 0);
    const auto eight = recorder->Requests(sim::Request::Download);
    ASSERT_EQ(eight.size(), c.recordListRequests);
    if (!eight.empty()) {
      const std::string prefix = "/config/backupdownload?id=" + std::to_string(s.backupId.load()) + "&path=";
      // The recorder's path goes back unchanged, escaped only where HTTP needs it.
      EXPECT_EQ(eight[0].target, prefix + platform::EncodeRequestPath(QByteArray::fromStdString(c.path)).toStdString());
    }
    EXPECT_FALSE(QFileInfo::exists(Bin("060708.txt")));
    EXPECT_FALSE(QFileInfo::exists(recordList));
    EXPECT_FALSE(QFileInfo::exists("/tmp/evil"));
  }
}

// An answer file or record list that never ends is cut off at the size limit:
// the job fails and nothing of it stays in the program's folder.
TEST_F(JobsSim, EndlessFileListStopsAtTheSizeLimit) {
  UseClock(7, 8, 9);
  UseDay(2013, 1, 11);
  Remember(Bin("070809.txt"));
  constexpr std::uint64_t kLimit = 16u << 20;
  struct Case {
    const char* name;
    sim::Request request;
  } cases[] = {{"answer file", sim::Request::QueueBackupJob}, {"record list", sim::Request::Download}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder->ClearFaults();
    recorder->ClearRequests();
    sim::FaultRule flood = sim::FaultRule::For(c.request, sim::FaultKind::Flood);
    flood.send_bytes = std::int64_t(4 * kLimit);  // ends even where nothing stops it
    recorder->AddFault(flood);
    MessageCatcher window;
    NvrSession s;
    PointSession(s);
    s.notifyWindow = window.Id();
    s.QueueNvrBackup(At(2013, 1, 11, 8, 0, 0), At(2013, 1, 11, 9, 0, 0), 1);
    Posted done{};
    ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, &done));
    EXPECT_EQ(done.wParam, 70809u);  // the job's id
    EXPECT_EQ(done.lParam, 1);
    EXPECT_EQ(s.jobs.Count(), 0);
    WaitJobThreadEnd(s);
    for (int i = 0; i < 100 && recorder->Requests(c.request).at(0).body_sent == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint64_t sent = recorder->Requests(c.request).at(0).body_sent;
    EXPECT_GT(sent, kLimit);
    EXPECT_LT(sent, kLimit + (12u << 20));  // what loopback and the client buffer beyond it
    EXPECT_FALSE(QFileInfo::exists(Bin("070809.txt")));
    EXPECT_FALSE(QFileInfo::exists(recordList));
    EXPECT_FALSE(TemporaryOf("070809.txt"));
    EXPECT_FALSE(TemporaryOf(QFileInfo(recordList).fileName()));
  }
}

// A program folder too full for the clamped record list: the list stays as it
// arrived, nothing else is left there, and the job is reported as failed, never
// as ready with an empty list.
TEST_F(JobsSim, FullProgramFolderFailsTheClampAndKeepsTheList) {
  std::string why;
  auto disk = test_support::SmallDisk::Mount(512 * 1024, &why);
  if (!disk) GTEST_SKIP() << why;
  // For this test process alone (its own mount namespace), the executable's
  // folder is the small disk.
  const QByteArray bin = QFile::encodeName(platform::ExecutableFolder().chopped(1));
  ASSERT_EQ(::mount(disk->Path().c_str(), bin.constData(), nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
  struct Unmount {
    QByteArray at;
    ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
  } unmount{bin};

  UseClock(8, 9, 10);
  UseDay(2013, 2, 12);
  // Small lists and large ones meet a full disk in different places.
  for (const int count : {3, 2000}) {
    SCOPED_TRACE(count);
    std::vector<sim::Recording> recordings;
    for (int i = 0; i < count; ++i) recordings.push_back({1 + i % 16, 8 * 3600 + i, 9 * 3600 + 10 + i, 1});
    const std::string list = sim::BuildRecordList(day, recordings);
    recorder->AddFileContent(recorder->RecordListPath(day), list);
    // Room for the answer file and the record list, not for a second copy of the list.
    const std::size_t page = disk->PageBytes(), listPages = (list.size() + page - 1) / page;
    ASSERT_TRUE(disk->Fill(page + listPages * page));

    MessageCatcher window;
    NvrSession s;
    PointSession(s);
    s.notifyWindow = window.Id();
    s.QueueNvrBackup(At(2013, 2, 12, 8, 0, 0), At(2013, 2, 12, 8, 30, 0), 1);
    Posted done{};
    ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, &done));
    EXPECT_EQ(done.wParam, 80910u);  // the job's id
    EXPECT_EQ(done.lParam, 1);
    EXPECT_EQ(s.jobs.Count(), 0);
    WaitJobThreadEnd(s);
    EXPECT_EQ(ReadFile(recordList).toStdString(), list);
    EXPECT_EQ(QDir(platform::ExecutableFolder()).entryList(QDir::Files | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(recordList).fileName()});
    platform::DeleteFilePath(recordList);
    disk->Unfill();
  }
}

// A job thread that ends while a backup runs leaves the backup's renewals on;
// once the backup has ended, the next one that ends clears the flag again.
TEST_F(JobsSim, AJobThreadEndingDuringABackupLeavesTheKeepFlagSet) {
  UseClock(7, 8, 9);
  UseDay(2013, 1, 11);
  Remember(Bin("070809.txt"));
  Remember(Bin("070810.txt"));
  MessageCatcher window;
  NvrSession s;
  PointSession(s);
  s.notifyWindow = window.Id();
  s.BeginBackup();
  EXPECT_EQ(s.keepBackupId.load(), 1);
  s.QueueNvrBackup(At(2013, 1, 11, 8, 0, 0), At(2013, 1, 11, 9, 0, 0), 1);
  ASSERT_TRUE(window.WaitFor(nvr::WM_JOB_FINISHED, nullptr));
  WaitJobThreadEnd(s);
  EXPECT_EQ(s.keepBackupId.load(), 1);
  const size_t renewals = recorder->RequestCount(sim::Request::RenewBackupId);
  EXPECT_EQ(s.RenewBackupId(), 1);
  EXPECT_EQ(recorder->RequestCount(sim::Request::RenewBackupId), renewals + 1);

  s.EndBackup();
  s.QueueNvrBackup(At(2013, 1, 11, 10, 0, 0), At(2013, 1, 11, 11, 0, 0), 1);
  for (int i = 0; i < 150 && window.Count(nvr::WM_JOB_FINISHED) < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  WaitJobThreadEnd(s);
  EXPECT_EQ(s.keepBackupId.load(), 0);
}
