// The backup progress dialog against the simulated recorder: a job queued with
// the session is downloaded file by file into a backup folder, with pause and
// resume, failed files, refused paths and cancel.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <thread>

#include "app/backup_messages.h"
#include "app/process_dialog.h"
#include "nvr/answer_file.h"
#include "nvr/nvr_messages.h"
#include "platform/core/files.h"
#include "platform/core/local_time.h"
#include "sim_recorder.h"
#include "tests/app/box_recorder.h"
#include "tests/app/run_dialog.h"
#include "tests/nvr/sim_fixture.h"
#include "tests/support/small_disk.h"
#include "tests/ui/qt_test_app.h"

using namespace std::chrono_literals;

namespace {

const QString kShots = QStringLiteral(TARNWELL_SCREENSHOT_DIR);

// Runs the window's events until the condition holds, resting between rounds
// so that a waiting test leaves the processor to the workers it waits for.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
}

void Idle(std::chrono::milliseconds span) {
  WaitUntil([] { return false; }, span);
}


nvr::NvrTime At(int year, int month, int day, int hour, int minute, int second) {
  nvr::NvrTime t;
  t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
  return t;
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

// Holds the window thread, so no report is handled, until the worker's run on
// that row has ended with its file in place.
bool ArrivedButNotYetHandled(const CProcessDialog& d, int row) {
  for (int i = 0; i < 2000; ++i) {
    if (d.Task().rowIndex == row && d.Task().state.load() == nvr::kDownloadComplete && !d.Task().IsThreadActive())
      return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

// A record list whose header announces more entries than the file holds.
QByteArray ShortRecordList(const QByteArray& whole) {
  return whole.size() > 56 + 25 ? whole.left(56 + 25) : QByteArray(56, '\0');
}

QByteArray Content(const std::string& path, std::uint64_t size) {
  const std::string bytes = sim::ContentBytes(path, 0, size);
  return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// Every program beside this one shares the executable's folder, so each test
// queues its job at its own time of day (its answer file's name) for its own day.
struct JobSpec {
  int hour, minute, second;
  sim::Date day;
};

class ProcessDialogSim : public ::testing::Test {
 protected:
  void StartRecorder(sim::Config config = {}) {
    recorder = std::make_unique<sim::SimRecorder>(std::move(config));
    ASSERT_TRUE(recorder->Start()) << recorder->Error();
    session.SetServer("Sim", "127.0.0.1", "admin", "admin", recorder->Port(), 0);
  }

  // Queues one job for the day with these files and waits for its answer file
  // and clamped record list, as the main window does before it offers a backup.
  void QueueJob(const JobSpec& wanted, std::vector<sim::FileEntry> files) {
    testing_ui::App();
    day = wanted.day;
    answerFile = platform::ExecutableFolder() + QString::asprintf("%.2d%.2d%.2d.txt", wanted.hour, wanted.minute, wanted.second);
    clampedList = platform::ExecutableFolder() +
                  QString::asprintf("%.4d_%.2d_%.2d_RecordList.db", day.year, day.month, day.day);
    platform::DeleteFilePath(clampedList);
    recorder->SetRecordings(day, {{1, 8 * 3600, 9 * 3600, 1}, {2, 9 * 3600, 11 * 3600, 1}, {3, 10 * 3600, 12 * 3600, 2}});
    recorder->SetJobFiles(files);
    const platform::LocalClock before = platform::SetLocalClock(
        [=] { return platform::LocalTime{2026, 1, 1, wanted.hour, wanted.minute, wanted.second}; });
    if (!clockSet) previousClock = before;
    clockSet = true;
    ASSERT_EQ(session.Login(), 1);
    session.QueueNvrBackup(At(day.year, day.month, day.day, 8, 0, 0), At(day.year, day.month, day.day, 10, 0, 0), 0x7);
    for (int i = 0; i < 300 && session.jobThreadRunning.load() != 0; ++i) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(session.jobs.Count(), 1);
    ASSERT_TRUE(QFileInfo::exists(answerFile));
    ASSERT_TRUE(QFileInfo::exists(clampedList));
    const auto queued = recorder->LastJob();
    ASSERT_TRUE(queued);
    job = *queued;
    recordListPath = job.record_list.path;
    // The clamp changed the list, so the backup's copy tells which one it got.
    ASSERT_NE(Read(clampedList).toStdString(), sim::BuildRecordList(day, recorder->RecordingsOn(day)));
    recorder->ClearRequests();
  }

  void TearDown() override {
    session.RemoveAllJobs();
    platform::DeleteFilePath(answerFile);
    platform::DeleteFilePath(clampedList);
    if (clockSet) platform::SetLocalClock(previousClock);
  }

  void Prepare(CProcessDialog& dlg) {
    dlg.m_strDestination = destination;
    dlg.m_pSession = &session;
    dlg.m_rowQueue.Push(std::make_unique<int>(0));
    dlg.m_animationPath = QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/CopyFiles.avi");
    dlg.m_nRestBetweenFilesMs = 100;
  }

  // The backup folder, new, on the small disk or in the test's own folder;
  // false (and why, printed) when the case needs a disk there is not.
  bool PlaceBackupFolder(const test_support::SmallDisk* disk, bool onSmallDisk, const std::string& why,
                         const char* caseName) {
    if (onSmallDisk && disk == nullptr) {
      std::cout << "skipped \"" << caseName << "\": " << why << "\n";
      return false;
    }
    destination = (onSmallDisk ? QString::fromStdString(disk->Path()) : dir.path()) + QStringLiteral("/backup201303041200");
    QDir(destination).removeRecursively();
    return true;
  }

  // Runs the dialog until it ends by itself (30 s at most); a given `stopped`
  // tells whether it waited for "Resume" on the way.
  int RunUntilItEnds(CProcessDialog& dlg, bool* stopped = nullptr) {
    bool waited = false;
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      EXPECT_TRUE(WaitUntil([&] {
        waited = waited || Caption(d) == QStringLiteral("Resume");
        return d.HasEnded();
      }, 30s));
    });
    if (stopped != nullptr) *stopped = waited;
    return result;
  }

  QString Local(const std::string& recorderPath) const { return destination + QString::fromStdString(recorderPath); }
  static QString Status(CProcessDialog& d, int row) { return d.FileList()->GetItemText(row, 3); }
  static QString Caption(CProcessDialog& d) { return d.PauseResumeButton()->text(); }

  // Requests of file downloads for that recorder path.
  std::vector<sim::RequestRecord> DownloadsOf(const std::string& recorderPath) const {
    std::vector<sim::RequestRecord> out;
    for (const auto& r : recorder->Requests(sim::Request::Download))
      if (r.target.size() >= recorderPath.size() &&
          r.target.compare(r.target.size() - recorderPath.size(), recorderPath.size(), recorderPath) == 0)
        out.push_back(r);
    return out;
  }

  bool NoPartialFiles() const {
    for (const QFileInfo& e : QDir(dir.path()).entryInfoList(QDir::Files | QDir::NoDotAndDotDot))
      if (e.fileName().endsWith(QStringLiteral(".part"))) return false;
    std::function<bool(const QString&)> clean = [&](const QString& folder) {
      for (const QFileInfo& e : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (e.isDir() && !clean(e.filePath())) return false;
        if (e.fileName().endsWith(QStringLiteral(".part"))) return false;
      }
      return true;
    };
    return clean(dir.path());
  }

  std::vector<QString> BoxTexts() const {
    std::vector<QString> texts;
    for (const auto& b : boxes.boxes) texts.push_back(b.text);
    return texts;
  }
  // The text of the last box shown; none when no box was shown, so a missing
  // box fails the comparison instead of the test program.
  QString LastBoxText() const { return boxes.boxes.empty() ? QStringLiteral("(no box)") : boxes.boxes.back().text; }

  std::unique_ptr<sim::SimRecorder> recorder;
  nvr::NvrSession session;
  QTemporaryDir dir;
  QString destination = dir.path() + QStringLiteral("/backup201303041200");
  sim::Date day;
  sim::Job job;
  std::string recordListPath;
  QString answerFile, clampedList;
  platform::LocalClock previousClock;
  bool clockSet = false;
  BoxRecorder boxes;
};

const std::vector<sim::FileEntry> kThreeFiles = {
    {"/rec/2013/03/04/ch01/080000.avi", 1023}, {"/rec/2013/03/04/ch02/090000.avi", 1024 * 1024},
    {"/rec/2013/03/04/ch03/100000.avi", 70000}};

}  // namespace

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

TEST_F(ProcessDialogSim, WholeJobArrivesWithTheClampedRecordList) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 1, {2013, 3, 4}}, kThreeFiles));
  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_NE(d.FileList(), nullptr);
    ASSERT_EQ(d.FileList()->GetItemCount(), 4);
    EXPECT_EQ(d.Window()->windowTitle(), QStringLiteral("Backup"));
    // The record list first, then the files in the answer's order.
    const QString rows[4][3] = {
        {"1", Local(recordListPath), ProcessFileList::SizeText(std::int64_t(job.record_list.size))},
        {"2", Local(kThreeFiles[0].path), "1023 Bytes"},
        {"3", Local(kThreeFiles[1].path), "1.00 MB"},
        {"4", Local(kThreeFiles[2].path), "0.07 MB"}};
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(d.FileList()->GetItemText(r, c), rows[r][c]) << r << "," << c;
    EXPECT_EQ(Status(d, 0), QStringLiteral("download"));
    EXPECT_EQ(Caption(d), QStringLiteral("Pause"));
    ASSERT_NE(d.Animation(), nullptr);
    EXPECT_TRUE(d.Animation()->IsPlaying());
    EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 30s));
  });
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("The backup procedure is finished!")});
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Message"));

  for (int r = 0; r < 4; ++r) EXPECT_EQ(dlg.Files().At(r).status, QStringLiteral("complete")) << r;
  // One request per file, in list order, each with the session's backup id.
  const auto downloads = recorder->Requests(sim::Request::Download);
  ASSERT_EQ(downloads.size(), 4u);
  const std::string prefix = "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=";
  EXPECT_EQ(downloads[0].target, prefix + recordListPath);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(downloads[std::size_t(i) + 1].target, prefix + kThreeFiles[std::size_t(i)].path);
  for (const auto& f : kThreeFiles) EXPECT_EQ(Read(Local(f.path)), Content(f.path, f.size)) << f.path;
  EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
  EXPECT_TRUE(NoPartialFiles());
  // The job stays for the caller to remove.
  EXPECT_EQ(session.jobs.Count(), 1);
}

