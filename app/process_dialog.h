#pragma once
// The backup progress dialog: lists the files of the queued jobs from their
// answer files (each job's record list first) and downloads them one after
// the other into the backup folder with its own download task, with pause and
// resume against the recorder's backup id. It ends with IDOK when every listed
// file that can be saved arrived, the refused ones then named to the operator;
// a job of which no file can be saved ends it with IDCANCEL.
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include "app/process_file_list.h"
#include "nvr/data_queue.h"
#include "nvr/download_task.h"
#include "nvr/nvr_session.h"
#include "platform/ui/animate_ctrl.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/virtual_list_view.h"

class CProcessDialog : public platform::ui::Dialog {
 public:
  CProcessDialog();
  ~CProcessDialog() override;

  // Set by the creator before DoModal: the new backup folder (no trailing
  // "/"), the session (not owned), and the job rows to back up (indices into
  // the session's job queue). The dialog reads the row queue, never empties it.
  QString m_strDestination;
  nvr::NvrSession* m_pSession = nullptr;
  nvr::DataQueue<int> m_rowQueue;
  // The names the program copy will put at the top of the backup folder
  // when the operator asked for it; rows of those names are refused.
  QStringList m_programNames;

  // Where the copy animation is read from, relative to the current directory.
  QString m_animationPath = QStringLiteral("images/CopyFiles.avi");
  // The window's rest between one file and the next.
  int m_nRestBetweenFilesMs = 1000;

  // Read by tests.
  const ProcessFileList& Files() const { return m_files; }
  platform::ui::VirtualListView* FileList() const { return m_listFiles.data(); }
  QPushButton* PauseResumeButton() const { return m_btnPauseResume.data(); }
  platform::ui::AnimateCtrl* Animation() const { return m_pAnimate.data(); }
  const nvr::DownloadTask& Task() const { return m_task; }
  void PressPauseResume() { OnPauseResume(); }

  // Appends one row for a recorder path and its size; the answer files' rows
  // come in whole through the file list.
  void AddFileRow(const QString& recorderPath, std::int64_t size);
  // The recorder path a local path of the backup folder was made from, as
  // the request for its file carries it.
  QString ToRecorderPath(const QString& localPath) const { return m_files.ToRecorderPath(localPath); }
  // Puts the clamped copy of the day's record list in place of the one just
  // downloaded to `localPath`. False when a clamped copy exists but could not
  // be put there whole; the downloaded list then stays as it was, and `error`
  // (when given) holds the system's reason.
  bool CopyClampedRecordList(const QString& localPath, int* error = nullptr);

 protected:
  void DoDataExchange() override;
  bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnInitDialog() override;
  void OnDestroy() override;
  // The dialog ends with OK only from the end of the backup, never by Enter.
  void OnOK() override {}

 private:
  void OnPauseResume();
  void OnFileFinished();
  // Fetches the file of the first row from `row` on that is still to be fetched,
  // from its first byte; refused rows on the way are passed over. With none
  // left, the backup ends.
  void StartFile(int row);
  // The file list's next row to fetch from `from` on, with the refused rows
  // passed on the way shown "failed".
  int NextRowToFetch(int from);
  // Every row that can arrive has: ends with IDOK, unless a file was lost or
  // nothing could be saved.
  void Finish();
  // The file of the task's row ended without arriving: say why (when there is
  // a text), stop, and wait for "Resume".
  void StopOnFailure(const QString& message);
  void SetRowStatus(int row, const char* status);
  void PlayAnimation();
  void StopAnimation();

  QPointer<QPushButton> m_btnCancel;
  QPointer<QPushButton> m_btnPauseResume;
  QPointer<platform::ui::VirtualListView> m_listFiles;
  QPointer<platform::ui::AnimateCtrl> m_pAnimate;  // owned by the window
  ProcessFileList m_files;
  nvr::DownloadTask m_task;
  // "Pause" was pressed during the current file: should the file arrive all
  // the same, it stays complete and the dialog stops before the next one.
  bool m_bPausePressed = false;
};
