#include "app/process_dialog.h"

#include <QAbstractItemView>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/backup_messages.h"
#include "nvr/nvr_messages.h"
#include "platform/core/files.h"
#include "platform/core/message_box.h"
#include "res/resource_tables.h"

namespace ui = platform::ui;

namespace {

const QString kPause = QStringLiteral("Pause");
const QString kResume = QStringLiteral("Resume");

// The animation's place in the dialog's client area, in pixels.
const QRect kAnimationRect(QPoint(280, 40), QPoint(630 - 1, 360 - 1));

// The file list shows the rows of the dialog's own list, made when shown, so
// an answer of a million lines costs only its records.
ui::DialogTemplate WithOwnerDataList(ui::DialogTemplate dialog) {
  int style = ui::kTabStop | ui::kBorder;
  for (const ui::ControlTemplate& c : dialog.controls)
    if (c.id == IDC_LIST_FILES) style = static_cast<int>(c.style);
  dialog.makers[IDC_LIST_FILES] = [style](QWidget* parent) {
    auto* list = new ui::VirtualListView(parent, IDC_LIST_FILES);
    list->setFrameShape((style & ui::kBorder) ? QFrame::StyledPanel : QFrame::NoFrame);
    list->setFocusPolicy((style & ui::kTabStop) ? Qt::StrongFocus : Qt::NoFocus);
    return list;
  };
  return dialog;
}

}  // namespace

CProcessDialog::CProcessDialog() : Dialog(WithOwnerDataList(res::Dialog(IDD_PROCESS))) {
  MapCommand(IDC_BTN_PAUSE_RESUME, [this] { OnPauseResume(); });
}

// The window (and OnDestroy, which stops the worker) is gone before this runs;
// the task's own destructor joins a worker that may still be ending.
CProcessDialog::~CProcessDialog() = default;

void CProcessDialog::DoDataExchange() {
  DDX_Control(ui::IDCANCEL, m_btnCancel);
  DDX_Control(IDC_BTN_PAUSE_RESUME, m_btnPauseResume);
  DDX_Control(IDC_LIST_FILES, m_listFiles);
}

bool CProcessDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  SetWindowText(QStringLiteral("Backup"));
  if (m_listFiles) {
    m_listFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listFiles->SetExtendedStyle(m_listFiles->ExtendedStyle() | ui::LVS_EX_GRIDLINES | ui::LVS_EX_FULLROWSELECT);
    m_listFiles->InsertColumn(0, QStringLiteral("Number"), ui::LVCFMT_LEFT, 50);
    m_listFiles->InsertColumn(1, QStringLiteral("File Name"), ui::LVCFMT_LEFT, 290);
    m_listFiles->InsertColumn(2, QStringLiteral("Size"), ui::LVCFMT_RIGHT, 100);
    m_listFiles->InsertColumn(3, QStringLiteral("Status"), ui::LVCFMT_LEFT, 80);
  }

  // Every queued job's rows: its record list, then its files. A job that is
  // gone or whose answer file lists nothing cannot be backed up at all.
  m_files.SetDestination(m_strDestination);
  m_files.SetProgramNames(m_programNames);
  bool listed = m_pSession != nullptr && m_rowQueue.Count() > 0;
  for (int i = 0; listed && i < m_rowQueue.Count(); ++i) {
    const int jobRow = m_rowQueue.ValueAt(i, -1);
    nvr::BackupJob job;
    listed = m_pSession->GetJob(&job, jobRow) &&
             m_files.AddJobAnswerFile(platform::ExecutableFolder() + QString::asprintf("%.6d.txt", job.id), job.start,
                                      platform::ExecutableFolder());
  }
  if (!listed) {
    platform::FrameworkMessageBox(QStringLiteral("Failed to download File List"));
    EndDialog(ui::IDCANCEL);
    return true;
  }
  if (m_listFiles) {
    m_listFiles->SetTextSource([this](int row, int column) -> QString {
      switch (column) {
        case 0: return ProcessFileList::NumberText(row);
        case 1: return m_files.LocalPath(row);
        case 2: return ProcessFileList::SizeText(m_files.Size(row));
        case 3: return m_files.Status(row);
        default: return QString();
      }
    });
    m_listFiles->SetItemCount(m_files.Count());
  }

  m_pAnimate = new ui::AnimateCtrl(Client(), IDC_ANIMATE_COPY, kAnimationRect, /*transparent=*/true);
  m_pAnimate->Open(m_animationPath);
  PlayAnimation();

  m_task.notifyWindow = Id();
  m_task.SetConnection(m_pSession->GetHost(), m_pSession->GetUser(), m_pSession->GetPassword(),
                       m_pSession->GetPort(), 0);
  StartFile(0);
  return true;
}