// A row the dialog is given is shown with the answer's rows and backed up
// with them.
TEST_F(ProcessDialogSim, AnAddedFileRowIsShownAndFetched) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string listed = "/rec/2013/03/18/ch01/080000.avi", added = "/rec/2013/03/18/ch09/extra.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 14, {2013, 3, 18}}, {{listed, 3000}}));
  recorder->AddFile(added, 1000);
  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_EQ(d.FileList()->GetItemCount(), 2);
    d.AddFileRow(QString::fromStdString(added), 1000);
    ASSERT_EQ(d.FileList()->GetItemCount(), 3);
    EXPECT_EQ(d.FileList()->GetItemText(2, 0), QStringLiteral("3"));
    EXPECT_EQ(d.FileList()->GetItemText(2, 1), Local(added));
    EXPECT_EQ(d.FileList()->GetItemText(2, 2), QStringLiteral("1000 Bytes"));
    EXPECT_TRUE(d.FileList()->GetItemText(2, 3).isEmpty());
    // The shown file name gives back the path the request asks for.
    EXPECT_EQ(d.ToRecorderPath(d.FileList()->GetItemText(2, 1)), QString::fromStdString(added));
    EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 30s));
  });
  EXPECT_EQ(result, platform::ui::IDOK);
  ASSERT_EQ(DownloadsOf(added).size(), 1u);
  EXPECT_EQ(DownloadsOf(added)[0].target,
            "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + added);
  EXPECT_EQ(Read(Local(added)), Content(added, 1000));
  EXPECT_EQ(Read(Local(listed)), Content(listed, 3000));
}

