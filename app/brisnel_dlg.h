#pragma once
// The main window: the job list, the menu bar, the toolbar with the login
// history's drop-down, and the background picture. It owns the recorder
// session and the two lease timers, and cleans up when it is deleted.
#include <QIcon>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <atomic>
#include <memory>

#include "app/login_history.h"
#include "nvr/nvr_session.h"
#include "platform/core/thread.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/drawing.h"
#include "platform/ui/menu.h"
#include "platform/ui/toolbar.h"
#include "store/server_entry.h"

class CBrisnelDlg : public platform::ui::Dialog {
 public:
  static constexpr unsigned TIMER_PLAY_LEASE = 1;
  static constexpr unsigned TIMER_BACKUP_LEASE = 2;
  static constexpr int kLeasePeriodMs = 1000;

  CBrisnelDlg();
  ~CBrisnelDlg() override;

  // 0 = logged in, 1 = logged out; any other value changes no command.
  void SetUiState(int state);

  // Read by tests and by the operations of the job list and the logins.
  int PlayLeaseTimer() const { return m_nPlayLeaseTimer; }
  int BackupLeaseTimer() const { return m_nBackupLeaseTimer; }
  platform::ui::ListView* JobList() const { return m_listJobs.data(); }
  platform::ui::MenuBar* MenuBar() const { return m_pMenu; }
  platform::ui::ToolBar& ToolBar() { return m_toolBar; }
  nvr::NvrSession& Session() { return m_session; }
  const LoginHistory& History() const { return m_history; }
  // True while the login thread runs.
  bool LoginRunning() const { return m_loginThread.IsActive(); }

  // Where the login history is kept; set before DoModal. By default
  // "history.ini" in the executable's folder.
  QString m_historyPath;

 protected:
  bool OnCommand(std::uintptr_t wParam, std::intptr_t lParam) override;
  void DoDataExchange() override;
  bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnInitDialog() override;
  void OnSysCommand(unsigned id, std::intptr_t lParam) override;
  void OnTimer(unsigned id) override;
  void OnDestroy() override;
  bool OnEraseBkgnd(platform::ui::PaintDC& dc) override;
  void OnPaint(platform::ui::PaintDC& dc) override;

 private:
  friend class CBrisnelDlgTestAccess;  // tests start the play-lease timer as the "Add" command will
  void RegisterToolTips();
  QIcon OnQueryDragIcon() const { return m_hIcon; }
  void OnAbout();
  void OnExit();
  void OnClearList();
  void OnItemChangedJobList() {}      // the job handlers read the selection when they run
  void OnReleasedCaptureJobList() {}  // likewise

  // Logging in and out and the lease ticks.
  void OnOpen() { OnRemoteServer(); }
  void OnRemoteServer();
  void OnLogout();
  void LoginFromHistory(int index);
  static int LoginThreadProc(CBrisnelDlg* dlg);
  // Runs the login on the login thread behind loading pages until the thread
  // has ended; false when the window ended first (nothing to report then).
  bool RunLogin();
  // Waits for a login thread that still runs; no other use of the session
  // may overlap it.
  void WaitForLoginThread();
  // The result by the session's logged-in flag, told in a box of the window.
  void ReportLogin(const QString& serverName, const QString& host);
  void StopPlayLease();
  void StopBackupLease();
  // Empties the job list and drops the jobs its rows stand for.
  void DropRowsAndJobs();
  void OnPlayLeaseTick();
  void OnBackupLeaseTick();
  // A tick's login: without a box; on success the window takes the logged-in state.
  void LoginFromTick();
  // The login history.
  void LoadHistory();
  void SaveHistory();
  void UpdateHistory();
  void ShowHistoryMenu(std::intptr_t buttonId);
  // The job list (app/brisnel_dlg_jobs.cpp).
  void OnAddJob();
  void OnMenuRemove();
  void OnRemoveJob();
  // The row of the job with this id (WM_JOB_FINISHED's wParam).
  void AddJobRow(int jobId);
  // "Remove" and "Backup" follow the row count.
  void RefreshJobCommands();
  // The backup command (app/brisnel_dlg_jobs.cpp).
  void OnMenuBackup();
  void OnBackup();
  // The sweep of left-over temporary files.
  void DeleteTempFiles();

  QIcon m_hIcon;
  QPointer<platform::ui::ListView> m_listJobs;
  std::unique_ptr<platform::ui::MenuBar> m_menuMain;
  platform::ui::Bitmap m_bmpBackground;
  int m_nPlayLeaseTimer = -1;
  int m_nBackupLeaseTimer = -1;
  nvr::NvrSession m_session;
  ServerEntry m_server;
  platform::ui::MenuBar* m_pMenu = nullptr;
  QPointer<QPushButton> m_btnOpen, m_btnBackup, m_btnSelect, m_btnRemove;
  platform::ui::ToolTipCtrl m_toolTip;
  platform::ui::ToolBar m_toolBar;
  platform::ui::ImageList m_imageList;
  LoginHistory m_history;
  // Set once LoadHistory ran: a window that never opened has no history to
  // write, and its ten empty entries must not replace the file's.
  bool m_bHistoryLoaded = false;
  std::atomic<int> m_nLoginBusy{0};
  std::atomic<int> m_nLoginRequested{0};
  std::atomic<int> m_nLoginStop{0};  // set while the window object goes: the login ends early
  platform::Thread m_loginThread;    // owned here and joined before the session is used again
  // A tick that arrives while the previous tick of its timer still runs (in a
  // message box's loop, say) is skipped.
  bool m_bInPlayTick = false;
  bool m_bInBackupTick = false;
};
