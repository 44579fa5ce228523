#include "app/server_dialog.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/connection_test.h"
#include "app/loading_page.h"
#include "app/server_fields.h"
#include "platform/core/message_box.h"
#include "res/resource_tables.h"
#include "store/scramble.h"
#include "store/server_manager.h"

namespace {

using platform::ui::LB_ERR;

const QString kStoreFile = QStringLiteral("server.db");
const QString kError = QStringLiteral("Error");
const QString kWarning = QStringLiteral("Warning");
const QString kMessage = QStringLiteral("Message");

void SetText(QLineEdit* edit, const QString& text) {
  if (edit != nullptr) edit->setText(text);
}
QString TextOf(const QLineEdit* edit) { return edit != nullptr ? edit->text() : QString(); }
void Enable(QWidget* widget, bool on) {
  if (widget != nullptr) widget->setEnabled(on);
}

// One open "server.db" for one operation; the manager's destructor closes it.
struct OpenStore {
  CServerManager manager;
  int result = manager.m_db.Open();
};

}  // namespace

CServerDialog::CServerDialog() : Dialog(res::Dialog(IDD_SERVER_PAGE)) {
  MapCommand(IDC_BTN_TEST_CONNECTION, [this] { OnTestConnection(); });
  MapCommand(IDC_BTN_ADD_SERVER, [this] { OnAdd(); });
  MapCommand(IDC_BTN_DELETE_SERVER, [this] { OnDelete(); });
  MapCommand(IDC_BTN_EDIT_SERVER, [this] { OnEdit(); });
}

CServerDialog::~CServerDialog() {
  // The worker reads this page's fields: it ends before they go.
  StopTest();
  DestroyWindow();
}

void CServerDialog::DoDataExchange() {
  DDX_Control(IDC_BTN_TEST_CONNECTION, m_btnTestConnection);
  DDX_Control(IDC_EDIT_SERVER, m_editServer);
  DDX_Control(IDC_EDIT_IP, m_editIp);
  DDX_Control(IDC_EDIT_PORT, m_editPort);
  DDX_Control(IDC_EDIT_USER, m_editUser);
  DDX_Control(IDC_EDIT_PASSWORD, m_editPassword);
  DDX_Control(IDC_SERVER_LIST, m_listServers);
  DDX_Control(IDC_BTN_ADD_SERVER, m_btnAdd);
  DDX_Control(IDC_BTN_DELETE_SERVER, m_btnDelete);
  DDX_Control(IDC_BTN_EDIT_SERVER, m_btnEdit);
  DDX_Control(IDC_CHECK_SAVE_PASSWORD, m_checkSavePassword);
}

bool CServerDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  // No edit limits its text: OK hands on what the page shows, and the store
  // refuses, with a message, a value it cannot keep.
  SetSelectionButtons(0);
  SetText(m_editServer, QStringLiteral("NVR"));
  SetText(m_editPort, QStringLiteral("80"));
  LoadServerList();
  return true;
}

bool CServerDialog::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == platform::ui::WM_LBUTTONDOWN) OnLButtonDown();
  return Dialog::OnWndMsg(msg, wParam, lParam);
}

bool CServerDialog::OnCommand(std::uintptr_t wParam, std::intptr_t lParam) {
  if (platform::ui::LoWord(wParam) == static_cast<unsigned>(IDC_SERVER_LIST)) {
    const unsigned code = platform::ui::HiWord(wParam);
    if (code == platform::ui::LBN_SELCHANGE) OnSelChangeServerList();
    return true;  // LBN_KILLFOCUS and the rest: nothing to do
  }
  return Dialog::OnCommand(wParam, lParam);
}

void CServerDialog::OnDestroy() { StopTest(); }

void CServerDialog::ReadFields() {
  m_strServer = TextOf(m_editServer);
  m_strIp = TextOf(m_editIp);
  m_strPort = TextOf(m_editPort);
  m_strUser = TextOf(m_editUser);
  m_strPassword = TextOf(m_editPassword);
  m_nSavePassword = (m_checkSavePassword != nullptr && m_checkSavePassword->isChecked()) ? 1 : 0;
}