TEST_F(ProcessDialogSim, PauseAndResumeFetchTheFileAgainWithTheBackupIdOfThatMoment) {
  sim::Config config;
  config.regrant_unknown_backup_id = true;
  ASSERT_NO_FATAL_FAILURE(StartRecorder(config));
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 2, {2013, 3, 5}}, {{"/rec/2013/03/05/ch01/080000.avi", 300000}}));
  const std::string file = "/rec/2013/03/05/ch01/080000.avi";
  // The file's body stalls after its first bytes, once.
  sim::FaultRule stall = sim::FaultRule::ForPrefix(
      "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + file, sim::FaultKind::StallBody, 1);
  stall.send_bytes = 50000;
  stall.stall_ms = 20000;
  recorder->AddFault(stall);
  const int firstId = session.backupId.load();

  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_NE(d.FileList(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Status(d, 1) == QStringLiteral("download"); }, 20s));
    ASSERT_TRUE(WaitUntil([&] { return DownloadsOf(file).size() == 1; }, 10s));
    Idle(700ms);  // the stalled body's first bytes are on disk
    EXPECT_EQ(Status(d, 0), QStringLiteral("complete"));
    QDir().mkpath(kShots);
    EXPECT_TRUE(d.Window()->grab().save(kShots + QStringLiteral("/process_dialog.png")));

    session.keepBackupId = 1;
    d.PressPauseResume();
    EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
    EXPECT_EQ(session.keepBackupId.load(), 0);
    // "Resume" while the worker is still ending its run is not taken: no
    // worker could start, and nothing is asked of the recorder.
    ASSERT_TRUE(d.Task().IsThreadActive());
    const std::size_t asked = recorder->RequestCount();
    d.PressPauseResume();
    EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
    EXPECT_EQ(session.keepBackupId.load(), 0);
    EXPECT_EQ(recorder->RequestCount(), asked);
    ASSERT_TRUE(WaitUntil([&] { return Status(d, 1) == QStringLiteral("pause"); }, 5s));
    EXPECT_FALSE(d.Animation()->IsPlaying());
    EXPECT_FALSE(QFileInfo::exists(Local(file)));
    EXPECT_TRUE(NoPartialFiles());
    // The pause renews the lease once.
    EXPECT_TRUE(recorder->WaitForRequests(1, sim::Request::RenewBackupId, 5000));

    // Refused resumes leave it stopped.
    struct Refusal {
      sim::BackupState state;
      const char* text;
    } refusals[] = {
        {sim::BackupState::DailyBackupRunning, "Backup is interrupted because daily backup procedure on NVR is running"},
        {sim::BackupState::ManualBackupRunning, "Backup is interrupted because another manual backup procedure is running"},
        {sim::BackupState::Busy, "Backup is interrupted because another manual backup procedure is running"}};
    for (const Refusal& r : refusals) {
      SCOPED_TRACE(r.text);
      recorder->SetBackupState(r.state);
      boxes.boxes.clear();
      session.keepBackupId = 1;
      d.PressPauseResume();
      EXPECT_EQ(BoxTexts(), std::vector<QString>{QString::fromLatin1(r.text)});
      EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
      EXPECT_EQ(session.keepBackupId.load(), 0);
      EXPECT_EQ(DownloadsOf(file).size(), 1u);
    }
    recorder->SetBackupState(sim::BackupState::Idle);

    // The recorder hands out a new id; the file is asked for again with it.
    recorder->ExpireBackupId(firstId);
    boxes.boxes.clear();
    d.PressPauseResume();
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(Caption(d), QStringLiteral("Pause"));
    EXPECT_EQ(session.keepBackupId.load(), 1);
    EXPECT_EQ(Status(d, 1), QStringLiteral("download"));
    EXPECT_NE(session.backupId.load(), firstId);
    EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 30s));
  });
  EXPECT_EQ(result, platform::ui::IDOK);
  const auto fetched = DownloadsOf(file);
  ASSERT_EQ(fetched.size(), 2u);
  EXPECT_EQ(fetched[1].target,
            "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + file);
  EXPECT_EQ(Read(Local(file)), Content(file, 300000));
  EXPECT_TRUE(NoPartialFiles());
}

TEST_F(ProcessDialogSim, PauseAfterAFileArrivedKeepsItCompleteAndStopsBeforeTheNext) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string first = "/rec/2013/03/09/ch01/080000.avi";
  const std::string second = "/rec/2013/03/09/ch02/090000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 6, {2013, 3, 9}}, {{first, 2000}, {second, 3000}}));
  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_NE(d.FileList(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Status(d, 1) == QStringLiteral("download"); }, 20s));
    // The file arrives while its report still waits in the window's queue.
    for (int i = 0; i < 500 && (d.Task().state.load() != nvr::kDownloadComplete || d.Task().IsThreadActive()); ++i)
      std::this_thread::sleep_for(10ms);
    ASSERT_EQ(d.Task().state.load(), nvr::kDownloadComplete);
    d.PressPauseResume();
    EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
    Idle(500ms);
    EXPECT_EQ(Status(d, 1), QStringLiteral("complete"));
    EXPECT_TRUE(Status(d, 2).isEmpty());
    EXPECT_TRUE(DownloadsOf(second).empty());
    EXPECT_EQ(Read(Local(first)), Content(first, 2000));
    // "Resume" goes on with the next file.
    d.PressPauseResume();
    EXPECT_EQ(Caption(d), QStringLiteral("Pause"));
    EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
  });
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_EQ(DownloadsOf(first).size(), 1u);
  EXPECT_EQ(DownloadsOf(second).size(), 1u);
  EXPECT_EQ(Read(Local(second)), Content(second, 3000));
}

TEST_F(ProcessDialogSim, FailedFilesStopWithTheirStatusAndResumeFetchesThemAgain) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 3, {2013, 3, 6}},
                                   {{"/rec/2013/03/06/ch01/080000.avi", 5000}, {"/rec/2013/03/06/ch02/090000.avi", 90000}}));
  const std::string first = "/rec/2013/03/06/ch01/080000.avi";
  const std::string second = "/rec/2013/03/06/ch02/090000.avi";
  struct Case {
    const char* name;
    sim::FaultKind kind;
    const char* box;  // nullptr: none
  } cases[] = {{"not found", sim::FaultKind::NotFound, "Backup is interrupted because another backup procedure is running"},
               {"an error page", sim::FaultKind::Unavailable, nullptr},
               // The recorder closes the connection mid-body.
               {"cut short", sim::FaultKind::CutShort, "Network Failed!"},
               {"chunked without its last chunk", sim::FaultKind::CutShortChunked, "Network Failed!"},
               {"no answer", sim::FaultKind::CloseWithoutAnswer, "Network Failed!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(destination).removeRecursively();
    recorder->ClearRequests();
    recorder->ClearFaults();
    boxes.boxes.clear();
    recorder->AddFault(sim::FaultRule::ForPrefix(
        "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + second, c.kind));
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      ASSERT_NE(d.FileList(), nullptr);
      ASSERT_TRUE(WaitUntil([&] { return Status(d, 2) == QStringLiteral("failed"); }, 20s));
      EXPECT_EQ(Status(d, 1), QStringLiteral("complete"));
      EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
      EXPECT_EQ(session.keepBackupId.load(), 0);
      EXPECT_FALSE(d.Animation()->IsPlaying());
      if (c.box)
        EXPECT_EQ(BoxTexts(), std::vector<QString>{QString::fromLatin1(c.box)});
      else
        EXPECT_TRUE(BoxTexts().empty());
      EXPECT_FALSE(QFileInfo::exists(Local(second)));
      EXPECT_TRUE(NoPartialFiles());
      EXPECT_EQ(Read(Local(first)), Content(first, 5000));
      // Stopped: nothing more is asked for until "Resume".
      Idle(300ms);
      EXPECT_EQ(DownloadsOf(second).size(), 1u);

      recorder->ClearFaults();
      boxes.boxes.clear();
      d.PressPauseResume();
      EXPECT_EQ(Caption(d), QStringLiteral("Pause"));
      EXPECT_EQ(session.keepBackupId.load(), 1);
      EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
    });
    EXPECT_EQ(result, platform::ui::IDOK);
    EXPECT_EQ(DownloadsOf(second).size(), 2u);
    EXPECT_EQ(DownloadsOf(first).size(), 1u);
    EXPECT_EQ(Read(Local(second)), Content(second, 90000));
  }
}

