// The main window's job list and backup command against the simulated
// recorder on loopback: "Add" queues the chosen span behind a loading page and
// the finished job becomes a row; failed file lists, refused spans and a second
// job for a listed date add none; "Remove" takes rows with their jobs; "Backup"
// runs the settings and progress dialogs under the backup lease and removes the
// backed-up row and job, and a companion copy that failed is told. The
// selection dialog, the echo probe and free space are answered by seams.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "app/backup_messages.h"
#include "app/backup_setting_dlg.h"
#include "app/brisnel_dlg.h"
#include "app/job_rows.h"
#include "app/loading_page.h"
#include "app/process_dialog.h"
#include "app/select_dialog_runner.h"
#include "nvr/nvr_messages.h"
#include "platform/core/disk_space.h"
#include "platform/core/files.h"
#include "platform/core/icmp_socket.h"
#include "platform/core/local_time.h"
#include "platform/core/message_box.h"
#include "res/resource.h"
#include "selection/select_dialog.h"
#include "sim_recorder.h"
#include "tests/app/box_recorder.h"
#include "tests/app/run_dialog.h"
#include "tests/support/test_files.h"
#include "tests/ui/qt_test_app.h"

namespace ui = platform::ui;
using namespace std::chrono_literals;
using testing_ui::ClickRow;
using testing_ui::PumpUntil;

namespace {


nvr::NvrTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  nvr::NvrTime t;
  t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
  return t;
}

JobSelection Span(const nvr::NvrTime& start, const nvr::NvrTime& end, std::initializer_list<int> channels) {
  JobSelection s;
  s.startTime = start;
  s.endTime = end;
  for (int c : channels) s.channelFlags[c - 1] = 1;
  return s;
}

bool CommandsEnabled(CBrisnelDlg& d, bool enabled) {
  const bool menu = d.MenuBar()->IsItemEnabled(ID_RUN_REMOVE) == enabled &&
                    d.MenuBar()->IsItemEnabled(ID_RUN_BACKUP) == enabled;
  const bool tools = ((d.ToolBar().GetButtonState(ID_TOOL_REMOVE) & ui::TBBS_DISABLED) == 0) == enabled &&
                     ((d.ToolBar().GetButtonState(ID_TOOL_BACKUP) & ui::TBBS_DISABLED) == 0) == enabled;
  return menu && tools;
}

QStringList Texts(const JobRowTexts& t) { return {t.startTime, t.endTime, t.camera, t.diskSize}; }

QStringList RowTexts(CBrisnelDlg& d, int row) {
  QStringList texts;
  for (int c = 0; c < 4; ++c) texts << d.JobList()->GetItemText(row, c);
  return texts;
}

class JobListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_ui::App();
    recorder = std::make_unique<sim::SimRecorder>();
    ASSERT_TRUE(recorder->Start()) << recorder->Error();
    previousProbe_ = platform::SetEchoProbeOverride([](const QString& host) { return host == "127.0.0.1"; });
    // Companion files in the program's folder, so a copy that should not
    // happen would show in the backup folder.
    const QString bin = platform::ExecutableFolder();
    ASSERT_TRUE(QDir().mkpath(bin + "images"));
    for (const QString& name : {QStringLiteral("setting.ini"), QStringLiteral("images/x.bmp")}) {
      QFile companion(bin + name);
      if (!companion.exists()) {
        ASSERT_TRUE(companion.open(QIODevice::WriteOnly));
        companion.write("[setting]\n");
      }
    }
    // Every program beside this one keeps its answer files in the same folder,
    // named by the time of queueing. This one queues at hours no real clock
    // reads (30 to 49), ten seconds of its own per process, so its names meet
    // neither another program's nor another of its cases running meanwhile.
    const int slot = int(QCoreApplication::applicationPid() % 7000) * 10;
    clock = platform::LocalTime{2026, 12, 10, 30 + slot / 3600, slot / 60 % 60, slot % 60};
    previousClock_ = platform::SetLocalClock([this] { return clock; });
    previousRunner_ = SetSelectDialogRunner([this](nvr::NvrSession* session, JobSelection* out) {
      ++selectRuns;
      EXPECT_EQ(session, &window->Session());
      // The playback lease is kept while the dialog is open.
      playLeaseWhileOpen = window->PlayLeaseTimer() != -1 && window->IsTimerRunning(CBrisnelDlg::TIMER_PLAY_LEASE);
      if (!choice) return ui::IDCANCEL;
      *out = *choice;
      return ui::IDOK;
    });
    previousHook_ = ui::SetDialogShownHook([this](ui::Dialog& shown) {
      if (auto* page = dynamic_cast<CLoadingPage*>(&shown)) {
        ++loadingPages;
        if (onLoading) QTimer::singleShot(0, [this, page] { onLoading(*page); });
      } else if (auto* settings = dynamic_cast<CBackupSettingDlg*>(&shown)) {
        ++settingsRuns;
        QTimer::singleShot(0, [this, settings] {
          if (onSettings) onSettings(*settings);
          if (settings->HasWindow() && !settings->HasEnded()) settings->EndDialog(ui::IDCANCEL);
        });
      } else if (auto* progress = dynamic_cast<CProcessDialog*>(&shown)) {
        ++progressRuns;
        progress->m_nRestBetweenFilesMs = 0;
        progress->m_animationPath = QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/CopyFiles.avi");
        progressSeen = progress;
        leaseDuringProgress = window->BackupLeaseTimer() != -1;
        if (onProgress) QTimer::singleShot(0, [this, progress] { onProgress(*progress); });
      } else if (auto* select = dynamic_cast<CSelectDialog*>(&shown)) {
        ++selectRuns;
        QTimer::singleShot(0, [this, select] {
          if (onSelect) onSelect(*select);
          if (select->HasWindow() && !select->HasEnded()) select->EndDialog(ui::IDCANCEL);
        });
      } else if (previousHook_) {
        previousHook_(shown);
      }
    });
    ASSERT_TRUE(dir.isValid());
  }
  void TearDown() override {
    ui::SetDialogShownHook(previousHook_);
    SetSelectDialogRunner(previousRunner_);
    platform::SetLocalClock(previousClock_);
    platform::SetEchoProbeOverride(previousProbe_);
  }

  // Runs a logged-in main window that keeps its history in this test's folder.
  void Run(const std::function<void(CBrisnelDlg&)>& act) {
    CBrisnelDlg dlg;
    window = &dlg;
    dlg.m_historyPath = dir.filePath(QStringLiteral("history.ini"));
    RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
      d.Session().SetServer("Sim", "127.0.0.1", "admin", "admin", recorder->Port(), 0);
      ASSERT_EQ(d.Session().Login(), 1);
      d.SetUiState(0);
      act(d);
    });
    window = nullptr;
  }

  // "Add" with this choice; true once its row or its failure has arrived.
  bool Add(CBrisnelDlg& d, const JobSelection& selection, unsigned command = ID_TOOL_ADD) {
    choice = selection;
    const int rows = d.JobList()->GetItemCount();
    const size_t shown = boxes.boxes.size();
    d.SendCommand(command);
    return PumpUntil([&] { return d.JobList()->GetItemCount() > rows || boxes.boxes.size() > shown; }, 10s);
  }

  // The settings dialog's OK for `location`, with "Include the Vestrel
  // Program" ticked or not; the location is saved nowhere.
  std::function<void(CBackupSettingDlg&)> AcceptLocation(const QString& location, bool companion) {
    return [this, location, companion](CBackupSettingDlg& s) {
      s.m_settingFile = dir.filePath(QStringLiteral("no-setting.ini"));
      s.m_editLocation->setText(location);
      if (companion) s.m_chkIncludeCompanion->click();
      s.SendCommand(ui::IDOK);
    };
  }

  QString AnswerFile(int id) const { return platform::ExecutableFolder() + QString::asprintf("%.6d.txt", id); }
  int JobId(CBrisnelDlg& d, int index) {
    nvr::BackupJob job;
    return d.Session().GetJob(&job, index) ? job.id : -1;
  }

  std::unique_ptr<sim::SimRecorder> recorder;
  BoxRecorder boxes;
  QTemporaryDir dir;
  CBrisnelDlg* window = nullptr;
  platform::LocalTime clock;
  std::optional<JobSelection> choice;
  int selectRuns = 0;
  bool playLeaseWhileOpen = false;
  int loadingPages = 0;
  int settingsRuns = 0;
  int progressRuns = 0;
  CProcessDialog* progressSeen = nullptr;
  bool leaseDuringProgress = false;
  std::function<void(CBackupSettingDlg&)> onSettings;
  std::function<void(CProcessDialog&)> onProgress;
  std::function<void(CSelectDialog&)> onSelect;
  std::function<void(CLoadingPage&)> onLoading;

 private:
  platform::EchoProbeOverride previousProbe_;
  platform::LocalClock previousClock_;
  SelectDialogRunner previousRunner_;
  ui::DialogShownHook previousHook_;
};

}  // namespace

