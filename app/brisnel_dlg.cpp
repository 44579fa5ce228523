#include "app/brisnel_dlg.h"

#include <QPainter>
#include <QWidget>

#include <chrono>
#include <thread>

#include "app/about_dlg.h"
#include "app/loading_page.h"
#include "app/main_window_commands.h"
#include "app/server_manager_runner.h"
#include "app/temp_file_sweep.h"
#include "nvr/decimal.h"
#include "nvr/nvr_messages.h"
#include "platform/core/files.h"
#include "platform/core/message_box.h"
#include "platform/ui/popup_menu.h"
#include "res/resource_tables.h"

namespace ui = platform::ui;

namespace {

const QString kToolTips[] = {QStringLiteral("Remote Server"), QStringLiteral("Add"), QStringLiteral("Remove"),
                             QStringLiteral("Backup")};

// The login thread's pause after the login, before it clears the busy flag.
constexpr int kLoginSettleMs = 1000;

// Clears a re-entrancy mark when the tick's handler returns.
class TickMark {
 public:
  explicit TickMark(bool& mark) : mark_(mark) { mark_ = true; }
  ~TickMark() { mark_ = false; }
  TickMark(const TickMark&) = delete;
  TickMark& operator=(const TickMark&) = delete;

 private:
  bool& mark_;
};

// The platform's icon metrics, for the minimised window's icon.
constexpr int SM_CXICON = 32;
constexpr int SM_CYICON = 32;

}  // namespace

CBrisnelDlg::CBrisnelDlg() : Dialog(res::Dialog(IDD_MAIN)) {
  m_hIcon = res::Icon(IDR_MAINFRAME);
  m_historyPath = platform::ExecutableFolder() + QStringLiteral("history.ini");
  // A login still running when the object goes ends its waits early.
  m_session.controlClient.SetAbortCheck([this] { return m_nLoginStop.load() != 0; });
  // Linux sleeps are already about a millisecond: no timer resolution to raise.

  MapCommand(IDC_BTN_SELECT, [this] { OnAddJob(); });
  MapCommand(IDC_BTN_OPEN, [this] { OnOpen(); });
  MapCommand(ID_RUN_EXIT, [this] { OnExit(); });
  MapCommand(ID_RUN_ADD, [this] { OnAddJob(); });
  MapCommand(ID_RUN_REMOVE, [this] { OnMenuRemove(); });
  MapCommand(ID_RUN_BACKUP, [this] { OnMenuBackup(); });
  MapCommand(ID_RUN_LOGOUT, [this] { OnLogout(); });
  MapCommand(IDC_BTN_BACKUP, [] {});
  MapCommand(IDC_BTN_REMOVE, [this] { OnClearList(); });
  MapNotify(IDC_LIST_JOBS, ui::LVN_ITEMCHANGED, [this](std::intptr_t) { OnItemChangedJobList(); });
  MapCommand(ID_HELP_ABOUT, [this] { OnAbout(); });
  MapCommand(ID_TOOL_REMOTE_SERVER, [this] { OnOpen(); });
  MapCommand(ID_TOOL_ADD, [this] { OnAddJob(); });
  MapCommand(ID_TOOL_REMOVE, [this] { OnRemoveJob(); });
  MapCommand(ID_TOOL_BACKUP, [this] { OnBackup(); });
  MapNotify(ui::AFX_IDW_TOOLBAR, ui::TBN_DROPDOWN, [this](std::intptr_t button) { ShowHistoryMenu(button); });
  MapNotify(IDC_LIST_JOBS, ui::NM_RELEASEDCAPTURE, [this](std::intptr_t) { OnReleasedCaptureJobList(); });
}

CBrisnelDlg::~CBrisnelDlg() {
  // The window is gone already (DoModal tore it down and OnDestroy stopped
  // both timers); what is left is the session and the files. A login thread
  // still inside the session is told to stop and joined first.
  m_nLoginStop = 1;
  m_loginThread.Join();
  m_nLoginStop = 0;
  SaveHistory();
  m_session.Logout();
  m_session.RemoveAllJobs();
  // A fetch still finishing would write its answer file or record list after
  // the sweep; it ends first.
  m_session.StopWorkers();
  DeleteTempFiles();
  // The session's own destructor then stops and joins its workers.
}

void CBrisnelDlg::DeleteTempFiles() { SweepTempFiles(platform::ExecutableFolder()); }

void CBrisnelDlg::DoDataExchange() {
  DDX_Control(IDC_LIST_JOBS, m_listJobs);
  DDX_Control(IDC_BTN_OPEN, m_btnOpen);
  DDX_Control(IDC_BTN_BACKUP, m_btnBackup);
  DDX_Control(IDC_BTN_SELECT, m_btnSelect);
  DDX_Control(IDC_BTN_REMOVE, m_btnRemove);
}

