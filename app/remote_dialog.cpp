#include "app/remote_dialog.h"

#include "app/server_fields.h"
#include "platform/core/message_box.h"
#include "res/resource_tables.h"

CRemoteDialog::CRemoteDialog() : Dialog(res::Dialog(IDD_REMOTE_SERVER)) {
  MapCommand(platform::ui::IDOK, [this] { OnClickedOk(); });
}

CRemoteDialog::~CRemoteDialog() {
  // The page's window lives inside this one.
  m_serverPage.DestroyWindow();
}

void CRemoteDialog::DoDataExchange() {
  DDX_Control(IDC_TAB_SERVER, m_tabServer);
  DDX_Control(platform::ui::IDOK, m_btnOk);
  DDX_Control(platform::ui::IDCANCEL, m_btnCancel);
}

bool CRemoteDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  if (m_tabServer == nullptr) return true;
  m_tabServer->InsertItem(0, QStringLiteral("Server"));
  if (m_serverPage.Create(m_tabServer)) {
    m_serverPage.Window()->setGeometry(m_tabServer->GetClientRect().adjusted(2, 23, -4, -2));
    m_serverPage.Window()->show();
  }
  m_serverPage.m_hManagerWnd = Id();
  return true;
}

bool CRemoteDialog::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == WM_SERVER_TEST && (wParam == 0 || wParam == 1)) {
    const bool on = wParam == 1;
    if (m_btnOk != nullptr) m_btnOk->setEnabled(on);
    if (m_btnCancel != nullptr) m_btnCancel->setEnabled(on);
  }
  return Dialog::OnWndMsg(msg, wParam, lParam);
}

void CRemoteDialog::OnClickedOk() {
  if (m_btnOk != nullptr && !m_btnOk->isEnabled()) return;
  m_serverPage.GetServerEntry(m_entry);
  const QString missing = MissingFieldMessage(m_entry.GetIp(), m_entry.GetUserName(), m_entry.GetPort());
  if (!missing.isEmpty()) {
    platform::ShowMessageBox(Id(), missing, QStringLiteral("Error"));
    return;
  }
  if (m_pServerEntry != nullptr) {
    m_pServerEntry->SetIp(m_entry.GetIp());
    m_pServerEntry->SetPort(m_entry.GetPort());
    m_pServerEntry->SetServerName(m_entry.GetServerName());
    m_pServerEntry->SetUserName(m_entry.GetUserName());
    m_pServerEntry->SetPassword(m_entry.GetPassword());
  }
  Dialog::OnOK();
}

void CRemoteDialog::OnCancel() {
  if (m_btnCancel != nullptr && !m_btnCancel->isEnabled()) return;
  Dialog::OnCancel();
}
