// The main window's job list and its backup command: "Add" queues a span
// picked in the selection dialog as a recorder-side job, a job whose file
// list arrived becomes a row, "Remove" takes rows with their jobs, and
// "Backup" downloads the selected row's job into a new dated folder.
//
// Rows stand for the session's queued jobs by position: row i is job i. The
// job thread drops a job whose file list failed before it reports, so jobs
// without a row are only those still being fetched, at the end of the queue.
#include <memory>
#include <vector>

#include "app/backup_destination.h"
#include "app/backup_messages.h"
#include "app/backup_setting_dlg.h"
#include "app/brisnel_dlg.h"
#include "app/companion_copy.h"
#include "app/job_rows.h"
#include "app/loading_page.h"
#include "app/process_dialog.h"
#include "app/select_dialog_runner.h"
#include "platform/core/local_time.h"
#include "platform/core/message_box.h"
#include "res/resource.h"

namespace ui = platform::ui;

namespace {

// The session's backup span, ended on every way out of the backup command.
class BackupSpan {
 public:
  explicit BackupSpan(nvr::NvrSession& session) : session_(session) { session_.BeginBackup(); }
  ~BackupSpan() { session_.EndBackup(); }
  BackupSpan(const BackupSpan&) = delete;
  BackupSpan& operator=(const BackupSpan&) = delete;

 private:
  nvr::NvrSession& session_;
};

}  // namespace

void CBrisnelDlg::OnAddJob() {
  JobSelection selection;
  // From now on the session's job and backup-id messages come here.
  m_session.notifyWindow = Id();
  m_session.GetPlayId();
  if (m_nPlayLeaseTimer == -1) {
    const unsigned id = SetTimer(TIMER_PLAY_LEASE, kLeasePeriodMs);
    if (id != 0) m_nPlayLeaseTimer = static_cast<int>(id);
  }
  const int result = RunSelectDialog(&m_session, &selection);
  // The playback lease is renewed exactly while the selection dialog is open.
  StopPlayLease();
  if (result != ui::IDOK || !HasWindow() || HasEnded()) return;

  const std::uint32_t mask = ChannelMaskFromFlags(selection.channelFlags);
  const nvr::NvrTime start = selection.startTime;
  const nvr::NvrTime end = selection.endTime;
  if (!SelectionMayBeQueued(start)) return;

  // One job per calendar day among the listed jobs.
  const int rows = m_listJobs ? m_listJobs->GetItemCount() : 0;
  for (int j = 0; j < rows; ++j) {
    nvr::BackupJob job;
    if (!m_session.GetJob(&job, j)) continue;
    if (SameStartDate(job.start, start)) {
      platform::ShowMessageBox(Id(), QStringLiteral("Can not select two records with the same date!"),
                               QStringLiteral("Warning"));
      return;
    }
  }

  CLoadingPage page;
  m_session.jobPending = 1;  // before the job is queued: its thread clears it
  page.m_pFlag = &m_session.jobPending;
  m_session.QueueNvrBackup(start, end, mask);
  page.DoModal();
}

void CBrisnelDlg::AddJobRow(int jobId) {
  if (!m_listJobs) return;
  const int row = m_listJobs->GetItemCount();
  nvr::NvrTime start;
  nvr::NvrTime end;
  std::uint32_t mask = 0;
  std::int64_t size = 0;
  {
    // Looked up now, not where the job thread saw it: rows removed since
    // then moved it forward. It is the oldest job without a row, so it stands
    // at the row count; a job that is gone (the jobs were dropped meanwhile)
    // or that has its row already gets none.
    std::lock_guard<std::recursive_mutex> hold(m_session.jobs.Lock());
    if (m_session.PositionOf(jobId) != row) return;
    if (!m_session.GetJobInfo(row, &start, &end, &mask, &size)) return;
  }
  const JobRowTexts texts = MakeJobRowTexts(start, end, mask, size);
  m_listJobs->InsertItem(row, texts.startTime);
  m_listJobs->SetItemText(row, 1, texts.endTime);
  m_listJobs->SetItemText(row, 2, texts.camera);
  m_listJobs->SetItemText(row, 3, texts.diskSize);
  RefreshJobCommands();
}

void CBrisnelDlg::OnMenuRemove() { OnRemoveJob(); }

void CBrisnelDlg::OnRemoveJob() {
  if (m_listJobs) {
    // Backwards, so the rows still to be visited keep their indices.
    for (int i = m_listJobs->GetItemCount() - 1; i >= 0; --i) {
      if ((m_listJobs->GetItemState(i, ui::LVIS_SELECTED) & ui::LVIS_SELECTED) == 0) continue;
      m_listJobs->DeleteItem(i);
      m_session.RemoveJob(i);
    }
  }
  RefreshJobCommands();
}