// A path that would leave the backup folder, that names a folder, or that no
// folder could hold is never asked for: its row reads "failed", the backup
// goes on with the other files, and the end says which files it lacks.
TEST_F(ProcessDialogSim, RefusedPathsArePassedOverAndTheEndNamesThem) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string a = "/rec/2013/03/07/ch01/080000.avi", b = "/rec/2013/03/07/ch02/x.avi";
  const std::string evil = "/rec/2013/03/07/../../../../../evil.bin", folder = "/rec/2013/03/07/ch03/";
  const std::string huge = "/rec/" + std::string(5016, 'h');  // 5021 bytes
  // 4,090 bytes fit a path alone, but not with the backup folder's path before them.
  std::string longer = "/rec/2013/03/07";
  while (longer.size() < 4090 - 201) longer += "/" + std::string(200, 'l');
  longer += "/" + std::string(4090 - longer.size() - 1, 'f');
  const sim::FileEntry fa{a, 4000}, fb{b, 10};
  struct Case {
    const char* name;
    std::vector<sim::FileEntry> files;
    std::vector<std::string> refused;  // in list order
  } cases[] = {
      {"first", {{folder, 5}, fa, fb}, {folder}},
      {"in the middle", {fa, {evil, 100}, fb}, {evil}},
      {"last", {fa, fb, {huge, 7}}, {huge}},
      {"too long in the backup folder", {fa, {longer, 8}, fb}, {longer}},
      {"two in a row", {fa, {folder, 5}, {evil, 100}, fb}, {folder, evil}},
  };
  int second = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, second++, {2013, 3, 7}}, c.files));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    boxes.boxes.clear();
    CProcessDialog dlg;
    Prepare(dlg);
    // The backup never waits for "Resume" on the way.
    bool stopped = false;
    const int result = RunUntilItEnds(dlg, &stopped);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(result, platform::ui::IDOK);
    for (int row = 0; row < dlg.Files().Count(); ++row) {
      const bool refused = !dlg.Files().IsSafe(row);
      EXPECT_EQ(dlg.Files().At(row).status, refused ? QStringLiteral("failed") : QStringLiteral("complete")) << row;
    }
    // Every safe file arrived byte for byte; nothing was asked for the others.
    EXPECT_EQ(recorder->Requests(sim::Request::Download).size(), c.files.size() + 1 - c.refused.size());
    for (const sim::FileEntry& f : c.files) {
      const bool refused = std::find(c.refused.begin(), c.refused.end(), f.path) != c.refused.end();
      if (refused)
        EXPECT_TRUE(DownloadsOf(f.path).empty()) << f.path;
      else
        EXPECT_EQ(Read(Local(f.path)), Content(f.path, f.size)) << f.path;
    }
    EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
    std::vector<RefusedFile> named;
    for (const std::string& r : c.refused)
      named.push_back({QString::fromStdString(r), r == huge || r == longer ? ENAMETOOLONG : RefusedFile::kRefusedName});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(boxes.boxes[0].text, FinishedWithoutText(int(c.refused.size()), named));
    // Only the backup folder came to be, beside nothing else.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              before + QStringList{QStringLiteral("backup201303041200")});
    EXPECT_FALSE(QFileInfo::exists(QDir::cleanPath(destination + QString::fromStdString(evil))));
    EXPECT_TRUE(NoPartialFiles());
    QDir(destination).removeRecursively();
    session.RemoveAllJobs();
    platform::DeleteFilePath(answerFile);
  }
  for (const auto& r : recorder->Requests(sim::Request::Download))
    EXPECT_EQ(r.target.find("evil"), std::string::npos) << r.target;
}

// A job whose every row is refused saves nothing: the operator is told so, the
// dialog ends without IDOK (its caller keeps the row) and no backup folder is
// made. A refused record list alone leaves the other files to arrive, and the
// end says the backup will not play in the companion program.
TEST_F(ProcessDialogSim, AJobOfWhichNothingCanBeSavedIsNeverCalledFinished) {
  sim::Config config;
  config.record_root = "/rec/..";  // the record list's path leaves the folder
  ASSERT_NO_FATAL_FAILURE(StartRecorder(config));
  const std::string folder = "/rec/2013/03/18/ch02/", evil = "/rec/2013/03/18/../../../evil.bin";
  const std::string safe = "/rec/2013/03/18/ch01/080000.avi";
  struct Case {
    const char* name;
    std::vector<sim::FileEntry> files;
    int result;
    std::vector<std::string> arrived;
  } cases[] = {
      {"every row refused", {{folder, 5}, {evil, 100}}, platform::ui::IDCANCEL, {}},
      {"only the record list refused", {{safe, 3000}}, platform::ui::IDOK, {safe}},
  };
  int second = 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, second++, {2013, 3, 18}}, c.files));
    ASSERT_EQ(recordListPath, "/rec/../2013/03/18/RecordList.db");
    boxes.boxes.clear();
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunUntilItEnds(dlg);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(recorder->Requests(sim::Request::Download).size(), c.arrived.size());
    for (const std::string& path : c.arrived) EXPECT_EQ(Read(Local(path)), Content(path, 3000)) << path;
    std::vector<RefusedFile> refused{{QString::fromStdString(recordListPath), RefusedFile::kRefusedName}};
    for (const sim::FileEntry& f : c.files)
      if (std::find(c.arrived.begin(), c.arrived.end(), f.path) == c.arrived.end())
        refused.push_back({QString::fromStdString(f.path), RefusedFile::kRefusedName});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(boxes.boxes[0].text, c.arrived.empty() ? NothingSavedText(int(refused.size()), refused)
                                                     : FinishedWithoutText(int(refused.size()), refused, true));
    EXPECT_EQ(QFileInfo::exists(destination), !c.arrived.empty());
    QDir(destination).removeRecursively();
    session.RemoveAllJobs();
    platform::DeleteFilePath(answerFile);
  }
}