void CServerDialog::GetServerEntry(ServerEntry& entry) {
  m_strServer = TextOf(m_editServer);
  m_strIp = TextOf(m_editIp);
  m_strPort = TextOf(m_editPort);
  m_strUser = TextOf(m_editUser);
  m_strPassword = TextOf(m_editPassword);
  entry.SetIp(m_strIp);
  entry.SetPort(m_strPort);
  entry.SetUserName(m_strUser);
  entry.SetPassword(m_strPassword);
  entry.SetServerName(m_strServer);
}

void CServerDialog::ShowStoreFailure(int code) { platform::ShowMessageBox(Id(), StoreFailureMessage(code), kError); }

void CServerDialog::AppendLine(const QString& server, const QString& ip) {
  InsertLine(static_cast<int>(m_lines.size()), server, ip);
}

void CServerDialog::InsertLine(int index, const QString& server, const QString& ip) {
  if (m_listServers == nullptr || index < 0 || index > static_cast<int>(m_lines.size())) return;
  if (m_listServers->InsertString(index, ServerListLine(server, ip)) == LB_ERR) return;
  m_lines.insert(m_lines.begin() + index, ListLine{server, ip});
}

void CServerDialog::RemoveLine(int index) {
  if (m_listServers == nullptr || index < 0 || index >= static_cast<int>(m_lines.size())) return;
  m_listServers->DeleteString(index);
  m_lines.erase(m_lines.begin() + index);
}

int CServerDialog::RemoveOtherLinesOf(const QString& ip, int keep) {
  for (int i = static_cast<int>(m_lines.size()) - 1; i >= 0; --i) {
    if (i == keep || m_lines[static_cast<std::size_t>(i)].ip != ip) continue;
    RemoveLine(i);
    if (i < keep) --keep;
  }
  return keep;
}

int CServerDialog::OccurrenceOf(int line) const {
  if (line < 0 || line >= static_cast<int>(m_lines.size())) return 0;
  const QString& ip = m_lines[static_cast<std::size_t>(line)].ip;
  return static_cast<int>(
      std::count_if(m_lines.begin(), m_lines.begin() + line, [&](const ListLine& l) { return l.ip == ip; }));
}

int CServerDialog::ChosenLine() const { return m_listServers != nullptr ? m_listServers->GetCurSel() : LB_ERR; }

int CServerDialog::ParseListEntry(int line, QString* server, QString* ip) const {
  if (line < 0 || line >= static_cast<int>(m_lines.size())) return 0;  // LB_ERR is -1
  const ListLine& entry = m_lines[static_cast<std::size_t>(line)];
  if (server != nullptr) *server = entry.server;
  if (ip != nullptr) *ip = entry.ip;
  return 1;
}

void CServerDialog::LoadServerList() {
  if (!QFile::exists(kStoreFile)) {
    // Nothing is opened, so no empty file is left behind for later checks.
    platform::ShowMessageBox(Id(), kDatabaseMissingText, kMessage);
    return;
  }
  OpenStore store;
  if (store.result != 0) {
    ShowStoreFailure(store.result);
    return;
  }
  int result = 0;
  SQLite::Table table = store.manager.ListServers(&result);
  if (result != 0) {
    ShowStoreFailure(result);
    return;
  }
  for (int row = 0; row < table.GetRowCount(); ++row) {
    table.SetRow(row);
    const QString ip = UnscrambleFixed(table.GetCell(QStringLiteral("ip")).value_or(QString()));
    const QString name = UnscrambleSalted(table.GetCell(QStringLiteral("server")).value_or(QString()));
    AppendLine(name, ip);
  }
}

int CServerDialog::IsIpStored(const QString& ip, ServerEntry* found, int occurrence) {
  OpenStore store;
  int result = store.result;
  bool stored = false;
  ServerEntry entry;
  if (result == 0) entry = store.manager.FindServer(ip, &result, &stored, occurrence);
  if (result != 0) {
    ShowStoreFailure(result);
    return -1;
  }
  if (found != nullptr) *found = entry;
  return stored ? 1 : 0;
}

void CServerDialog::OnAdd() {
  ReadFields();
  if (m_strIp.isEmpty()) return;
  const int stored = IsIpStored(m_strIp);
  if (stored < 0) return;
  if (stored == 1) {
    platform::ShowMessageBox(Id(), kIpExistsText, kWarning);
    return;
  }
  // The line is listed only once the row is stored.
  if (AddServer()) AppendLine(m_strServer, m_strIp);
}