void CBrisnelDlg::RefreshJobCommands() {
  const bool enabled = JobCommandsEnabled(m_listJobs ? m_listJobs->GetItemCount() : 0);
  const unsigned menuFlags = ui::MF_BYCOMMAND | (enabled ? ui::MF_ENABLED : ui::MF_GRAYED | ui::MF_DISABLED);
  if (m_pMenu != nullptr) {
    m_pMenu->EnableMenuItem(ID_RUN_BACKUP, menuFlags);
    m_pMenu->EnableMenuItem(ID_RUN_REMOVE, menuFlags);
  }
  for (const unsigned id : {ID_TOOL_REMOVE, ID_TOOL_BACKUP}) {
    const unsigned state = m_toolBar.GetButtonState(id);
    m_toolBar.SetButtonState(id, enabled ? state & ~ui::TBBS_DISABLED
                                         : (state & ~ui::TBBS_PRESSED) | ui::TBBS_DISABLED);
    m_toolBar.Invalidate();
  }
}

void CBrisnelDlg::OnMenuBackup() { OnBackup(); }

void CBrisnelDlg::OnBackup() {
  std::vector<int> selected;
  const int rows = m_listJobs ? m_listJobs->GetItemCount() : 0;
  for (int i = 0; i < rows; ++i)
    if (m_listJobs->GetItemState(i, ui::LVIS_SELECTED) & ui::LVIS_SELECTED) selected.push_back(i);
  if (selected.empty()) {
    platform::ShowMessageBox(Id(), QStringLiteral("Please select a record on the list to backup."),
                             QStringLiteral("Message"));
    return;
  }

  auto settings = std::make_unique<CBackupSettingDlg>();
  std::uint64_t required = 0;
  for (const int row : selected) {
    std::int64_t size = 0;
    if (m_session.GetJobInfo(row, nullptr, nullptr, nullptr, &size)) required += static_cast<std::uint64_t>(size);
  }
  settings->m_nRequiredBytes = required;

  if (m_session.backupId.load() < 0) m_session.AcquireBackupId();
  // Sets the keep-backup-id flag; until the command ends a job thread that
  // ends meanwhile leaves it set.
  const BackupSpan span(m_session);
  if (m_nBackupLeaseTimer == -1) {
    const unsigned id = SetTimer(TIMER_BACKUP_LEASE, kLeasePeriodMs);
    if (id != 0) m_nBackupLeaseTimer = static_cast<int>(id);
  }
  if (m_session.backupId.load() < 0) {
    settings.reset();
    StopBackupLease();
    return;
  }

  if (settings->DoModal() != ui::IDOK) {
    StopBackupLease();
    settings.reset();
    RefreshJobCommands();
    return;
  }

  // The job the row stands for now: only that job counts as backed up, even
  // if the list changed while the downloads ran (a failed renewal drops it).
  const int row = selected.front();
  nvr::BackupJob backedUp;
  if (!m_session.GetJob(&backedUp, row)) {
    // A renewal failed while the settings were open: the session left the
    // recorder and dropped its jobs, whose file lists had arrived.
    platform::FrameworkMessageBox(JobLostWithConnectionText());
    StopBackupLease();
    settings.reset();
    RefreshJobCommands();
    return;
  }

  auto progress = std::make_unique<CProcessDialog>();
  const QString destination = BackupDestination(settings->m_strLocation, platform::CurrentLocalTime());
  progress->m_strDestination = destination;
  progress->m_rowQueue.Push(std::make_unique<int>(row));
  progress->m_pSession = &m_session;
  // What the program copy will write must not replace a file the backup saved.
  if (settings->m_bIncludeCompanion == 1) progress->m_programNames = CompanionNames();

  if (progress->DoModal() == ui::IDOK) {
    for (int k = progress->m_rowQueue.Count() - 1; k >= 0; --k) {
      const int index = progress->m_rowQueue.ValueAt(k, -1);
      nvr::BackupJob now;
      if (!m_session.GetJob(&now, index) || now.id != backedUp.id) continue;
      if (m_listJobs) m_listJobs->DeleteItem(index);
      m_session.RemoveJob(index);
    }
    if (settings->m_bIncludeCompanion == 1) {
      // The recordings are in place and the operator has been told so; a
      // backup folder that will not play elsewhere must not pass in silence.
      CompanionCopyFailure failure;
      if (::CopyCompanionFiles(destination, &failure) == 0)
        platform::FrameworkMessageBox(CompanionCopyFailureText(failure));
    }
  }
  StopBackupLease();
  progress.reset();

  settings.reset();
  RefreshJobCommands();
}