// A "Resume" after a failed file passes over a refused row that follows it.
TEST_F(ProcessDialogSim, ResumeNeverStartsARefusedRow) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string a = "/rec/2013/03/16/ch01/080000.avi", folder = "/rec/2013/03/16/ch02/", b = "/rec/2013/03/16/ch03/b.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 12, {2013, 3, 16}}, {{a, 3000}, {folder, 4}, {b, 5000}}));
  recorder->AddFault(sim::FaultRule::ForPrefix(
      "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + a, sim::FaultKind::NotFound, 1));
  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_TRUE(WaitUntil([&] { return Status(d, 1) == QStringLiteral("failed"); }, 20s));
    EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
    EXPECT_TRUE(Status(d, 2).isEmpty());
    d.PressPauseResume();
    EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
  });
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_EQ(DownloadsOf(a).size(), 2u);
  EXPECT_EQ(DownloadsOf(b).size(), 1u);
  EXPECT_TRUE(DownloadsOf(folder).empty());
  EXPECT_EQ(Read(Local(b)), Content(b, 5000));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Backup is interrupted because another backup procedure is running"));
  EXPECT_EQ(boxes.boxes[1].text, FinishedWithoutText(1, {{QString::fromStdString(folder), RefusedFile::kRefusedName}}));
}

// A disk cannot hold "/rec/.../dir" as a file and as the folder of another
// file: of two such rows the later one is passed over when its save fails
// for good, before anything is asked for it, and so is a row that meets a
// file or folder an earlier backup in the same folder (made in the same
// minute) left there. The backup never stops on it, every other file
// arrives, what was there stays, and the end names the one left out with
// the reason.
TEST_F(ProcessDialogSim, AFileWhereAnotherRowsFolderIsIsPassedOver) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string dir = "/rec/2013/03/19/dir", inner = "/rec/2013/03/19/dir/inner.avi";
  const sim::FileEntry fa{"/rec/2013/03/19/ch01/080000.avi", 4000}, fb{"/rec/2013/03/19/ch02/x.avi", 10},
      fc{"/rec/2013/03/19/dirx/c.avi", 2000};
  const sim::FileEntry fdir{dir, 3000}, finner{inner, 5000};
  struct Case {
    const char* name;
    std::vector<std::string> present;  // what an earlier backup left in the folder
    std::vector<sim::FileEntry> files;
    std::string refused;
    int reason;
  } cases[] = {
      {"the file, then a file in its folder", {}, {fdir, finner}, inner, ENOTDIR},
      {"a file in the folder, then the file", {}, {finner, fdir}, dir, EISDIR},
      {"among other files", {}, {fa, fdir, fb, finner, fc}, inner, ENOTDIR},
      {"an earlier backup's file", {dir}, {fa, finner, fb}, inner, ENOTDIR},
      {"an earlier backup's folder", {inner}, {fa, fdir}, dir, EISDIR},
  };
  int second = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(QueueJob({21, 1, second++, {2013, 3, 19}}, c.files));
    for (const std::string& path : c.present) {
      ASSERT_TRUE(QDir().mkpath(QFileInfo(Local(path)).path()));
      ASSERT_TRUE(Write(Local(path), "earlier"));
    }
    boxes.boxes.clear();
    CProcessDialog dlg;
    Prepare(dlg);
    // The backup never waits for "Resume" on the way.
    bool stopped = false;
    const int result = RunUntilItEnds(dlg, &stopped);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(result, platform::ui::IDOK);
    ASSERT_EQ(dlg.Files().Count(), int(c.files.size()) + 1);
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      const sim::FileEntry& f = c.files[i];
      const int row = int(i) + 1;
      const bool refused = f.path == c.refused;
      EXPECT_EQ(dlg.Files().IsSafe(row), !refused) << f.path;
      EXPECT_EQ(dlg.Files().At(row).status, refused ? QStringLiteral("failed") : QStringLiteral("complete")) << f.path;
      if (refused)
        EXPECT_TRUE(DownloadsOf(f.path).empty()) << f.path;
      else
        EXPECT_EQ(Read(Local(f.path)), Content(f.path, f.size)) << f.path;
    }
    for (const std::string& path : c.present) EXPECT_EQ(Read(Local(path)), QByteArray("earlier")) << path;
    EXPECT_EQ(recorder->Requests(sim::Request::Download).size(), c.files.size());
    EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(boxes.boxes[0].text, FinishedWithoutText(1, {{QString::fromStdString(c.refused), c.reason}}));
    EXPECT_TRUE(NoPartialFiles());
    QDir(destination).removeRecursively();
    session.RemoveAllJobs();
    platform::DeleteFilePath(answerFile);
  }
}

// An answer that lists a file twice, or the day's record list once more
// among its files: each file is fetched once, the record list keeps its
// clamped copy, and the backup is finished with nothing left out.
TEST_F(ProcessDialogSim, AFileListedTwiceIsFetchedOnce) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const sim::FileEntry fa{"/rec/2013/03/21/ch01/080000.avi", 4000}, fb{"/rec/2013/03/21/ch02/x.avi", 10};
  const sim::FileEntry list{"/rec/2013/03/21/RecordList.db", 131};
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 2, 0, {2013, 3, 21}}, {fa, list, fb, fa}));
  ASSERT_EQ(recordListPath, list.path);
  CProcessDialog dlg;
  Prepare(dlg);
  bool stopped = false;
  EXPECT_EQ(RunUntilItEnds(dlg, &stopped), platform::ui::IDOK);
  EXPECT_FALSE(stopped);
  ASSERT_EQ(dlg.Files().Count(), 5);
  for (int row = 0; row < 5; ++row) EXPECT_EQ(dlg.Files().Status(row), QStringLiteral("complete")) << row;
  EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
  EXPECT_EQ(Read(Local(fa.path)), Content(fa.path, fa.size));
  EXPECT_EQ(recorder->Requests(sim::Request::Download).size(), 3u);
  EXPECT_EQ(DownloadsOf(list.path).size(), 1u);
  EXPECT_EQ(DownloadsOf(fa.path).size(), 1u);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("The backup procedure is finished!")});
}

