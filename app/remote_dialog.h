#pragma once
// The server manager: the modal dialog in which the operator chooses the
// recorder to log in to. One tab, "Server", holds the server page; OK hands
// the page's five fields to the caller's ServerEntry.
//
// Use: CRemoteDialog dlg; dlg.m_pServerEntry = &entry; if (dlg.DoModal() ==
// IDOK) entry holds the ip, port, server name, user name and password that
// the page showed (its save flag is left as it was). On IDCANCEL, or with a
// null m_pServerEntry, nothing is copied.
#include <QPointer>
#include <QPushButton>

#include "app/server_dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/form_controls.h"
#include "store/server_entry.h"

class CRemoteDialog : public platform::ui::Dialog {
 public:
  CRemoteDialog();
  ~CRemoteDialog() override;

  QPointer<platform::ui::TabControl> m_tabServer;
  CServerDialog m_serverPage;
  // The page's fields as OK read them.
  ServerEntry m_entry;
  // The caller's entry, not owned; set before DoModal.
  ServerEntry* m_pServerEntry = nullptr;
  QPointer<QPushButton> m_btnOk;
  QPointer<QPushButton> m_btnCancel;

 protected:
  void DoDataExchange() override;
  bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnInitDialog() override;
  // While a connection test runs, OK and Cancel are off and so are Enter,
  // Escape and the close box.
  void OnCancel() override;

 private:
  void OnClickedOk();
};