void CProcessDialog::SetRowStatus(int row, const char* status) {
  m_files.SetStatus(row, QString::fromLatin1(status));
  if (m_listFiles) m_listFiles->RedrawItems(row, row);
}

void CProcessDialog::PlayAnimation() {
  if (m_pAnimate) m_pAnimate->Play(0, -1, -1);
}

void CProcessDialog::StopAnimation() {
  if (m_pAnimate) m_pAnimate->Stop();
}

bool CProcessDialog::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == nvr::WM_DOWNLOAD_FINISHED) OnFileFinished();
  return Dialog::OnWndMsg(msg, wParam, lParam);
}

void CProcessDialog::AddFileRow(const QString& recorderPath, std::int64_t size) {
  m_files.AddFileRow(recorderPath, size);
  if (m_listFiles) m_listFiles->SetItemCount(m_files.Count());
}

void CProcessDialog::StartFile(int row) {
  // A path that would leave the backup folder is never requested or written:
  // its row reads "failed" and the backup goes on with the next one.
  row = NextRowToFetch(row);
  if (row >= m_files.Count()) {
    Finish();
    return;
  }
  m_task.rowIndex = row;
  m_bPausePressed = false;
  m_task.SetLocalPath(m_files.LocalPath(row));
  m_task.SetUrl(ProcessFileList::RequestFor(m_pSession->backupId.load(), ToRecorderPath(m_task.GetLocalPath())));
  SetRowStatus(row, ProcessFileList::kDownload);
  if (!m_task.IsThreadActive()) m_task.Start();
}

int CProcessDialog::NextRowToFetch(int from) {
  from = std::max(from, 0);
  const int row = m_files.NextRowToFetch(from);
  if (m_listFiles && row > from) m_listFiles->RedrawItems(from, row - 1);
  return row;
}

void CProcessDialog::Finish() {
  // "Finished" only when every file is still there as it arrived; the lost
  // ones are fetched again, all after one "Resume".
  const std::vector<int> lost = m_files.LostRows();
  if (!lost.empty()) {
    QStringList paths;
    for (const int row : lost) {
      SetRowStatus(row, ProcessFileList::kFailed);
      if (paths.size() < kLostPathsShown) paths << m_files.LocalPath(row);
    }
    m_task.rowIndex = lost.front();
    StopOnFailure(LostFilesText(int(lost.size()), paths));
    return;
  }
  StopAnimation();
  // Refused files can never arrive; the operator learns which are missing.
  const int refused = m_files.RefusedCount();
  const std::vector<RefusedFile> refusedPaths = m_files.RefusedFiles(kFinishedWithoutPathsShown);
  if (m_files.NothingToFetch()) {
    // Nothing was saved, so nothing was backed up: the row, its job and its
    // answer file stay for the operator to remove, and no program files go
    // into a backup folder that was never made.
    platform::ShowMessageBox(Id(), NothingSavedText(refused, refusedPaths), QStringLiteral("Warning"));
    EndDialog(ui::IDCANCEL);
    return;
  }
  if (refused > 0)
    platform::ShowMessageBox(Id(), FinishedWithoutText(refused, refusedPaths, m_files.RefusedARecordList()),
                             QStringLiteral("Warning"));
  else
    platform::ShowMessageBox(Id(), QStringLiteral("The backup procedure is finished!"), QStringLiteral("Message"));
  EndDialog(ui::IDOK);
}

void CProcessDialog::StopOnFailure(const QString& message) {
  StopAnimation();
  if (!message.isEmpty()) platform::FrameworkMessageBox(message);
  m_pSession->keepBackupId = 0;
  if (m_btnPauseResume) m_btnPauseResume->setText(kResume);
  m_task.state = nvr::kDownloadPauseRequested;
}