TEST_F(ProcessDialogSim, CancelDuringADownloadKeepsWhatArrivedAndNoPartialFile) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string slow = "/rec/2013/03/08/ch02/090000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 5, {2013, 3, 8}}, {{"/rec/2013/03/08/ch01/080000.avi", 3000}, {slow, 400000}}));
  sim::FaultRule stall = sim::FaultRule::ForPrefix(
      "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + slow, sim::FaultKind::StallBody);
  stall.send_bytes = 60000;
  stall.stall_ms = 20000;
  recorder->AddFault(stall);
  CProcessDialog dlg;
  Prepare(dlg);
  const auto started = std::chrono::steady_clock::now();
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_TRUE(WaitUntil([&] { return DownloadsOf(slow).size() == 1; }, 20s));
    Idle(500ms);
    d.SendCommand(platform::ui::IDCANCEL);
  });
  EXPECT_EQ(result, platform::ui::IDCANCEL);
  // The worker was stopped and waited for, well before the stall's end.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
  EXPECT_FALSE(dlg.Task().IsThreadActive());
  EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
  EXPECT_EQ(Read(Local("/rec/2013/03/08/ch01/080000.avi")), Content("/rec/2013/03/08/ch01/080000.avi", 3000));
  EXPECT_FALSE(QFileInfo::exists(Local(slow)));
  EXPECT_TRUE(NoPartialFiles());
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(ProcessDialogSim, AJobWithoutItsAnswerFileCannotBeBackedUp) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  testing_ui::App();
  CProcessDialog dlg;
  Prepare(dlg);  // row 0, but the session holds no job
  const int result = RunDialog<CProcessDialog>(dlg, [](CProcessDialog&) {});
  EXPECT_EQ(result, platform::ui::IDCANCEL);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Failed to download File List")});
  EXPECT_EQ(recorder->RequestCount(sim::Request::Download), 0u);
  EXPECT_FALSE(QFileInfo::exists(destination));
}

// Enter, with the focus on the file list or on no button, must not end the
// dialog: its OK means that every file arrived.
TEST_F(ProcessDialogSim, EnterDoesNotEndTheDialogMidDownload) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string slow = "/rec/2013/03/10/ch01/080000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 7, {2013, 3, 10}}, {{slow, 300000}}));
  sim::FaultRule stall = sim::FaultRule::ForPrefix(
      "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + slow, sim::FaultKind::StallBody, 1);
  stall.send_bytes = 50000;
  stall.stall_ms = 20000;
  recorder->AddFault(stall);
  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    ASSERT_TRUE(WaitUntil([&] { return DownloadsOf(slow).size() == 1; }, 20s));
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
      d.FileList()->setFocus();
      QKeyEvent press(QEvent::KeyPress, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
      QApplication::sendEvent(d.FileList(), &press);
      Idle(100ms);
      EXPECT_FALSE(d.HasEnded()) << key;
    }
    EXPECT_EQ(Status(d, 1), QStringLiteral("download"));
    EXPECT_EQ(Caption(d), QStringLiteral("Pause"));
  });
  // Still downloading when the test's own Cancel ended it.
  EXPECT_EQ(result, platform::ui::IDCANCEL);
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_FALSE(QFileInfo::exists(Local(slow)));
}

// A clamped copy that is empty or shorter than its own header says (what a
// recorder's broken list leaves, or what a full program folder used to) never
// replaces the downloaded list: the backup finishes with the list the recorder
// sent, instead of failing on that row for ever.
TEST_F(ProcessDialogSim, AnEmptyOrShortClampedCopyLeavesTheDownloadedList) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string file = "/rec/2013/03/11/ch01/080000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 8, {2013, 3, 11}}, {{file, 2000}}));
  const QByteArray clamped = Read(clampedList);
  struct Case {
    const char* name;
    QByteArray copy;
  } cases[] = {{"empty", QByteArray()}, {"header only", clamped.left(56)}, {"short", ShortRecordList(clamped)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(destination).removeRecursively();
    boxes.boxes.clear();
    ASSERT_TRUE(Write(clampedList, c.copy));
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
    });
    EXPECT_EQ(result, platform::ui::IDOK);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("The backup procedure is finished!")});
    EXPECT_EQ(Read(Local(recordListPath)).toStdString(), sim::BuildRecordList(day, recorder->RecordingsOn(day)));
    EXPECT_EQ(Read(Local(file)), Content(file, 2000));
    EXPECT_EQ(Read(clampedList), c.copy);
  }
}

// The backup folder goes bad between the record list's arrival and its
// replacement by the clamped copy: the row fails with the reason, the
// downloaded list stays whole, and "Resume" after the repair completes the
// backup.
TEST_F(ProcessDialogSim, TheClampedCopyFailingOnTheDestinationFailsTheRow) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string file = "/rec/2013/03/12/ch01/080000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 9, {2013, 3, 12}}, {{file, 3000}}));
  std::string why;
  auto disk = test_support::SmallDisk::Mount(1 << 20, &why);
  auto folderOf = [&] { return QFileInfo(Local(recordListPath)).absolutePath(); };
  struct Case {
    const char* name;
    bool onSmallDisk;
    std::function<void()> spoil, repair;
    int error;  // the reason the operator reads
  } cases[] = {
      {"disk full", true, [&] { ASSERT_TRUE(disk->Fill(0)); }, [&] { disk->Unfill(); }, ENOSPC},
      {"folder removed", false, [&] { ASSERT_TRUE(QDir(folderOf()).removeRecursively()); }, [] {}, ENOENT},
      {"folder read-only", false, [&] { ASSERT_EQ(::chmod(folderOf().toLocal8Bit().constData(), 0555), 0); },
       [&] { ::chmod(folderOf().toLocal8Bit().constData(), 0755); }, EACCES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!PlaceBackupFolder(c.onSmallDisk ? disk.get() : nullptr, c.onSmallDisk, why, c.name)) continue;
    boxes.boxes.clear();
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      ASSERT_TRUE(ArrivedButNotYetHandled(d, 0));
      {
        // Root writes where permissions forbid it; the window thread may not.
        test_support::WithoutFileOverride asUser;
        ASSERT_NO_FATAL_FAILURE(c.spoil());
        ASSERT_TRUE(WaitUntil([&] { return Status(d, 0) == QStringLiteral("failed"); }, 10s));
      }
      EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
      EXPECT_EQ(BoxTexts(), std::vector<QString>{NotSavedText(c.error, Local(recordListPath))});
      if (QFileInfo::exists(Local(recordListPath))) {
        EXPECT_EQ(Read(Local(recordListPath)).toStdString(), sim::BuildRecordList(day, recorder->RecordingsOn(day)));
      }
      c.repair();
      Idle(200ms);
      d.PressPauseResume();
      EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
    });
    EXPECT_EQ(result, platform::ui::IDOK);
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(LastBoxText(), QStringLiteral("The backup procedure is finished!"));
    EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
    EXPECT_EQ(Read(Local(file)), Content(file, 3000));
    QDir(destination).removeRecursively();
  }
}

