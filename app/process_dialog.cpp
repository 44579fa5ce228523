#include "app/process_dialog.h"

#include <QAbstractItemView>
#include <QFileInfo>

#include <chrono>
#include <thread>

#include "platform/core/app_messages.h"
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
  bool listed = m_pSession != nullptr && m_rowQueue.Count() > 0;
  for (int i = 0; listed && i < m_rowQueue.Count(); ++i) {
    int jobRow = -1;
    {
      std::lock_guard<std::recursive_mutex> hold(m_rowQueue.Lock());
      if (const int* index = m_rowQueue.At(i)) jobRow = *index;
    }
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
  if (msg == platform::WM_DOWNLOAD_FINISHED) OnFileFinished();
  return Dialog::OnWndMsg(msg, wParam, lParam);
}

void CProcessDialog::StartFile(int row) {
  if (row < 0 || row >= m_files.Count()) return;
  m_task.rowIndex = row;
  m_bPausePressed = false;
  if (!m_files.IsSafe(row)) {
    // A path that would leave the backup folder is never requested or written.
    SetRowStatus(row, ProcessFileList::kFailed);
    StopOnFailure(-1);
    return;
  }
  const QString localPath = m_files.LocalPath(row);
  m_task.SetLocalPath(localPath);
  m_task.SetUrl(QStringLiteral("/config/backupdownload?id=%1&path=").arg(m_pSession->backupId.load()) +
                ToRecorderPath(localPath));
  SetRowStatus(row, ProcessFileList::kDownload);
  if (!m_task.IsThreadActive()) m_task.Start();
}

void CProcessDialog::StopOnFailure(int httpStatus) {
  StopAnimation();
  if (httpStatus == 404)
    platform::FrameworkMessageBox(QStringLiteral("Backup is interrupted because another backup procedure is running"));
  else if (httpStatus == 0)
    platform::FrameworkMessageBox(QStringLiteral("Network Failed!"));
  m_pSession->keepBackupId = 0;
  if (m_btnPauseResume) m_btnPauseResume->setText(kResume);
  m_task.state = 1;
}

void CProcessDialog::OnFileFinished() {
  // A report of a run that a resume has already replaced is stale.
  if (!HasWindow() || HasEnded() || (m_task.IsThreadActive() && m_task.running.load() != 0)) return;
  const int row = m_task.rowIndex;
  int state = m_task.state.load();
  if (state == 1) {
    m_task.Join();
    SetRowStatus(row, ProcessFileList::kPause);
    StopAnimation();
    m_pSession->PingBackupId();
    return;
  }
  if (state == 2) {
    SetRowStatus(row, ProcessFileList::kComplete);
    // The day's record list counts as arrived only with its clamped copy in
    // place (or none to put there).
    const QString localPath = m_files.LocalPath(row);
    if (!m_files.ClampedSource(row).isEmpty() && !CopyClampedRecordList(localPath)) {
      SetRowStatus(row, ProcessFileList::kFailed);
      state = 0;
    } else {
      m_files.SetArrivedSize(row, QFileInfo(localPath).size());
    }
  } else {
    SetRowStatus(row, ProcessFileList::kFailed);
  }

  m_task.Stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(m_nRestBetweenFilesMs));

  if (state != 2) {
    StopOnFailure(m_task.state.load() == 2 ? -1 : m_task.httpStatus.load());
    return;
  }
  // Rows fetched again after a loss are followed by the first one still missing.
  const int next = m_files.NextUnfinishedRow(row + 1);
  if (next >= m_files.Count()) {
    // "Finished" only when every file is still there as it arrived.
    const int lost = m_files.FirstLostRow();
    if (lost >= 0) {
      SetRowStatus(lost, ProcessFileList::kFailed);
      m_task.rowIndex = lost;
      StopOnFailure(-1);
      return;
    }
    platform::ShowMessageBox(Id(), QStringLiteral("The backup procedure is finished!"), QStringLiteral("Message"));
    StopAnimation();
    EndDialog(ui::IDOK);
    return;
  }
  if (m_bPausePressed) {
    // Paused between two files: the next one starts on "Resume".
    m_task.rowIndex = next;
    StopAnimation();
    m_task.state = 1;
    return;
  }
  StartFile(next);
}

bool CProcessDialog::CopyClampedRecordList(const QString& localPath) {
  return PutClampedRecordList(m_files.ClampedSource(m_task.rowIndex), localPath) != ClampedCopy::Failed;
}

void CProcessDialog::OnPauseResume() {
  if (m_pSession == nullptr || m_files.Count() == 0) return;
  if (m_task.state.load() == 1) {
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
  int running = 0;
  m_task.state.compare_exchange_strong(running, 1);
  m_bPausePressed = true;
}

void CProcessDialog::OnDestroy() {
  Dialog::OnDestroy();
  // Stop the worker and wait for it: it removes its partial file on the way out.
  m_task.Stop();
}