TEST_F(JobListTest, AFinishedJobAddsItsRow) {
  const sim::Date day{2031, 5, 13};
  const std::string recordList = recorder->RecordListPath(day);
  recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2031/05/13/ch01/081500.avi", 1572864 - 56}});
  Run([&](CBrisnelDlg& d) {
    EXPECT_TRUE(CommandsEnabled(d, false));
    ASSERT_TRUE(Add(d, Span(At(2031, 5, 13, 8, 15, 0), At(2031, 5, 13, 9, 30, 0), {1, 3, 16})));
    EXPECT_EQ(selectRuns, 1);
    EXPECT_TRUE(playLeaseWhileOpen);
    EXPECT_EQ(d.PlayLeaseTimer(), -1);
    EXPECT_FALSE(d.IsTimerRunning(CBrisnelDlg::TIMER_PLAY_LEASE));
    EXPECT_EQ(d.Session().notifyWindow.load(), d.Id());
    EXPECT_EQ(loadingPages, 1);
    EXPECT_TRUE(boxes.boxes.empty());

    ASSERT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 1u);
    EXPECT_EQ(recorder->Requests(sim::Request::QueueBackupJob)[0].target,
              "/config/tarnwell?starttime=2031,05,13,08,15,00&endtime=2031,05,13,09,30,00&channel=32773");
    ASSERT_TRUE(recorder->LastJob());
    ASSERT_EQ(recorder->LastJob()->total, 1572864u);
    ASSERT_EQ(d.JobList()->GetItemCount(), 1);
    EXPECT_EQ(RowTexts(d, 0), (QStringList{"2031/05/13 08:15:00", "2031/05/13 09:30:00", "1, 3, 16", "1.50 MB"}));
    EXPECT_TRUE(CommandsEnabled(d, true));
    EXPECT_EQ(d.Session().jobs.Count(), 1);
    EXPECT_TRUE(QFileInfo::exists(AnswerFile(JobId(d, 0))));
  });
}