ServerEntry CServerDialog::StoredEntry() const {
  ServerEntry entry;
  entry.SetServerName(m_strServer);
  entry.SetIp(m_strIp);
  entry.SetPort(m_strPort);
  entry.SetUserName(m_strUser);
  // An unticked box keeps the password out of the store.
  entry.SetSaveEnable(m_nSavePassword == 1 ? QStringLiteral("1") : QStringLiteral("0"));
  entry.SetPassword(m_nSavePassword == 1 ? m_strPassword : QString());
  return entry;
}

bool CServerDialog::AddServer() {
  if (!QFile::exists(kStoreFile)) {
    platform::ShowMessageBox(Id(), kDatabaseMissingText, kError);
    return false;
  }
  OpenStore store;
  const int result = store.result != 0 ? store.result : store.manager.AddServer(StoredEntry());
  if (result != 0) {
    ShowStoreFailure(result);  // the edits keep their text
    return false;
  }
  ClearFields();
  return true;
}

void CServerDialog::OnSelChangeServerList() {
  const int selected = ChosenLine();
  if (ParseListEntry(selected, &m_strServer, &m_strIp) == 0) return;
  ServerEntry found;
  // The second line of an address shows its second row. A row that has gone
  // from the store changes neither the edits nor the buttons.
  if (IsIpStored(m_strIp, &found, OccurrenceOf(selected)) != 1) return;
  m_strPort = found.GetPort();
  m_strPassword = found.GetPassword();
  m_strUser = found.GetUserName();
  m_nSavePassword = found.GetSaveEnable() == QStringLiteral("1") ? 1 : 0;
  ShowFields();  // with the name of the line, not the stored one
  SetSelectionButtons(1);
}

void CServerDialog::ShowFields() {
  SetText(m_editServer, m_strServer);
  SetText(m_editIp, m_strIp);
  SetText(m_editPort, m_strPort);
  SetText(m_editUser, m_strUser);
  SetText(m_editPassword, m_strPassword);
  if (m_checkSavePassword != nullptr) m_checkSavePassword->setChecked(m_nSavePassword == 1);
}

void CServerDialog::ClearFields() {
  for (QLineEdit* edit : {m_editServer.data(), m_editIp.data(), m_editPort.data(), m_editUser.data(),
                          m_editPassword.data()}) {
    SetText(edit, QString());
  }
  if (m_checkSavePassword != nullptr) m_checkSavePassword->setChecked(false);
}

void CServerDialog::ResetFields() {
  m_strServer.clear();
  m_strIp.clear();
  m_strPort.clear();
  m_strUser.clear();
  m_strPassword.clear();
  m_nSavePassword = 0;
  ShowFields();
}

void CServerDialog::OnDelete() {
  ReadFields();
  DeleteServer();
}

bool CServerDialog::DeleteServer() {
  const int selected = ChosenLine();
  QString ip;
  if (ParseListEntry(selected, nullptr, &ip) == 1) {
    // The row of the chosen line goes, whatever the IP Address edit says now;
    // the line goes only with its row. Every row of the address goes, so do
    // all its lines.
    OpenStore store;
    const int result = store.result != 0 ? store.result : store.manager.DeleteServer(ip);
    if (result != 0) {
      ShowStoreFailure(result);
      return false;
    }
    RemoveLine(RemoveOtherLinesOf(ip, selected));
    ResetFields();
  }
  SetSelectionButtons(0);
  return true;
}

void CServerDialog::OnEdit() {
  ReadFields();
  EditServer();
}

void CServerDialog::EditServer() {
  const int selected = ChosenLine();
  // The recorder the line was made from, also one stored without an address;
  // the page's strings keep what the field read took from the edits.
  QString previousIp;
  if (ParseListEntry(selected, nullptr, &previousIp) == 0) return;
  // An edit must not store a row without an address, nor a second row of an
  // address another line has.
  if (m_strIp.isEmpty()) {
    platform::ShowMessageBox(Id(), MissingFieldMessage(m_strIp, m_strUser, m_strPort), kError);
    return;
  }
  if (m_strIp != previousIp) {
    const int stored = IsIpStored(m_strIp);
    if (stored < 0) return;
    if (stored == 1) {
      platform::ShowMessageBox(Id(), kIpExistsText, kWarning);
      return;
    }
  }
  OpenStore store;
  const int result = store.result != 0 ? store.result : store.manager.ChangeServer(previousIp, StoredEntry());
  if (result != 0) {
    ShowStoreFailure(result);  // the old row is still stored; the list stays
    return;
  }
  // Every row of the old address went: its other lines go, the changed one
  // keeps its place.
  const int changed = RemoveOtherLinesOf(previousIp, selected);
  RemoveLine(changed);
  InsertLine(changed, m_strServer, m_strIp);
  SetSelectionButtons(0);
  ClearFields();
}

