#pragma once
// The server page of the server manager: the recorders stored in "server.db",
// five fields with a "Save Password" box, Add, Delete and Edit, and the
// connection test. A modeless child inside the manager's tab control.
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <atomic>
#include <vector>

#include "platform/core/thread.h"
#include "platform/core/window_post.h"
#include "platform/ui/dialog.h"
#include "platform/ui/form_controls.h"
#include "store/server_entry.h"

// Posted by the page to its manager: wParam 0 when a connection test starts,
// 1 when it has ended; lParam 0.
inline constexpr unsigned WM_SERVER_TEST = platform::WM_USER + 110;
static_assert(WM_SERVER_TEST == 0x46E);

class CServerDialog : public platform::ui::Dialog {
 public:
  CServerDialog();
  ~CServerDialog() override;

  // Reads the five edits into the five strings (server name, ip, port, user
  // name, password) and sets the entry's ip, port, user name, password and
  // server name from them. The "Save Password" box is neither read nor copied.
  void GetServerEntry(ServerEntry& entry);
  // enable 0: every control of the page off; 1: Add, Delete and Edit by
  // m_bSelected, the others on.
  void EnableControls(int enable);
  // The name and address line `line` of the list was made from, into those of
  // server and ip that are not null: 1, or 0 when there is no such line (none
  // chosen, an index out of range), and then nothing is set. An ordinary line
  // splits back at its first "(", but a name and an address may both hold "("
  // and ")", or be empty, so no split of the text gives back what every line
  // was made from: the page keeps each line's own entry and gives that.
  int ParseListEntry(int line, QString* server, QString* ip) const;

  // How long the worker waits after its test, so the loading page shows.
  int m_nTestPauseMs = 3000;

  QPointer<QPushButton> m_btnTestConnection;
  QPointer<QLineEdit> m_editServer;
  QPointer<QLineEdit> m_editIp;
  QPointer<QLineEdit> m_editPort;
  QPointer<QLineEdit> m_editUser;
  QPointer<QLineEdit> m_editPassword;
  QPointer<platform::ui::ListBox> m_listServers;
  QPointer<QPushButton> m_btnAdd;
  QPointer<QPushButton> m_btnDelete;
  QPointer<QPushButton> m_btnEdit;
  QPointer<QCheckBox> m_checkSavePassword;

  QString m_strServer;
  QString m_strIp;
  QString m_strPort;
  QString m_strUser;
  QString m_strPassword;
  int m_nSavePassword = 0;

  // The connection test. The worker writes the result before it clears
  // m_bTestRunning; the window thread reads it only after that.
  std::atomic<int> m_bTestRunning{0};
  std::atomic<int> m_bTestRequested{0};
  QString m_strTestResult;
  std::atomic<int> m_nTestResult{0};

  int m_bSelected = 0;
  platform::WindowId m_hManagerWnd = platform::kNoWindow;

 protected:
  void DoDataExchange() override;
  bool OnInitDialog() override;
  bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnCommand(std::uintptr_t wParam, std::intptr_t lParam) override;
  void OnDestroy() override;
  // The page starts no timer: a tick gets the default handling only.
  void OnTimer(unsigned id) override { Dialog::OnTimer(id); }
  // The page is a part of its manager: it never ends by itself.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  void OnTestConnection();
  void OnAdd();
  void OnDelete();
  void OnEdit();
  void OnSelChangeServerList();
  void OnLButtonDown();

  void ReadFields();
  void LoadServerList();
  // 1 stored, 0 not, -1 when the store could not tell (the operator was told).
  // Found holds the stored fields of a 1: of the row of ip at occurrence among
  // the rows of ip.
  int IsIpStored(const QString& ip, ServerEntry* found = nullptr, int occurrence = 0);
  // The row the page's strings make, as Add and Edit store it.
  ServerEntry StoredEntry() const;
  // True when stored; the operator was told otherwise.
  bool AddServer();
  bool DeleteServer();
  void EditServer();
  void ShowFields();
  void ClearFields();
  void ResetFields();
  void SetSelectionButtons(int selected);
  void ShowStoreFailure(int code);

  // What one line of the list was made from.
  struct ListLine {
    QString server;
    QString ip;
  };
  // The list's lines with what each was made from, line for line, so that
  // choosing, Delete and Edit act on the recorder of the chosen line.
  void AppendLine(const QString& server, const QString& ip);
  void InsertLine(int index, const QString& server, const QString& ip);
  void RemoveLine(int index);
  // Removes every line of ip but line keep; gives keep's index afterwards.
  int RemoveOtherLinesOf(const QString& ip, int keep);
  // How many lines before line have its address. The lines of one address
  // stand in the order of its rows (only a loaded file has several, and Add
  // and Edit never make a second), so this is its row's place among them.
  int OccurrenceOf(int line) const;
  // The chosen line's index, or LB_ERR when none is chosen.
  int ChosenLine() const;

  static void TestThreadProc(CServerDialog* page);
  int TestConnection();
  // True when this page's window or its manager is going.
  bool ManagerClosing() const;
  // Asks a running worker to stop and waits for it.
  void StopTest();

  std::vector<ListLine> m_lines;
  // The fields the worker tests, copied before it starts.
  ServerEntry m_testFields;
  platform::Thread m_hTestThread;  // last member: joined before the others go
};