TEST_F(JobListTest, AFailedFileListAddsNoRowAndKeepsRowsWithTheirJobs) {
  const int fault = recorder->AddFault(sim::FaultRule::For(sim::Request::QueueBackupJob, sim::FaultKind::NotFound, 1));
  Run([&](CBrisnelDlg& d) {
    ASSERT_TRUE(Add(d, Span(At(2032, 3, 1, 1, 0, 0), At(2032, 3, 1, 2, 0, 0), {2})));
    ASSERT_EQ(recorder->FaultHits(fault), 1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Failed to download File List"));
    EXPECT_EQ(boxes.boxes[0].title, platform::ApplicationTitle());
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);  // the failed job went from the queue too
    EXPECT_TRUE(CommandsEnabled(d, false));

    // The record list failing is a failed file list as well.
    const int listFault = recorder->AddFault(sim::FaultRule::ForPrefix("/config/backupdownload", sim::FaultKind::NotFound, 1));
    ASSERT_TRUE(Add(d, Span(At(2032, 3, 2, 1, 0, 0), At(2032, 3, 2, 2, 0, 0), {2})));
    EXPECT_EQ(recorder->FaultHits(listFault), 1);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, QStringLiteral("Failed to download File List"));
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);

    // The next job gets row 0 and is job 0: "Remove" takes that job's own file.
    ASSERT_TRUE(Add(d, Span(At(2032, 3, 3, 5, 0, 0), At(2032, 3, 3, 6, 0, 0), {4})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 1);
    EXPECT_EQ(d.JobList()->GetItemText(0, 0), QStringLiteral("2032/03/03 05:00:00"));
    ASSERT_EQ(d.Session().jobs.Count(), 1);
    const QString answer = AnswerFile(JobId(d, 0));
    EXPECT_TRUE(QFileInfo::exists(answer));
    d.JobList()->selectRow(0);
    d.SendCommand(ID_TOOL_REMOVE);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
    EXPECT_FALSE(QFileInfo::exists(answer));
  });
}

TEST_F(JobListTest, SpansOutsideTheCalendarQueueNothing) {
  struct Case {
    const char* name;
    nvr::NvrTime start;
    bool queued;
  };
  const Case cases[] = {
      {"year 1989", At(1989, 5, 13, 8), false},
      {"month 13", At(2033, 13, 1, 8), false},
      {"year 1990, month 12", At(1990, 12, 31, 8), true},
  };
  Run([&](CBrisnelDlg& d) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      recorder->ClearRequests();
      loadingPages = 0;
      nvr::NvrTime end = c.start;
      end.hour += 1;
      choice = Span(c.start, end, {1});
      d.SendCommand(ID_RUN_ADD);
      if (c.queued) {
        EXPECT_TRUE(PumpUntil([&] { return d.JobList()->GetItemCount() == 1; }, 10s));
        EXPECT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 1u);
        EXPECT_EQ(loadingPages, 1);
      } else {
        testing_ui::Pump(100ms);
        EXPECT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 0u);
        EXPECT_EQ(recorder->RequestCount(sim::Request::GetBackupId), 0u);
        EXPECT_EQ(loadingPages, 0);
        EXPECT_EQ(d.Session().jobs.Count(), 0);
      }
      EXPECT_TRUE(boxes.boxes.empty());
      EXPECT_EQ(d.PlayLeaseTimer(), -1);
    }
  });
}

TEST_F(JobListTest, ASecondJobForAListedDateIsRefused) {
  Run([&](CBrisnelDlg& d) {
    ASSERT_TRUE(Add(d, Span(At(2034, 5, 13, 8, 0, 0), At(2034, 5, 13, 9, 0, 0), {1})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 1);
    recorder->ClearRequests();

    // The same day, whatever the span and the channels.
    for (const JobSelection& same : {Span(At(2034, 5, 13, 20, 0, 0), At(2034, 5, 13, 21, 0, 0), {5, 6}),
                                     Span(At(2034, 5, 13, 8, 0, 0), At(2034, 5, 13, 9, 0, 0), {1})}) {
      boxes.boxes.clear();
      choice = same;
      d.SendCommand(ID_TOOL_ADD);
      ASSERT_EQ(boxes.boxes.size(), 1u);
      EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Can not select two records with the same date!"));
      EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Warning"));
      EXPECT_EQ(boxes.boxes[0].owner, d.Id());
      EXPECT_EQ(boxes.boxes[0].type, platform::MB_OK);
    }
    EXPECT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 0u);
    EXPECT_EQ(d.Session().jobs.Count(), 1);

    // The same day number in another month and in another year is fine.
    boxes.boxes.clear();
    ASSERT_TRUE(Add(d, Span(At(2034, 6, 13, 8, 0, 0), At(2034, 6, 13, 9, 0, 0), {1})));
    ASSERT_TRUE(Add(d, Span(At(2035, 5, 13, 8, 0, 0), At(2035, 5, 13, 9, 0, 0), {1})));
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(d.JobList()->GetItemCount(), 3);
    EXPECT_EQ(d.JobList()->GetItemText(1, 0), QStringLiteral("2034/06/13 08:00:00"));
    EXPECT_EQ(d.JobList()->GetItemText(2, 0), QStringLiteral("2035/05/13 08:00:00"));
  });
}

TEST_F(JobListTest, CancellingTheSelectionQueuesNothing) {
  Run([&](CBrisnelDlg& d) {
    choice.reset();
    d.SendCommand(ID_TOOL_ADD);
    EXPECT_EQ(selectRuns, 1);
    EXPECT_TRUE(playLeaseWhileOpen);
    EXPECT_EQ(d.PlayLeaseTimer(), -1);
    EXPECT_FALSE(d.IsTimerRunning(CBrisnelDlg::TIMER_PLAY_LEASE));
    EXPECT_EQ(recorder->RequestCount(sim::Request::GetPlayId), 1u);  // the playback id stays with the session
    EXPECT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 0u);
    EXPECT_EQ(loadingPages, 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
  });
}