void CServerDialog::OnLButtonDown() {
  m_bSelected = 0;
  // While a test runs the buttons stay off; its end sets them by m_bSelected.
  if (m_bTestRunning.load() == 0) SetSelectionButtons(0);
}

void CServerDialog::SetSelectionButtons(int selected) {
  m_bSelected = selected;
  Enable(m_btnAdd, selected == 0);
  Enable(m_btnDelete, selected != 0);
  Enable(m_btnEdit, selected != 0);
}

void CServerDialog::EnableControls(int enable) {
  if (enable == 0) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_btnTestConnection, m_btnAdd, m_btnDelete, m_btnEdit,
                                                      m_checkSavePassword, m_listServers, m_editServer, m_editIp,
                                                      m_editPort, m_editUser, m_editPassword}) {
      Enable(w, false);
    }
    return;
  }
  SetSelectionButtons(m_bSelected);
  for (QWidget* w : std::initializer_list<QWidget*>{m_btnTestConnection, m_checkSavePassword, m_listServers,
                                                    m_editServer, m_editIp, m_editPort, m_editUser,
                                                    m_editPassword}) {
    Enable(w, true);
  }
}

void CServerDialog::OnTestConnection() {
  ReadFields();
  const QString missing = MissingFieldMessage(m_strIp, m_strUser, m_strPort);
  if (!missing.isEmpty()) {
    platform::ShowMessageBox(Id(), missing, kError);
    return;
  }
  EnableControls(0);
  platform::PostWindowMessage(m_hManagerWnd, WM_SERVER_TEST, 0, 0);

  StopTest();  // one worker at a time, joined by this page
  m_testFields = ServerEntry();
  m_testFields.SetServerName(m_strServer);
  m_testFields.SetIp(m_strIp);
  m_testFields.SetPort(m_strPort);
  m_testFields.SetUserName(m_strUser);
  m_testFields.SetPassword(m_strPassword);
  m_bTestRunning = 1;
  m_bTestRequested = 1;
  m_hTestThread.Start([this] { TestThreadProc(this); });

  // The loading page also ends after about 5 s, or by Enter or Escape, while
  // a test of a silent address takes longer: it is shown again until the
  // worker is done, so the result is read only once it is complete.
  while (m_bTestRunning.load() != 0 && !ManagerClosing()) {
    CLoadingPage page;
    page.m_pFlag = &m_bTestRunning;
    if (page.DoModal() == -1 && !page.HasEnded() && !ManagerClosing()) break;  // no page to wait in: wait below
  }
  // When the manager is going, nobody waits for the result any more.
  const bool closing = ManagerClosing();
  if (closing) m_bTestRequested = 0;
  m_hTestThread.Join();

  if (!closing) {
    platform::ShowMessageBox(Id(), m_strTestResult, m_nTestResult.load() != 0 ? kMessage : kError);
  }
  EnableControls(1);
  platform::PostWindowMessage(m_hManagerWnd, WM_SERVER_TEST, 1, 0);
}

bool CServerDialog::ManagerClosing() const {
  const platform::ui::Dialog* manager = platform::ui::FindDialog(m_hManagerWnd);
  return !HasWindow() || (manager != nullptr && manager->HasEnded());
}

void CServerDialog::TestThreadProc(CServerDialog* page) {
  page->m_nTestResult = 0;
  if (page->m_bTestRequested.load() != 0) page->m_nTestResult = page->TestConnection();
  // Keeps the loading page up for a moment, unless the page is going.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(page->m_nTestPauseMs);
  while (page->m_bTestRequested.load() != 0 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  page->m_bTestRunning = 0;
  page->m_bTestRequested = 0;
}

int CServerDialog::TestConnection() {
  QString text;
  const int result = RunConnectionTest(m_testFields, m_bTestRequested, &text);
  m_strTestResult = text;
  return result;
}

void CServerDialog::StopTest() {
  m_bTestRequested = 0;
  m_hTestThread.Join();
}