bool CBrisnelDlg::OnInitDialog() {
  Dialog::OnInitDialog();

  // The window managers here give a window no system menu to add the about
  // entry to; "Help" > "About" opens the same box, and a WM_SYSCOMMAND with
  // the entry's id still does.
  SetIcon(m_hIcon);
  m_bmpBackground.Load(res::ImagePath(IDB_BACKGROUND));
  m_toolTip.Create(Window());
  m_toolTip.Activate(true);

  m_menuMain = std::make_unique<ui::MenuBar>(res::Menu(IDR_MENU_MAIN), Window(), CommandSink());
  SetMenu(std::move(m_menuMain));  // the window owns it from now on

  if (m_listJobs) {
    m_listJobs->SetExtendedStyle(m_listJobs->ExtendedStyle() | ui::LVS_EX_GRIDLINES | ui::LVS_EX_FULLROWSELECT);
    m_listJobs->InsertColumn(0, QStringLiteral("Start Time"), ui::LVCFMT_LEFT, 150);
    m_listJobs->InsertColumn(1, QStringLiteral("End Time"), ui::LVCFMT_LEFT, 150);
    m_listJobs->InsertColumn(2, QStringLiteral("Camera"), ui::LVCFMT_LEFT, 150);
    m_listJobs->InsertColumn(3, QStringLiteral("Disk Size"), ui::LVCFMT_RIGHT, 100);
  }
  m_pMenu = GetMenu();

  m_imageList.Create(32, 32);
  for (int icon : {IDI_REMOTE_SERVER, IDI_ADD, IDI_REMOVE, IDI_BACKUP}) m_imageList.Add(res::Icon(icon));

  m_toolBar.Create(Client(), ui::AFX_IDW_TOOLBAR, CommandSink(), [this](unsigned button) {
    OnNotify(ui::AFX_IDW_TOOLBAR, ui::TBN_DROPDOWN, static_cast<std::intptr_t>(button));
  });
  m_toolBar.SetButtons({ID_TOOL_REMOTE_SERVER, ID_TOOL_ADD, ID_TOOL_REMOVE, ID_TOOL_BACKUP});
  m_toolBar.SetButtonStyle(0, ui::TBSTYLE_DROPDOWN | ui::TBSTYLE_AUTOSIZE);
  m_toolBar.SetImageList(&m_imageList);
  m_toolBar.SetSizes(QSize(40, 40), QSize(32, 32));
  m_toolBar.RepositionAtTop();

  RegisterToolTips();
  SetUiState(kUiLoggedOut);
  LoadHistory();
  return true;
}

void CBrisnelDlg::RegisterToolTips() {
  for (int i = 0; i < m_toolBar.ButtonCount() && i < 4; ++i)
    m_toolTip.AddTool(m_toolBar, kToolTips[i], m_toolBar.ItemRect(i), m_toolBar.ButtonId(i));
}

void CBrisnelDlg::SetUiState(int state) {
  if (const std::optional<UiCommandStates> states = CommandStatesFor(state)) {
    for (const auto& [id, enabled] : states->menuItems)
      if (m_pMenu != nullptr) m_pMenu->EnableMenuItem(id, ui::MF_BYCOMMAND | (enabled ? ui::MF_ENABLED : ui::MF_GRAYED | ui::MF_DISABLED));
    for (const auto& [id, enabled] : states->toolbarButtons) {
      const unsigned current = m_toolBar.GetButtonState(id);
      m_toolBar.SetButtonState(id, enabled ? current & ~ui::TBBS_DISABLED
                                           : (current & ~ui::TBBS_PRESSED) | ui::TBBS_DISABLED);
      m_toolBar.Invalidate();
    }
  }
  RegisterToolTips();
}

bool CBrisnelDlg::OnCommand(std::uintptr_t wParam, std::intptr_t lParam) {
  // The history pop-up's items have no entry in the command map.
  if (const std::optional<int> index = HistoryIndexForCommand(wParam)) LoginFromHistory(*index);
  return Dialog::OnCommand(wParam, lParam);
}

bool CBrisnelDlg::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == nvr::WM_JOB_FINISHED) {
    if (lParam == 0) {
      AddJobRow(static_cast<int>(wParam));
    } else {
      // The job thread dropped the job already, so it gets no row.
      platform::FrameworkMessageBox(QStringLiteral("Failed to download File List"));
    }
  } else if (msg == nvr::WM_BACKUP_ID_READY) {
    if (m_nBackupLeaseTimer == -1) {
      const unsigned id = SetTimer(TIMER_BACKUP_LEASE, kLeasePeriodMs);
      if (id != 0) m_nBackupLeaseTimer = static_cast<int>(id);
    }
  }
  return Dialog::OnWndMsg(msg, wParam, lParam);
}