TEST_F(JobListTest, RemovingARowRemovesItsJob) {
  Run([&](CBrisnelDlg& d) {
    ASSERT_TRUE(Add(d, Span(At(2036, 1, 1, 8), At(2036, 1, 1, 9), {1})));
    ASSERT_TRUE(Add(d, Span(At(2036, 1, 2, 8), At(2036, 1, 2, 9), {2})));
    ASSERT_TRUE(Add(d, Span(At(2036, 1, 3, 8), At(2036, 1, 3, 9), {3})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 3);
    const int first = JobId(d, 0), second = JobId(d, 1), third = JobId(d, 2);
    EXPECT_NE(first, second);

    // No row selected: nothing goes.
    d.JobList()->clearSelection();
    d.SendCommand(ID_TOOL_REMOVE);
    EXPECT_EQ(d.JobList()->GetItemCount(), 3);
    EXPECT_EQ(d.Session().jobs.Count(), 3);

    // The middle row: its job and its answer file go, the others stay in step.
    d.JobList()->selectRow(1);
    d.SendCommand(ID_TOOL_REMOVE);
    ASSERT_EQ(d.JobList()->GetItemCount(), 2);
    EXPECT_EQ(d.JobList()->GetItemText(0, 2), QStringLiteral("1"));
    EXPECT_EQ(d.JobList()->GetItemText(1, 2), QStringLiteral("3"));
    EXPECT_EQ(JobId(d, 0), first);
    EXPECT_EQ(JobId(d, 1), third);
    EXPECT_FALSE(QFileInfo::exists(AnswerFile(second)));
    EXPECT_TRUE(QFileInfo::exists(AnswerFile(first)));
    EXPECT_TRUE(CommandsEnabled(d, true));

    // The menu's "Remove" does the same; after the last row both commands gray.
    d.JobList()->selectRow(0);
    d.SendCommand(ID_RUN_REMOVE);
    d.JobList()->selectRow(0);
    d.SendCommand(ID_RUN_REMOVE);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
    EXPECT_FALSE(QFileInfo::exists(AnswerFile(first)));
    EXPECT_FALSE(QFileInfo::exists(AnswerFile(third)));
    EXPECT_TRUE(CommandsEnabled(d, false));
  });
}

// "Remove" takes the row the operator clicked, with its job and answer file,
// and nothing else: the other rows keep their jobs and answer files, and no
// row is selected afterwards.
TEST_F(JobListTest, RemoveTakesTheClickedRowAlone) {
  struct Case {
    int rows;
    int clicked;
    unsigned command;
  };
  const Case cases[] = {
      {2, 0, ID_TOOL_REMOVE}, {2, 1, ID_RUN_REMOVE},  {3, 0, ID_TOOL_REMOVE},
      {3, 1, ID_RUN_REMOVE},  {3, 2, ID_TOOL_REMOVE},
  };
  auto read = [](const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  };
  int day = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " rows, row " << c.clicked << " clicked");
    Run([&](CBrisnelDlg& d) {
      for (int r = 0; r < c.rows; ++r, ++day)
        ASSERT_TRUE(Add(d, Span(At(2045, 2, day, 8), At(2045, 2, day, 9), {r + 1})));
      ASSERT_EQ(d.JobList()->GetItemCount(), c.rows);
      std::vector<int> ids;
      std::vector<QStringList> texts;
      std::vector<QByteArray> answers;
      for (int r = 0; r < c.rows; ++r) {
        ids.push_back(JobId(d, r));
        texts.push_back(RowTexts(d, r));
        answers.push_back(read(AnswerFile(ids.back())));
        ASSERT_NE(answers.back(), QByteArray("<missing>"));
      }
      ClickRow(*d.JobList(), c.clicked);
      ASSERT_EQ(d.JobList()->GetItemState(c.clicked, ui::LVIS_SELECTED), ui::LVIS_SELECTED);

      d.SendCommand(c.command);
      EXPECT_FALSE(QFileInfo::exists(AnswerFile(ids[c.clicked])));
      ids.erase(ids.begin() + c.clicked);
      texts.erase(texts.begin() + c.clicked);
      answers.erase(answers.begin() + c.clicked);
      ASSERT_EQ(d.JobList()->GetItemCount(), c.rows - 1);
      ASSERT_EQ(d.Session().jobs.Count(), c.rows - 1);
      for (int r = 0; r < c.rows - 1; ++r) {
        SCOPED_TRACE(testing::Message() << "row " << r << " afterwards");
        EXPECT_EQ(RowTexts(d, r), texts[r]);
        EXPECT_EQ(JobId(d, r), ids[r]);
        EXPECT_EQ(read(AnswerFile(ids[r])), answers[r]);
        EXPECT_EQ(d.JobList()->GetItemState(r, ui::LVIS_SELECTED), 0u);
      }
      EXPECT_TRUE(CommandsEnabled(d, true));
    });
  }
}

TEST_F(JobListTest, AJobFinishedAfterItsJobsWereDroppedAddsNoRow) {
  Run([&](CBrisnelDlg& d) {
    d.PostMessage(nvr::WM_JOB_FINISHED, 1, 0);
    testing_ui::Pump(100ms);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_TRUE(CommandsEnabled(d, false));
  });
}

TEST_F(JobListTest, BackupNeedsASelectedRow) {
  Run([&](CBrisnelDlg& d) {
    d.SendCommand(ID_TOOL_BACKUP);  // an empty list
    ASSERT_TRUE(Add(d, Span(At(2037, 2, 2, 8), At(2037, 2, 2, 9), {1})));
    boxes.boxes.clear();
    recorder->ClearRequests();
    for (const unsigned command : {ID_TOOL_BACKUP, ID_RUN_BACKUP}) {
      d.JobList()->clearSelection();
      d.SendCommand(command);
    }
    ASSERT_EQ(boxes.boxes.size(), 2u);
    for (const auto& box : boxes.boxes) {
      EXPECT_EQ(box.text, QStringLiteral("Please select a record on the list to backup."));
      EXPECT_EQ(box.title, QStringLiteral("Message"));
      EXPECT_EQ(box.owner, d.Id());
    }
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_EQ(recorder->RequestCount(), 0u);
    EXPECT_EQ(d.JobList()->GetItemCount(), 1);
  });
}