void CProcessDialog::OnFileFinished() {
  // A report of a run that a resume has already replaced is stale.
  if (!HasWindow() || HasEnded() || (m_task.IsThreadActive() && m_task.running.load() != 0)) return;
  const int row = m_task.rowIndex;
  const int state = m_task.state.load();
  if (state == nvr::kDownloadPauseRequested) {
    m_task.Join();
    SetRowStatus(row, ProcessFileList::kPause);
    StopAnimation();
    m_pSession->PingBackupId();
    return;
  }
  const QString localPath = m_files.LocalPath(row);
  bool arrived = state == nvr::kDownloadComplete;
  // A file the backup folder can never take (its name too long there, a file
  // where its folder must be, a folder where it must be) would fail on every
  // "Resume": it is passed over, and the end names it with the reason.
  const bool passedOver = !arrived && ProcessFileList::CanNeverBeSaved(m_task.fileError.load());
  QString failure;  // what the operator is told when the file did not arrive
  if (passedOver) {
    m_files.PassOver(row, m_task.fileError.load());
    SetRowStatus(row, ProcessFileList::kFailed);
  } else if (arrived) {
    SetRowStatus(row, ProcessFileList::kComplete);
    // The day's record list counts as arrived only with its clamped copy in
    // place (or none to put there).
    int copyError = 0;
    if (!m_files.ClampedSource(row).isEmpty() && !CopyClampedRecordList(localPath, &copyError)) {
      SetRowStatus(row, ProcessFileList::kFailed);
      arrived = false;
      failure = NotSavedText(copyError, localPath);
    } else {
      m_files.SetArrivedSize(row, QFileInfo(localPath).size());
    }
  } else {
    SetRowStatus(row, ProcessFileList::kFailed);
  }

  m_task.Stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(m_nRestBetweenFilesMs));

  if (!arrived && !passedOver) {
    if (state != nvr::kDownloadComplete)
      failure = DownloadFailureText(m_task.httpStatus.load(), m_task.bodyBroken.load() != 0, m_task.fileError.load(),
                                    localPath);
    StopOnFailure(failure);
    return;
  }
  if (m_bPausePressed) {
    // Paused between two files: the next one starts on "Resume".
    const int next = NextRowToFetch(row + 1);
    if (next < m_files.Count()) {
      m_task.rowIndex = next;
      StopAnimation();
      m_task.state = nvr::kDownloadPauseRequested;
      return;
    }
  }
  // Rows fetched again after a loss are followed by the first one still missing.
  StartFile(row + 1);
}

bool CProcessDialog::CopyClampedRecordList(const QString& localPath, int* error) {
  return PutClampedRecordList(m_files.ClampedSource(m_task.rowIndex), localPath, error) != ClampedCopy::Failed;
}

void CProcessDialog::OnPauseResume() {
  if (m_pSession == nullptr || m_files.Count() == 0) return;
  if (m_task.state.load() == nvr::kDownloadPauseRequested) {
    if (m_task.IsThreadActive()) return;  // still pausing: the worker has not reported yet
    const int r = m_pSession->QueryBackupId();
    const char* refusal = nullptr;
    if (r == 0)
      refusal = "Failed to Connection!";
    else if (r == -1)
      refusal = "Backup is interrupted because daily backup procedure on NVR is running";
    else if (r == -2 || r == -3)
      refusal = "Backup is interrupted because another manual backup procedure is running";
    if (refusal != nullptr) {
      m_pSession->keepBackupId = 0;
      platform::FrameworkMessageBox(QString::fromLatin1(refusal));
      return;
    }
    PlayAnimation();
    if (m_btnPauseResume) m_btnPauseResume->setText(kPause);
    m_pSession->keepBackupId = 1;
    // The same row again from its first byte, asked with the backup id of now.
    StartFile(m_task.rowIndex);
    return;
  }
  m_pSession->keepBackupId = 0;
  if (m_btnPauseResume) m_btnPauseResume->setText(kResume);
  // Only a running file can be paused; one that has arrived (or arrives
  // before the worker sees the pause) stays complete, and the next one waits.
  int running = nvr::kDownloadRunningOrFailed;
  m_task.state.compare_exchange_strong(running, nvr::kDownloadPauseRequested);
  m_bPausePressed = true;
}

void CProcessDialog::OnDestroy() {
  Dialog::OnDestroy();
  // Stop the worker and wait for it: it removes its partial file on the way out.
  m_task.Stop();
}