void CBrisnelDlg::OnSysCommand(unsigned id, std::intptr_t lParam) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal();
    return;
  }
  Dialog::OnSysCommand(id, lParam);
}

void CBrisnelDlg::OnAbout() {
  CAboutDlg about;
  about.DoModal();
}

void CBrisnelDlg::OnExit() { OnCancel(); }

void CBrisnelDlg::OnClearList() {
  if (m_listJobs) m_listJobs->DeleteAllItems();
  // Rows stand for the queued jobs by position: removing the rows removes the jobs.
  m_session.RemoveAllJobs();
  if (m_pMenu != nullptr) m_pMenu->EnableMenuItem(ID_RUN_BACKUP, ui::MF_BYCOMMAND | ui::MF_GRAYED | ui::MF_DISABLED);
  if (m_btnBackup) m_btnBackup->setEnabled(false);
}

void CBrisnelDlg::OnTimer(unsigned id) {
  // While the login thread works on the session no tick may touch it.
  if (m_loginThread.IsActive()) return;
  if (id == TIMER_PLAY_LEASE) {
    if (!m_bInPlayTick) OnPlayLeaseTick();
  } else if (id == TIMER_BACKUP_LEASE) {
    if (!m_bInBackupTick) OnBackupLeaseTick();
  }
}

void CBrisnelDlg::OnPlayLeaseTick() {
  TickMark mark(m_bInPlayTick);
  if (m_session.loggedIn.load() == 1) {
    m_session.RenewPlayId();
  } else {
    LoginFromTick();
    m_session.GetPlayId();
  }
}

void CBrisnelDlg::OnBackupLeaseTick() {
  TickMark mark(m_bInBackupTick);
  if (m_session.loggedIn.load() != 1) {
    LoginFromTick();
    m_session.AcquireBackupId();
    return;
  }
  if (m_session.RenewBackupId() != 0) return;
  // The recorder let the backup id go: leave it, without a message.
  StopBackupLease();
  m_session.backupId = -1;
  m_session.Logout();
  DropRowsAndJobs();
  SetUiState(kUiLoggedOut);
}

void CBrisnelDlg::LoginFromTick() {
  // Silent, but the commands follow the session: a window that stayed logged
  // out over a logged-in session would offer neither "Add" nor "Logout".
  if (m_session.Login() != 1) return;
  SetUiState(kUiLoggedIn);
  RefreshJobCommands();
}

void CBrisnelDlg::StopPlayLease() {
  if (m_nPlayLeaseTimer == -1) return;
  KillTimer(static_cast<unsigned>(m_nPlayLeaseTimer));
  m_nPlayLeaseTimer = -1;
}

void CBrisnelDlg::StopBackupLease() {
  if (m_nBackupLeaseTimer == -1) return;
  KillTimer(static_cast<unsigned>(m_nBackupLeaseTimer));
  m_nBackupLeaseTimer = -1;
}

void CBrisnelDlg::DropRowsAndJobs() {
  if (m_listJobs) m_listJobs->DeleteAllItems();
  m_session.RemoveAllJobs();
}

void CBrisnelDlg::WaitForLoginThread() { m_loginThread.Join(); }

void CBrisnelDlg::OnRemoteServer() {
  if (!RunServerManager(m_server)) return;
  // Already logged in to that address: nothing more, whatever else differs.
  if (m_session.loggedIn.load() == 1 && m_session.GetHost() == m_server.GetIp()) return;
  WaitForLoginThread();
  m_session.Logout();
  StopBackupLease();
  DropRowsAndJobs();
  m_session.SetServer(m_server.GetServerName(), m_server.GetIp(), m_server.GetUserName(), m_server.GetPassword(),
                      nvr::ReadDecimal32(m_server.GetPort()), 0);
  if (RunLogin()) ReportLogin(m_server.GetServerName(), m_server.GetIp());
}

void CBrisnelDlg::LoginFromHistory(int index) {
  const QString entry = m_history.Entry(index);
  if (entry.isEmpty()) return;  // also for an index outside 0 to 9
  // Always a fresh login, also to the recorder the session is logged in to.
  WaitForLoginThread();
  m_session.Logout();
  StopBackupLease();
  DropRowsAndJobs();
  const HistoryFields f = SplitHistoryLine(entry);
  m_session.SetServer(f.serverName, f.host, f.user, f.password, nvr::ReadDecimal32(f.port), 0);
  if (RunLogin()) ReportLogin(m_session.GetServerName(), m_session.GetHost());
}