TEST_F(JobListTest, CancelledSettingsLeaveRowJobAndBackupIdAndStopTheLease) {
  recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2038/04/04/ch01/a.avi", 7000}});
  Run([&](CBrisnelDlg& d) {
    ASSERT_TRUE(Add(d, Span(At(2038, 4, 4, 8), At(2038, 4, 4, 9), {1})));
    // The job thread has ended: nothing renews the backup id now.
    ASSERT_TRUE(PumpUntil([&] { return d.Session().jobThreadRunning.load() == 0; }));
    d.Session().keepBackupId = 0;
    const int backupId = d.Session().backupId.load();
    ASSERT_GE(backupId, 0);
    std::uint64_t required = 0;
    bool leaseRan = false;
    int keep = -1;
    onSettings = [&](CBackupSettingDlg& s) {
      required = s.m_nRequiredBytes;
      keep = d.Session().keepBackupId.load();
      // The lease's ticks renew the backup id while the dialog is open.
      leaseRan = d.BackupLeaseTimer() != -1 && d.IsTimerRunning(CBrisnelDlg::TIMER_BACKUP_LEASE);
      recorder->ClearRequests();
      EXPECT_TRUE(PumpUntil([&] { return recorder->RequestCount(sim::Request::RenewBackupId) >= 1; }, 3s));
      // A backup id announced meanwhile starts no second timer.
      const int timer = d.BackupLeaseTimer();
      d.SendMessage(nvr::WM_BACKUP_ID_READY);
      EXPECT_EQ(d.BackupLeaseTimer(), timer);
      s.SendCommand(ui::IDCANCEL);
    };
    d.JobList()->selectRow(0);
    d.SendCommand(ID_TOOL_BACKUP);
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_TRUE(leaseRan);
    EXPECT_EQ(keep, 1);
    ASSERT_TRUE(recorder->LastJob());
    EXPECT_EQ(required, recorder->LastJob()->total);
    EXPECT_EQ(progressRuns, 0);
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_FALSE(d.IsTimerRunning(CBrisnelDlg::TIMER_BACKUP_LEASE));
    EXPECT_EQ(d.JobList()->GetItemCount(), 1);
    EXPECT_EQ(d.Session().jobs.Count(), 1);
    EXPECT_EQ(d.Session().backupId.load(), backupId);
    EXPECT_TRUE(CommandsEnabled(d, true));
    recorder->ClearRequests();
    testing_ui::Pump(1500ms);
    EXPECT_EQ(recorder->RequestCount(sim::Request::RenewBackupId), 0u);
  });
}

TEST_F(JobListTest, WithoutABackupIdNoSettingsAreAsked) {
  Run([&](CBrisnelDlg& d) {
    ASSERT_TRUE(Add(d, Span(At(2039, 7, 7, 8), At(2039, 7, 7, 9), {1})));
    ASSERT_TRUE(PumpUntil([&] { return d.Session().jobThreadRunning.load() == 0; }));
    boxes.boxes.clear();
    d.Session().backupId = -1;
    recorder->SetBackupState(sim::BackupState::DailyBackupRunning);
    d.JobList()->selectRow(0);
    d.SendCommand(ID_TOOL_BACKUP);
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_FALSE(d.IsTimerRunning(CBrisnelDlg::TIMER_BACKUP_LEASE));
    EXPECT_EQ(d.Session().keepBackupId.load(), 1);
    ASSERT_EQ(boxes.boxes.size(), 1u);  // the session's own message
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Daily backup on NVR is running."));
    EXPECT_EQ(d.JobList()->GetItemCount(), 1);
    EXPECT_TRUE(CommandsEnabled(d, true));
  });
}

TEST_F(JobListTest, ASuccessfulBackupRemovesTheBackedUpRowAndItsJob) {
  const QString location = dir.filePath(QStringLiteral("media"));
  ASSERT_TRUE(QDir().mkpath(location));
  const QString settingFile = dir.filePath(QStringLiteral("setting.ini"));
  {
    QFile f(settingFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[setting]\n");
  }
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2040/08/01/ch01/a.avi", 3000}});
    ASSERT_TRUE(Add(d, Span(At(2040, 8, 1, 8), At(2040, 8, 1, 9), {1})));
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2040/08/02/ch02/b.avi", 4000},
                                                      {"/rec/2040/08/02/ch02/c.avi", 5000}});
    ASSERT_TRUE(Add(d, Span(At(2040, 8, 2, 8), At(2040, 8, 2, 9), {2})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 2);
    const int firstId = JobId(d, 0), secondId = JobId(d, 1);
    clock.hour = 14;
    clock.minute = 5;
    onSettings = [&](CBackupSettingDlg& s) {
      s.m_settingFile = settingFile;
      s.m_editLocation->setText(location);
      s.SendCommand(ui::IDOK);
    };
    d.JobList()->selectRow(1);
    d.SendCommand(ID_RUN_BACKUP);
    EXPECT_EQ(settingsRuns, 1);
    ASSERT_EQ(progressRuns, 1);
    EXPECT_TRUE(leaseDuringProgress);
    ASSERT_FALSE(boxes.boxes.empty());
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("The backup procedure is finished!"));

    // Only the backed-up row and job are gone; the other one stays in step.
    ASSERT_EQ(d.JobList()->GetItemCount(), 1);
    EXPECT_EQ(d.JobList()->GetItemText(0, 0), QStringLiteral("2040/08/01 08:00:00"));
    ASSERT_EQ(d.Session().jobs.Count(), 1);
    EXPECT_EQ(JobId(d, 0), firstId);
    EXPECT_FALSE(QFileInfo::exists(AnswerFile(secondId)));
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_TRUE(CommandsEnabled(d, true));

    const QString destination = location + QString::asprintf("/backup%.4d%.2d%.2d%.2d%.2d", clock.year, clock.month,
                                                             clock.day, 14, 5);
    EXPECT_EQ(QFileInfo(destination + "/rec/2040/08/02/ch02/b.avi").size(), 4000);
    EXPECT_EQ(QFileInfo(destination + "/rec/2040/08/02/ch02/c.avi").size(), 5000);
    EXPECT_TRUE(QFileInfo::exists(destination + "/rec/2040/08/02/RecordList.db"));
    // Without "Include the Vestrel Program" no companion file is copied.
    EXPECT_FALSE(QFileInfo::exists(destination + "/setting.ini"));
    EXPECT_FALSE(QFileInfo::exists(destination + "/images"));
    // The accepted location is kept for the next time.
    QFile kept(settingFile);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("[setting]\nbackuplocation=") + location.toUtf8() + "\n");

    // The last row: afterwards "Backup" and "Remove" gray.
    clock.minute = 6;
    d.JobList()->selectRow(0);
    d.SendCommand(ID_TOOL_BACKUP);
    EXPECT_EQ(progressRuns, 2);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
    EXPECT_TRUE(CommandsEnabled(d, false));
  });
}