// A file the backup folder cannot take (a full disk, a folder removed under
// the download) fails its row with the system's reason, and "Resume" after the
// repair completes the backup.
TEST_F(ProcessDialogSim, AFileTheBackupFolderCannotTakeIsNamedWithTheReason) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string first = "/rec/2013/03/17/ch01/080000.avi", second = "/rec/2013/03/17/ch02/090000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 13, {2013, 3, 17}}, {{first, 200000}, {second, 300000}}));
  std::string why;
  auto disk = test_support::SmallDisk::Mount(1 << 20, &why);
  struct Case {
    const char* name;
    bool onSmallDisk;
    std::string failing;  // the recorder path whose file cannot be saved
    int error;
  } cases[] = {{"disk full", true, recordListPath, ENOSPC}, {"folder removed mid-file", false, second, ENOENT}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!PlaceBackupFolder(c.onSmallDisk ? disk.get() : nullptr, c.onSmallDisk, why, c.name)) continue;
    recorder->ClearRequests();
    recorder->ClearFaults();
    boxes.boxes.clear();
    if (c.onSmallDisk) {
      ASSERT_TRUE(disk->Fill(0));
    } else {
      // The body stops after its first bytes until the folder is gone.
      sim::FaultRule stall = sim::FaultRule::ForPrefix(
          "/config/backupdownload?id=" + std::to_string(session.backupId.load()) + "&path=" + second,
          sim::FaultKind::StallBody, 1);
      stall.send_bytes = 50000;
      stall.stall_ms = 4000;
      stall.finish_after_stall = true;
      recorder->AddFault(stall);
    }
    const int failingRow = c.failing == recordListPath ? 0 : 2;
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      if (!c.onSmallDisk) {
        ASSERT_TRUE(WaitUntil([&] { return DownloadsOf(second).size() == 1; }, 20s));
        Idle(300ms);
        ASSERT_TRUE(QDir(destination).removeRecursively());
        recorder->ReleaseStalls();
      }
      ASSERT_TRUE(WaitUntil([&] { return Status(d, failingRow) == QStringLiteral("failed"); }, 20s));
      Idle(200ms);
      EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
      EXPECT_EQ(BoxTexts(), std::vector<QString>{NotSavedText(c.error, Local(c.failing))});
      EXPECT_TRUE(LastBoxText().contains(QString::fromLocal8Bit(std::strerror(c.error))));
      EXPECT_FALSE(QFileInfo::exists(Local(c.failing)));
      EXPECT_TRUE(NoPartialFiles());
      if (c.onSmallDisk) disk->Unfill();
      d.PressPauseResume();
      ASSERT_TRUE(WaitUntil([&] { return d.HasEnded() || Caption(d) == QStringLiteral("Resume"); }, 20s));
      if (!c.onSmallDisk) {
        // The files that had arrived went with the folder: named in one box,
        // and all fetched again after one "Resume".
        ASSERT_FALSE(d.HasEnded());
        EXPECT_EQ(LastBoxText(), LostFilesText(2, {Local(recordListPath), Local(first)}));
        d.PressPauseResume();
        ASSERT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
      }
    });
    EXPECT_EQ(result, platform::ui::IDOK);
    EXPECT_EQ(BoxTexts().size(), c.onSmallDisk ? 2u : 3u);
    EXPECT_EQ(LastBoxText(), QStringLiteral("The backup procedure is finished!"));
    EXPECT_EQ(Read(Local(recordListPath)), Read(clampedList));
    EXPECT_EQ(Read(Local(first)), Content(first, 200000));
    EXPECT_EQ(Read(Local(second)), Content(second, 300000));
    EXPECT_TRUE(NoPartialFiles());
    QDir(destination).removeRecursively();
  }
}

// A file that went missing or shrank after it arrived is named, and fetched
// again before the backup is reported finished.
TEST_F(ProcessDialogSim, AFileLostAfterItArrivedIsNotReportedFinished) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string first = "/rec/2013/03/13/ch01/080000.avi";
  const std::string last = "/rec/2013/03/13/ch02/090000.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 10, {2013, 3, 13}}, {{first, 6000}, {last, 7000}}));
  struct Case {
    const char* name;
    std::function<void(const QString&)> lose;
  } cases[] = {{"removed", [](const QString& p) { QFile::remove(p); }},
               {"shortened", [](const QString& p) { QFile(p).resize(100); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(destination).removeRecursively();
    recorder->ClearRequests();
    boxes.boxes.clear();
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      ASSERT_TRUE(WaitUntil([&] { return Status(d, 1) == QStringLiteral("complete"); }, 20s));
      c.lose(Local(first));
      ASSERT_TRUE(WaitUntil([&] { return Status(d, 2) == QStringLiteral("complete"); }, 20s));
      ASSERT_TRUE(WaitUntil([&] { return Status(d, 1) == QStringLiteral("failed"); }, 5s));
      EXPECT_FALSE(d.HasEnded());
      EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
      EXPECT_EQ(BoxTexts(), std::vector<QString>{LostFilesText(1, {Local(first)})});
      d.PressPauseResume();
      EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
    });
    EXPECT_EQ(result, platform::ui::IDOK);
    EXPECT_EQ(LastBoxText(), QStringLiteral("The backup procedure is finished!"));
    EXPECT_EQ(DownloadsOf(first).size(), 2u);
    EXPECT_EQ(DownloadsOf(last).size(), 1u);
    EXPECT_EQ(Read(Local(first)), Content(first, 6000));
    EXPECT_EQ(Read(Local(last)), Content(last, 7000));
  }
}