bool CBrisnelDlg::RunLogin() {
  WaitForLoginThread();
  // Set before the thread starts, so a quick thread cannot clear it first.
  m_nLoginBusy = 1;
  m_nLoginRequested = 1;
  if (!m_loginThread.Start([this] { LoginThreadProc(this); })) {
    m_nLoginBusy = 0;
    m_nLoginRequested = 0;
    return false;
  }
  // A page ends at its tick limit or by Enter or Escape while the login may
  // still be on its way: the result is told only once the thread has ended,
  // so the next page takes over until then.
  while (m_nLoginBusy.load() != 0 && HasWindow() && !HasEnded()) {
    CLoadingPage page;
    page.m_pFlag = &m_nLoginBusy;
    if (page.DoModal() == -1) break;
  }
  if (m_nLoginBusy.load() != 0 && (!HasWindow() || HasEnded())) return false;  // the window goes; its destructor joins
  WaitForLoginThread();
  return true;
}

int CBrisnelDlg::LoginThreadProc(CBrisnelDlg* dlg) {
  if (dlg->m_nLoginRequested.load() != 0) dlg->m_session.Login();  // the result is the session's logged-in flag
  for (int slept = 0; slept < kLoginSettleMs && dlg->m_nLoginStop.load() == 0; slept += 100)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  dlg->m_nLoginBusy = 0;
  dlg->m_nLoginRequested = 0;
  return 0;
}

void CBrisnelDlg::ReportLogin(const QString& serverName, const QString& host) {
  const QString who = serverName + QLatin1Char('(') + host + QStringLiteral(") ");
  if (m_session.loggedIn.load() == 1) {
    SetUiState(kUiLoggedIn);
    platform::ShowMessageBox(Id(), who + QStringLiteral("Login Success!"), QStringLiteral("Message"));
    UpdateHistory();
  } else {
    SetUiState(kUiLoggedOut);
    platform::ShowMessageBox(Id(), who + QStringLiteral("Login failed!"), QStringLiteral("Error"));
  }
}

void CBrisnelDlg::OnLogout() {
  WaitForLoginThread();
  if (m_listJobs) m_listJobs->DeleteAllItems();
  StopPlayLease();
  StopBackupLease();
  m_session.Logout();
  m_session.RemoveAllJobs();
  SetUiState(kUiLoggedOut);
}

void CBrisnelDlg::LoadHistory() {
  // A file that could not be read is never overwritten by the empty list.
  m_bHistoryLoaded = m_history.Load(m_historyPath);
}

void CBrisnelDlg::SaveHistory() {
  if (m_bHistoryLoaded) m_history.Save(m_historyPath);
}

void CBrisnelDlg::UpdateHistory() {
  m_history.Update(m_session.GetServerName(), m_session.GetHost(), m_session.GetPort(), m_session.GetUser(),
                   m_session.GetPassword());
}

void CBrisnelDlg::ShowHistoryMenu(std::intptr_t buttonId) {
  if (buttonId != static_cast<std::intptr_t>(ID_TOOL_REMOTE_SERVER)) return;
  ui::PopupMenu popup;
  for (const HistoryMenuItem& item : m_history.MenuItems()) popup.AppendMenu(item.id, item.text);
  QRect button = m_toolBar.ItemRect(m_toolBar.CommandToIndex(ID_TOOL_REMOTE_SERVER));
  if (m_toolBar.Widget() != nullptr)
    button.moveTopLeft(m_toolBar.Widget()->mapToGlobal(button.topLeft()));
  const unsigned chosen = ui::TrackPopupMenu(popup, ui::TPM_LEFTALIGN | ui::TPM_TOPALIGN | ui::TPM_VERTICAL |
                                                        ui::TPM_LEFTBUTTON,
                                             QPoint(button.left(), button.bottom() + 1), Window(), button);
  // The chosen item reaches the window as its command, after the menu has closed.
  if (chosen != 0) PostMessage(ui::WM_COMMAND, ui::MakeWParam(chosen, 0), 0);
}

void CBrisnelDlg::OnDestroy() {
  Dialog::OnDestroy();
  StopPlayLease();
  StopBackupLease();
}

bool CBrisnelDlg::OnEraseBkgnd(ui::PaintDC& dc) {
  ui::MemoryDC memory;
  const ui::Bitmap* previous = memory.SelectObject(&m_bmpBackground);
  dc.BitBlt(0, 0, m_bmpBackground.Width(), m_bmpBackground.Height(), memory, 0, 0);
  memory.SelectObject(previous);
  return true;
}

void CBrisnelDlg::OnPaint(ui::PaintDC& dc) {
  if (!IsIconic() || Client() == nullptr) return;
  const QRect client = Client()->rect();
  const int x = (client.width() - SM_CXICON + 1) / 2;
  const int y = (client.height() - SM_CYICON + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon, SM_CXICON);
}