// "Include the Vestrel Program" ticked and the backup folder's disk nearly
// full: the recordings fit, two of the program files do not. After the
// finished message the operator is told so, with the first file that failed
// and why; what was copied is whole and nothing half-written is left.
TEST_F(JobListTest, AFailedCompanionCopyIsToldAfterTheFinishedMessage) {
  auto disk = test_support::MountSmallDiskOrSay(1 << 20);
  if (!disk) GTEST_SKIP() << "needs a private mount namespace (root)";
  const QString bin = platform::ExecutableFolder();
  const QByteArray program(300 * 1024, 'p');
  // The third and the last file of the copy order; the third fails first.
  ASSERT_TRUE(test_support::WriteBytes(bin + "libavcodec.so.54", program));
  ASSERT_TRUE(test_support::WriteBytes(bin + "Vestrel", program));
  ASSERT_TRUE(test_support::WriteBytes(bin + "lang/en.txt", "lang"));
  const QString location = QString::fromStdString(disk->Path());
  ASSERT_TRUE(disk->Fill(128 * 1024));
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2046/03/03/ch01/a.avi", 3000},
                                                      {"/rec/2046/03/03/ch01/b.avi", 4000}});
    ASSERT_TRUE(Add(d, Span(At(2046, 3, 3, 8), At(2046, 3, 3, 9), {1})));
    clock.hour = 15;
    clock.minute = 7;
    onSettings = AcceptLocation(location, /*companion=*/true);
    ClickRow(*d.JobList(), 0);
    boxes.boxes.clear();
    d.SendCommand(ID_TOOL_BACKUP);
    ASSERT_EQ(progressRuns, 1);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);  // the backup itself succeeded

    std::vector<std::string> texts;
    for (const auto& box : boxes.boxes) texts.push_back(box.text.toStdString());
    EXPECT_EQ(texts, (std::vector<std::string>{"The backup procedure is finished!",
                                               "The program files could not all be copied into the backup folder: "
                                               "libavcodec.so.54: No space left on device"}));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].title, platform::ApplicationTitle());

    const QString destination = location + QString::asprintf("/backup%.4d%.2d%.2d%.2d%.2d", clock.year, clock.month,
                                                             clock.day, 15, 7);
    EXPECT_EQ(QFileInfo(destination + "/rec/2046/03/03/ch01/a.avi").size(), 3000);
    EXPECT_EQ(QFileInfo(destination + "/rec/2046/03/03/ch01/b.avi").size(), 4000);
    for (const char* copied : {"setting.ini", "images/x.bmp", "lang/en.txt"})
      EXPECT_EQ(test_support::ReadBytes(destination + "/" + copied), test_support::ReadBytes(bin + copied)) << copied;
    EXPECT_EQ(test_support::FileNames(destination), QStringList({"setting.ini"}));
  });
}

// A job that lists files of the names the program copy writes ("/setting.ini"
// beside its recordings, "/images" as a file). With "Include the Vestrel
// Program" ticked they are refused before anything is fetched and named at
// the end, and the copy, which replaces nothing the backup saved, puts the
// program's own files there; without it they are saved as the recorder sent
// them.
TEST_F(JobListTest, TheProgramCopyReplacesNoFileTheBackupSaved) {
  const QString bin = platform::ExecutableFolder();
  const QString location = dir.filePath(QStringLiteral("media"));
  ASSERT_TRUE(QDir().mkpath(location));
  const std::string recording = "/rec/2048/04/04/ch01/a.avi";
  int minute = 10;
  for (const bool companion : {true, false}) {
    SCOPED_TRACE(companion ? "with the program" : "without it");
    Run([&](CBrisnelDlg& d) {
      recorder->SetJobFiles(std::vector<sim::FileEntry>{{recording, 3000}, {"/setting.ini", 1000}, {"/images", 800}});
      ASSERT_TRUE(Add(d, Span(At(2048, 4, 4, 8), At(2048, 4, 4, 9), {1})));
      clock.hour = 16;
      clock.minute = ++minute;
      onSettings = AcceptLocation(location, companion);
      ClickRow(*d.JobList(), 0);
      boxes.boxes.clear();
      recorder->ClearRequests();
      d.SendCommand(ID_TOOL_BACKUP);
      ASSERT_EQ(d.JobList()->GetItemCount(), 0);
      const QString destination = location + QString::asprintf("/backup%.4d%.2d%.2d%.2d%.2d", clock.year,
                                                               clock.month, clock.day, 16, minute);
      EXPECT_EQ(test_support::ReadBytes(destination + QString::fromStdString(recording)),
                QByteArray::fromStdString(sim::ContentBytes(recording, 0, 3000)));
      std::vector<std::string> texts;
      for (const auto& box : boxes.boxes) texts.push_back(box.text.toStdString());
      if (companion) {
        EXPECT_EQ(texts, (std::vector<std::string>{
                             FinishedWithoutText(2, {{"/setting.ini", RefusedFile::kRefusedProgramName},
                                                     {"/images", RefusedFile::kRefusedProgramName}})
                                 .toStdString()}));
        EXPECT_EQ(recorder->RequestCount(sim::Request::Download), 2u);  // the record list and the recording
        for (const char* copied : {"setting.ini", "images/x.bmp"})
          EXPECT_EQ(test_support::ReadBytes(destination + "/" + copied), test_support::ReadBytes(bin + copied))
              << copied;
      } else {
        EXPECT_EQ(texts, (std::vector<std::string>{"The backup procedure is finished!"}));
        EXPECT_EQ(test_support::ReadBytes(destination + "/setting.ini"),
                  QByteArray::fromStdString(sim::ContentBytes("/setting.ini", 0, 1000)));
        EXPECT_EQ(test_support::ReadBytes(destination + "/images"),
                  QByteArray::fromStdString(sim::ContentBytes("/images", 0, 800)));
      }
    });
  }
}