// A listing may name a file and the same name with ".part": both arrive.
TEST_F(ProcessDialogSim, AFileNamedLikeATemporaryArrivesBesideItsNamesake) {
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  const std::string part = "/rec/2013/03/14/ch01/x.avi.part";
  const std::string avi = "/rec/2013/03/14/ch01/x.avi";
  ASSERT_NO_FATAL_FAILURE(QueueJob({21, 0, 11, {2013, 3, 14}}, {{part, 5000}, {avi, 6000}}));
  CProcessDialog dlg;
  Prepare(dlg);
  const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
    EXPECT_TRUE(WaitUntil([&] { return d.HasEnded() || Caption(d) == QStringLiteral("Resume"); }, 30s));
  });
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("The backup procedure is finished!")});
  EXPECT_EQ(Read(Local(part)), Content(part, 5000));
  EXPECT_EQ(Read(Local(avi)), Content(avi, 6000));
}

// The day's record list on the way into the backup, with a full disk at each
// end: a program folder too full for the clamp's rewrite refuses the job, so
// there is no row to back up; a backup folder with room for the downloaded
// list but not for the clamped copy fails that row with the reason and keeps
// the downloaded list whole. Never a finished backup with a broken list.
TEST_F(ProcessDialogSim, AFullDiskNeverGivesAFinishedBackupWithABrokenRecordList) {
  std::string why;
  auto disk = test_support::SmallDisk::Mount(1 << 20, &why);
  if (!disk) GTEST_SKIP() << why;
  ASSERT_NO_FATAL_FAILURE(StartRecorder());
  testing_ui::App();
  const QString programFolder = QString::fromStdString(disk->Path()) + QStringLiteral("/program/");
  ASSERT_TRUE(QDir().mkpath(programFolder));
  const QString previous = platform::SetExecutableFolderOverride(programFolder);
  struct Restore {
    QString folder;
    ~Restore() { platform::SetExecutableFolderOverride(folder); }
  } restore{previous};
  const std::string file = "/rec/2013/03/15/ch01/080000.avi";
  day = {2013, 3, 15};
  recorder->SetRecordings(day, {{1, 8 * 3600, 9 * 3600, 1}, {2, 9 * 3600, 11 * 3600, 1}});
  recorder->SetJobFiles(std::vector<sim::FileEntry>{{file, 4000}});
  ASSERT_EQ(session.Login(), 1);
  nvrtest::MessageCatcher mainWindow;
  session.notifyWindow = mainWindow.Id();
  const auto queue = [&] {
    session.QueueNvrBackup(At(2013, 3, 15, 8, 0, 0), At(2013, 3, 15, 10, 0, 0), 0x7);
    for (int i = 0; i < 300 && session.jobThreadRunning.load() != 0; ++i) std::this_thread::sleep_for(20ms);
  };

  {
    SCOPED_TRACE("program folder full");
    // Room for the answer file and the downloaded record list, none for the rewrite.
    ASSERT_TRUE(disk->Fill(2 * disk->PageBytes()));
    queue();
    nvrtest::Posted finished;
    ASSERT_TRUE(mainWindow.WaitFor(nvr::WM_JOB_FINISHED, &finished, 5000));
    EXPECT_EQ(finished.lParam, 1);  // "Failed to download File List", and no row
    EXPECT_EQ(session.jobs.Count(), 0);
    // The list the recorder sent stays as it came.
    EXPECT_EQ(Read(programFolder + QStringLiteral("2013_03_15_RecordList.db")).toStdString(),
              sim::BuildRecordList(day, recorder->RecordingsOn(day)));
    CProcessDialog dlg;
    Prepare(dlg);
    EXPECT_EQ(RunDialog<CProcessDialog>(dlg, [](CProcessDialog&) {}), platform::ui::IDCANCEL);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Failed to download File List")});
    EXPECT_EQ(recorder->RequestCount(sim::Request::Download), 1u);  // the job thread's record list alone
    disk->Unfill();
  }

  {
    SCOPED_TRACE("backup folder full during the copy");
    recorder->ClearRequests();
    boxes.boxes.clear();
    queue();
    ASSERT_EQ(session.jobs.Count(), 1);
    const auto queued = recorder->LastJob();
    ASSERT_TRUE(queued);
    job = *queued;
    recordListPath = job.record_list.path;
    clampedList = programFolder + QStringLiteral("2013_03_15_RecordList.db");
    answerFile = programFolder + QString::asprintf("%.6d.txt", session.jobs.At(0)->id);
    const QByteArray clamped = Read(clampedList);
    ASSERT_NE(clamped.toStdString(), sim::BuildRecordList(day, recorder->RecordingsOn(day)));
    destination = QString::fromStdString(disk->Path()) + QStringLiteral("/backup201303041200");
    // Room for the downloaded list, none for the copy beside it.
    ASSERT_TRUE(disk->Fill(disk->PageBytes()));
    CProcessDialog dlg;
    Prepare(dlg);
    const int result = RunDialog<CProcessDialog>(dlg, [&](CProcessDialog& d) {
      ASSERT_TRUE(WaitUntil([&] { return Status(d, 0) == QStringLiteral("failed"); }, 20s));
      Idle(200ms);
      EXPECT_EQ(Caption(d), QStringLiteral("Resume"));
      EXPECT_EQ(BoxTexts(), std::vector<QString>{NotSavedText(ENOSPC, Local(recordListPath))});
      EXPECT_EQ(Read(Local(recordListPath)).toStdString(), sim::BuildRecordList(day, recorder->RecordingsOn(day)));
      EXPECT_TRUE(DownloadsOf(file).empty());
      EXPECT_TRUE(NoPartialFiles());
      disk->Unfill();
      d.PressPauseResume();
      EXPECT_TRUE(WaitUntil([&] { return d.HasEnded(); }, 20s));
    });
    EXPECT_EQ(result, platform::ui::IDOK);
    EXPECT_EQ(LastBoxText(), QStringLiteral("The backup procedure is finished!"));
    EXPECT_EQ(Read(Local(recordListPath)), clamped);
    EXPECT_EQ(Read(Local(file)), Content(file, 4000));
  }
  session.RemoveAllJobs();
}