// "Backup" of a job none of whose files can be saved, with "Include the Vestrel
// Program" ticked: one box says so, and the row, its job and its answer file
// (the only list of what the recorder offered) stay for the operator to
// remove; no program files are copied into a backup folder that never came to be.
TEST_F(JobListTest, ABackupThatCanSaveNothingKeepsItsRowAndCopiesNoProgram) {
  sim::Config config;
  config.record_root = "/rec/..";
  recorder = std::make_unique<sim::SimRecorder>(config);
  ASSERT_TRUE(recorder->Start()) << recorder->Error();
  const QString location = dir.filePath(QStringLiteral("media"));
  ASSERT_TRUE(QDir().mkpath(location));
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2047/01/02/ch02/", 10}});
    ASSERT_TRUE(Add(d, Span(At(2047, 1, 2, 8), At(2047, 1, 2, 9), {2})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 1);
    const int id = JobId(d, 0);
    onSettings = AcceptLocation(location, /*companion=*/true);
    ClickRow(*d.JobList(), 0);
    boxes.boxes.clear();
    recorder->ClearRequests();
    d.SendCommand(ID_TOOL_BACKUP);
    // The progress dialog ends before it is shown: it has nothing to fetch.
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              NothingSavedText(2, {{"/rec/../2047/01/02/RecordList.db", RefusedFile::kRefusedName},
                                   {"/rec/2047/01/02/ch02/", RefusedFile::kRefusedName}}));
    EXPECT_EQ(recorder->RequestCount(sim::Request::Download), 0u);
    EXPECT_EQ(d.JobList()->GetItemCount(), 1);
    ASSERT_EQ(d.Session().jobs.Count(), 1);
    EXPECT_EQ(JobId(d, 0), id);
    EXPECT_TRUE(QFileInfo::exists(AnswerFile(id)));
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_TRUE(CommandsEnabled(d, true));
    EXPECT_TRUE(QDir(location).isEmpty());
    // The operator can still take the row away.
    d.SendCommand(ID_TOOL_REMOVE);
    EXPECT_EQ(d.JobList()->GetItemCount(), 0);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
  });
}

// The backup lease fails while "Backup Setting" is open: the session leaves
// the recorder and drops its jobs. OK then says that the job went with the
// connection, not that a file list failed to arrive, and runs no backup.
TEST_F(JobListTest, AJobLostWithTheConnectionDuringTheSettingsIsToldSo) {
  const QString location = dir.filePath(QStringLiteral("media"));
  ASSERT_TRUE(QDir().mkpath(location));
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2047/02/03/ch01/a.avi", 3000}});
    ASSERT_TRUE(Add(d, Span(At(2047, 2, 3, 8), At(2047, 2, 3, 9), {1})));
    onSettings = [&](CBackupSettingDlg& s) {
      recorder->ExpireBackupId(d.Session().backupId.load());
      ASSERT_TRUE(PumpUntil([&] { return d.JobList()->GetItemCount() == 0 && d.Session().jobs.Count() == 0; }, 5s));
      AcceptLocation(location, /*companion=*/false)(s);
    };
    ClickRow(*d.JobList(), 0);
    boxes.boxes.clear();
    d.SendCommand(ID_TOOL_BACKUP);
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_EQ(progressRuns, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, JobLostWithConnectionText());
    EXPECT_EQ(boxes.boxes[0].title, platform::ApplicationTitle());
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_TRUE(CommandsEnabled(d, false));
    EXPECT_TRUE(QDir(location).isEmpty());
  });
}

TEST_F(JobListTest, AnUnfinishedBackupKeepsItsRowAndStopsTheLease) {
  const QString location = dir.filePath(QStringLiteral("media"));
  ASSERT_TRUE(QDir().mkpath(location));
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2041/09/09/ch01/a.avi", 400000}});
    ASSERT_TRUE(Add(d, Span(At(2041, 9, 9, 8), At(2041, 9, 9, 9), {1})));
    recorder->SetDownloadRate(50000);
    onSettings = AcceptLocation(location, /*companion=*/true);
    onProgress = [&](CProcessDialog& p) { p.SendCommand(ui::IDCANCEL); };
    d.JobList()->selectRow(0);
    d.SendCommand(ID_TOOL_BACKUP);
    EXPECT_EQ(progressRuns, 1);
    EXPECT_TRUE(leaseDuringProgress);
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
    EXPECT_EQ(d.JobList()->GetItemCount(), 1);
    EXPECT_EQ(d.Session().jobs.Count(), 1);
    EXPECT_TRUE(CommandsEnabled(d, true));
    // No companion copy after a backup that did not finish.
    for (const QString& made : QDir(location).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
      EXPECT_FALSE(QFileInfo::exists(location + "/" + made + "/setting.ini")) << made.toStdString();
  });
}

TEST_F(JobListTest, ScreenshotOfTheMainWindowWithJobs) {
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2042/05/13/ch01/081500.avi", 734003200}});
    ASSERT_TRUE(Add(d, Span(At(2042, 5, 13, 8, 15, 0), At(2042, 5, 13, 9, 30, 0), {1, 3, 16})));
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2042/05/14/ch02/000000.avi", 5400000000}});
    ASSERT_TRUE(Add(d, Span(At(2042, 5, 14, 0, 0, 0), At(2042, 5, 14, 24, 0, 0), {2})));
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2042/06/01/ch01/120000.avi", 48234496}});
    ASSERT_TRUE(Add(d, Span(At(2042, 6, 1, 12, 0, 0), At(2042, 6, 1, 12, 30, 0), {1, 2, 3, 4, 5, 6, 7, 8})));
    d.JobList()->selectRow(1);
    testing_ui::Pump(100ms);
    QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
    EXPECT_TRUE(d.Window()->grab().save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/main_window_jobs.png")));
  });
}

TEST_F(JobListTest, AddRunsTheSelectionDialogUnderThePlaybackLease) {
  SetSelectDialogRunner(nullptr);  // the real dialog
  Run([&](CBrisnelDlg& d) {
    bool lease = false;
    nvr::NvrSession* given = nullptr;
    onSelect = [&](CSelectDialog& s) {
      given = s.m_pSession;
      lease = d.PlayLeaseTimer() != -1 && d.IsTimerRunning(CBrisnelDlg::TIMER_PLAY_LEASE);
      s.SendCommand(ui::IDCANCEL);
    };
    d.SendCommand(ID_TOOL_ADD);
    EXPECT_EQ(selectRuns, 1);
    EXPECT_EQ(given, &d.Session());
    EXPECT_TRUE(lease);
    EXPECT_EQ(d.PlayLeaseTimer(), -1);
    EXPECT_EQ(recorder->RequestCount(sim::Request::QueueBackupJob), 0u);
    EXPECT_EQ(d.Session().jobs.Count(), 0);
  });
}

// "Add" gives up waiting after about 5 s while its job's file list is still
// on the way; a backup started meanwhile keeps renewing its backup id after
// that job thread has ended.
TEST_F(JobListTest, AJobThreadEndingDuringABackupLeavesItsRenewalsOn) {
  const QString location = dir.filePath(QStringLiteral("media"));
  ASSERT_TRUE(QDir().mkpath(location));
  Run([&](CBrisnelDlg& d) {
    recorder->SetJobFiles(std::vector<sim::FileEntry>{{"/rec/2043/03/03/ch01/a.avi", 2000000}});
    ASSERT_TRUE(Add(d, Span(At(2043, 3, 3, 8), At(2043, 3, 3, 9), {1})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 1);

    // The second job's answer file and record list come slowly, each within
    // the receive time-out, together well after the loading page's limit.
    const std::string slowList = "/config/backupdownload?id=" + std::to_string(d.Session().backupId.load()) +
                                 "&path=" + recorder->RecordListPath(sim::Date{2043, 3, 4});
    for (sim::FaultRule slow : {sim::FaultRule::For(sim::Request::QueueBackupJob, sim::FaultKind::Delay, 1),
                                sim::FaultRule::ForPrefix(slowList, sim::FaultKind::Delay, 1)}) {
      slow.stall_ms = 4000;
      recorder->AddFault(slow);
    }
    choice = Span(At(2043, 3, 4, 8), At(2043, 3, 4, 9), {1});
    d.SendCommand(ID_TOOL_ADD);
    ASSERT_EQ(d.Session().jobThreadRunning.load(), 1);

    recorder->SetDownloadRate(50000);
    onSettings = AcceptLocation(location, /*companion=*/false);
    bool ranDuringDownload = false;
    size_t renewalsAfterJobThread = 0;
    onProgress = [&](CProcessDialog& p) {
      EXPECT_TRUE(PumpUntil([&] { return d.Session().jobThreadRunning.load() == 0; }, 10s));
      ranDuringDownload = p.HasWindow() && !p.HasEnded();
      const size_t before = recorder->RequestCount(sim::Request::RenewBackupId);
      testing_ui::Pump(2500ms);
      renewalsAfterJobThread = recorder->RequestCount(sim::Request::RenewBackupId) - before;
      p.SendCommand(ui::IDCANCEL);
    };
    d.JobList()->selectRow(0);
    d.SendCommand(ID_TOOL_BACKUP);
    EXPECT_EQ(progressRuns, 1);
    EXPECT_TRUE(ranDuringDownload);
    EXPECT_GE(renewalsAfterJobThread, 2u);
    EXPECT_EQ(d.BackupLeaseTimer(), -1);
  });
}

// The job thread reports a finished job by a message that the window handles
// later; a row removed in between must not shift the finished job's row.
TEST_F(JobListTest, ARowRemovedBeforeAFinishedJobIsHandledKeepsRowsWithTheirJobs) {
  Run([&](CBrisnelDlg& d) {
    ASSERT_TRUE(Add(d, Span(At(2044, 1, 1, 8), At(2044, 1, 1, 9), {1})));
    ASSERT_TRUE(Add(d, Span(At(2044, 1, 2, 8), At(2044, 1, 2, 9), {2})));
    ASSERT_EQ(d.JobList()->GetItemCount(), 2);
    const int second = JobId(d, 1);
    bool posted = false;
    onLoading = [&](CLoadingPage&) {
      // The window handles nothing while this waits: the job thread has
      // posted its report when it ends, and the report is still queued.
      for (int i = 0; i < 150 && d.Session().jobThreadRunning.load() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      posted = d.Session().jobThreadRunning.load() == 0 && d.JobList()->GetItemCount() == 2;
      d.JobList()->selectRow(0);
      d.SendCommand(ID_TOOL_REMOVE);
    };
    choice = Span(At(2044, 1, 3, 8), At(2044, 1, 3, 9), {3});
    d.SendCommand(ID_TOOL_ADD);
    onLoading = nullptr;
    testing_ui::Pump(300ms);
    EXPECT_TRUE(posted);
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(d.Session().jobs.Count(), 2);
    ASSERT_EQ(d.JobList()->GetItemCount(), 2);
    EXPECT_EQ(JobId(d, 0), second);
    for (int row = 0; row < 2; ++row) {
      nvr::BackupJob job;
      ASSERT_TRUE(d.Session().GetJob(&job, row));
      EXPECT_EQ(RowTexts(d, row), Texts(MakeJobRowTexts(job.start, job.end, job.channelMask, job.totalSize))) << row;
    }
    EXPECT_EQ(d.JobList()->GetItemText(1, 0), QStringLiteral("2044/01/03 08:00:00"));
    EXPECT_TRUE(CommandsEnabled(d, true));
  });
}
