// The server manager and its page: listing, adding, choosing, editing and
// deleting stored recorders through the page's controls, the refused inputs,
// store failures, and what OK hands to the caller.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/server_fields.h"
#include "res/resource.h"
#include "tests/app/server_manager_fixture.h"
#include "tests/ui/qt_test_app.h"

using platform::ui::IDCANCEL;
using platform::ui::IDOK;

namespace {

const std::vector<bool> kNothingChosen{true, false, false};
const std::vector<bool> kLineChosen{false, true, true};

}  // namespace

TEST_F(ServerManagerTest, OpensWithTheStoredRecordersInTableOrderAndTheDefaults) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  Store(Entry("Gate", "gate.example", "80", "op", "", "0"));
  Store(Entry(QString(60, u'n'), QString(60, u'a'), "80", "u", "", "0"));  // both long
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    EXPECT_EQ(d.Window()->windowTitle(), QStringLiteral("Remote Server Manager"));
    ASSERT_NE(d.m_tabServer, nullptr);
    EXPECT_EQ(d.m_tabServer->GetItemCount(), 1);
    EXPECT_EQ(d.m_tabServer->GetItemText(0), QStringLiteral("Server"));
    EXPECT_TRUE(page.Window()->isVisible());
    EXPECT_EQ(page.Window()->geometry(), d.m_tabServer->rect().adjusted(2, 23, -4, -2));
    EXPECT_EQ(page.m_hManagerWnd, d.Id());
    EXPECT_EQ(Lines(page), (QStringList{"Lobby(127.0.0.1)", "Gate(gate.example)",
                                        QString(60, u'n') + u'(' + QString(60, u'a') + u')'}));
    EXPECT_EQ(Fields(page), (QStringList{"NVR", "", "80", "", ""}));
    EXPECT_FALSE(page.m_checkSavePassword->isChecked());
    EXPECT_EQ(page.m_editPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Buttons(page), kNothingChosen);
    EXPECT_EQ(page.m_bSelected, 0);
  });
  EXPECT_TRUE(TakeBoxes().isEmpty());
  EXPECT_FALSE(dlg.m_serverPage.HasWindow());  // the page went with the manager
}

TEST_F(ServerManagerTest, WithoutServerDbThePageSaysSoAndLeavesNoFile) {
  ASSERT_TRUE(QFile::remove("server.db"));
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    ASSERT_EQ(BoxRequests().size(), 1u);
    EXPECT_EQ(BoxRequests()[0].owner, page.Id());  // a box of the page
    EXPECT_EQ(TakeBoxes(), QStringList{"Message: The database does not exist."});
    EXPECT_EQ(page.m_listServers->GetCount(), 0);
    Fill(page, "Lobby", "127.0.0.1", "80", "admin", "pw", true);
    Click(page.m_btnAdd);
    // Nothing stored, so nothing listed; the edits keep their text.
    EXPECT_EQ(TakeBoxes(), QStringList{"Error: The database does not exist."});
    EXPECT_EQ(page.m_listServers->GetCount(), 0);
    EXPECT_EQ(Fields(page), (QStringList{"Lobby", "127.0.0.1", "80", "admin", "pw"}));
  });
  EXPECT_FALSE(QFile::exists("server.db"));
}

TEST_F(ServerManagerTest, AddStoresTheFieldsAndRefusesAnEmptyOrStoredAddress) {
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    // No address: nothing, and nothing said.
    Fill(page, "Lobby", "", "8080", "admin", "secret", true);
    Click(page.m_btnAdd);
    EXPECT_TRUE(TakeBoxes().isEmpty());
    EXPECT_TRUE(Rows().empty());

    Fill(page, "Lobby", "127.0.0.1", "8080", "admin", "secret", true);
    Click(page.m_btnAdd);
    EXPECT_TRUE(TakeBoxes().isEmpty());
    EXPECT_EQ(Lines(page), QStringList{"Lobby(127.0.0.1)"});
    EXPECT_EQ(Fields(page), (QStringList{"", "", "", "", ""}));
    EXPECT_FALSE(page.m_checkSavePassword->isChecked());
    EXPECT_EQ(Buttons(page), kNothingChosen);

    // The same characters again are refused; another spelling is another address.
    Fill(page, "Again", "127.0.0.1", "80", "x", "y", false);
    Click(page.m_btnAdd);
    EXPECT_EQ(TakeBoxes(), QStringList{"Warning: The IP address exists"});
    EXPECT_EQ(Fields(page), (QStringList{"Again", "127.0.0.1", "80", "x", "y"}));
    Fill(page, "Other", "127.000.0.1", "81", "op", "unsaved", false);
    Click(page.m_btnAdd);
    EXPECT_TRUE(TakeBoxes().isEmpty());
    EXPECT_EQ(Lines(page), (QStringList{"Lobby(127.0.0.1)", "Other(127.000.0.1)"}));
  });
  // A password is stored only with a ticked box.
  EXPECT_EQ(Rows(), (std::vector<ServerEntry>{Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"),
                                              Entry("Other", "127.000.0.1", "81", "op", "", "0")}));
}

TEST_F(ServerManagerTest, NoEditLimitsItsTextAndAFieldTooLongToStoreIsRefused) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  const QString longest(store_scramble::kMaxSaltedUnits, u'u');
  const QString tooLong = longest + u'u';
  const QString refused = QStringLiteral("Error: A field is too long to be stored.");
  ServerEntry caller;
  CRemoteDialog dlg;
  dlg.m_pServerEntry = &caller;
  const int result = RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    Fill(page, tooLong, "127.0.0.2", "80", "admin", "pw", true);
    EXPECT_EQ(Fields(page), (QStringList{tooLong, "127.0.0.2", "80", "admin", "pw"}));
    // Add and Edit refuse what the store cannot keep, and change nothing.
    Click(page.m_btnAdd);
    EXPECT_EQ(TakeBoxes(), QStringList{refused});
    EXPECT_EQ(Lines(page), QStringList{"Lobby(127.0.0.1)"});
    EXPECT_EQ(Fields(page), (QStringList{tooLong, "127.0.0.2", "80", "admin", "pw"}));
    Choose(page, 0);
    page.m_editPassword->setText(tooLong);
    Click(page.m_btnEdit);
    EXPECT_EQ(TakeBoxes(), QStringList{refused});
    EXPECT_EQ(Lines(page), QStringList{"Lobby(127.0.0.1)"});
    EXPECT_EQ(Buttons(page), kLineChosen);
    // The longest the store keeps is stored.
    Fill(page, "Hall", "127.0.0.3", "80", longest, "pw", true);
    page.m_bSelected = 0;
    page.EnableControls(1);
    Click(page.m_btnAdd);
    EXPECT_TRUE(TakeBoxes().isEmpty());
    EXPECT_EQ(Lines(page), (QStringList{"Lobby(127.0.0.1)", "Hall(127.0.0.3)"}));
    // OK hands on the fields whole, as the page shows them.
    Fill(page, "Long", "127.0.0.9", "80", tooLong, tooLong, false);
    Click(d.m_btnOk);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(caller, Entry("Long", "127.0.0.9", "80", tooLong, tooLong, ""));
  const std::vector<ServerEntry> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  EXPECT_EQ(rows[1].GetIp(), "127.0.0.3");
}

TEST_F(ServerManagerTest, ChoosingALineShowsItsStoredFieldsAndAClickBesideTheControlsUnchoosesIt) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  Store(Entry("Gate", "gate.example", "81", "op", "", "0"));
  Store(Entry("Cam (east)", "cam.example", "82", "u", "", "0"));
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    Choose(page, 0);
    EXPECT_EQ(Fields(page), (QStringList{"Lobby", "127.0.0.1", "8080", "admin", "secret"}));
    EXPECT_TRUE(page.m_checkSavePassword->isChecked());
    EXPECT_EQ(Buttons(page), kLineChosen);
    EXPECT_EQ(page.m_bSelected, 1);
    Choose(page, 1);
    EXPECT_EQ(Fields(page), (QStringList{"Gate", "gate.example", "81", "op", ""}));
    EXPECT_FALSE(page.m_checkSavePassword->isChecked());

    // A name holding "(" is shown whole with its own recorder's fields.
    Choose(page, 2);
    EXPECT_EQ(Fields(page), (QStringList{"Cam (east)", "cam.example", "82", "u", ""}));
    // A row that went from the store meanwhile changes nothing.
    {
      CServerManager store;
      store.m_db.Open();
      ASSERT_EQ(store.DeleteServer("127.0.0.1"), 0);
    }
    Choose(page, 0);
    EXPECT_EQ(Fields(page), (QStringList{"Cam (east)", "cam.example", "82", "u", ""}));
    EXPECT_EQ(Buttons(page), kLineChosen);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), page.Client()->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page.Client(), &press);
    EXPECT_EQ(Buttons(page), kNothingChosen);
    EXPECT_EQ(page.m_bSelected, 0);
    EXPECT_EQ(page.m_listServers->GetCurSel(), 0);  // the selection and the edits stay
    EXPECT_EQ(page.m_editIp->text(), QStringLiteral("cam.example"));
  });
  EXPECT_TRUE(TakeBoxes().isEmpty());
}

TEST_F(ServerManagerTest, EditChangesTheChosenRecordersRowInOneStepAndRefusesAClash) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  Store(Entry("Gate", "gate.example", "81", "op", "pw", "1"));
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    Click(page.m_btnEdit);  // nothing chosen: disabled, and nothing would happen
    Choose(page, 0);
    struct Refused {
      const char* ip;
      const char* box;
    };
    for (const Refused& r : {Refused{"", "Error: The ip field is empty!"},
                             Refused{"gate.example", "Warning: The IP address exists"}}) {
      page.m_editIp->setText(QString::fromUtf8(r.ip));
      Click(page.m_btnEdit);
      EXPECT_EQ(TakeBoxes(), QStringList{QString::fromUtf8(r.box)}) << r.ip;
      EXPECT_EQ(Buttons(page), kLineChosen) << r.ip;
      EXPECT_EQ(Lines(page), (QStringList{"Lobby(127.0.0.1)", "Gate(gate.example)"})) << r.ip;
    }
    // A new name, address and port, with the box unticked.
    Fill(page, "Hall", "127.0.0.2", "9000", "admin", "secret", false);
    Click(page.m_btnEdit);
    EXPECT_TRUE(TakeBoxes().isEmpty());
    EXPECT_EQ(Lines(page), (QStringList{"Hall(127.0.0.2)", "Gate(gate.example)"}));  // same place
    EXPECT_EQ(page.m_listServers->GetCurSel(), platform::ui::LB_ERR);
    EXPECT_EQ(Fields(page), (QStringList{"", "", "", "", ""}));
    EXPECT_EQ(Buttons(page), kNothingChosen);

    // Keeping its own address is no clash.
    Choose(page, 1);
    page.m_editPort->setText("82");
    Click(page.m_btnEdit);
    EXPECT_TRUE(TakeBoxes().isEmpty());
  });
  // Edited rows come last; an unticked box stores no password.
  EXPECT_EQ(Rows(), (std::vector<ServerEntry>{Entry("Hall", "127.0.0.2", "9000", "admin", "", "0"),
                                              Entry("Gate", "gate.example", "82", "op", "pw", "1")}));
}

TEST_F(ServerManagerTest, DeleteRemovesTheChosenLinesRowEvenWhenTheAddressEditChanged) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  Store(Entry("Gate", "gate.example", "81", "op", "", "0"));
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    Choose(page, 0);
    page.m_editIp->setText("gate.example");
    Click(page.m_btnDelete);
    EXPECT_EQ(Lines(page), QStringList{"Gate(gate.example)"});
    EXPECT_EQ(page.m_listServers->GetCurSel(), platform::ui::LB_ERR);
    EXPECT_EQ(Fields(page), (QStringList{"", "", "", "", ""}));
    EXPECT_EQ(Buttons(page), kNothingChosen);
    // Without a chosen line only the buttons move.
    page.SendCommand(IDC_BTN_DELETE_SERVER);
    EXPECT_EQ(Lines(page), QStringList{"Gate(gate.example)"});
  });
  EXPECT_EQ(Rows(), (std::vector<ServerEntry>{Entry("Gate", "gate.example", "81", "op", "", "0")}));
  EXPECT_TRUE(TakeBoxes().isEmpty());
}

// Lines whose name or address holds "(" or ")", or is empty, as stored by an
// earlier run or typed now: each is chosen, edited and deleted as any other.
TEST_F(ServerManagerTest, EveryLineCanBeChosenEditedAndDeletedWhateverItsNameAndAddress) {
  const ServerEntry lobby = Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1");
  Store(lobby);
  struct Case {
    const char* what;
    bool typed;  // added through the page, else already in server.db
    QString server, ip, line;
    QString editedIp, editedLine;  // after Edit with port 9000
  };
  const Case cases[] = {
      {"empty name, stored", false, "", "127.0.0.7", "(127.0.0.7)", "127.0.0.7", "(127.0.0.7)"},
      {"empty name, typed", true, "", "127.0.0.7", "(127.0.0.7)", "127.0.0.7", "(127.0.0.7)"},
      {"name with parentheses, stored", false, "Cam (north)", "127.0.0.8", "Cam (north)(127.0.0.8)", "127.0.0.8",
       "Cam (north)(127.0.0.8)"},
      {"name with parentheses, typed", true, "Cam (north)", "127.0.0.8", "Cam (north)(127.0.0.8)", "127.0.0.8",
       "Cam (north)(127.0.0.8)"},
      {"name of parentheses only", false, ")(", "127.0.0.9", ")((127.0.0.9)", "127.0.0.9", ")((127.0.0.9)"},
      {"address in parentheses, typed", true, "Odd", "(127.0.0.10)", "Odd((127.0.0.10))", "127.0.0.10",
       "Odd(127.0.0.10)"},
      // No address at all, as an edit of another build could store it.
      {"no address, stored", false, "Blank", "", "Blank()", "127.0.0.11", "Blank(127.0.0.11)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.typed) Store(Entry(c.server, c.ip, "81", "op", "pw", "1"));
    CRemoteDialog dlg;
    RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
      CServerDialog& page = d.m_serverPage;
      if (c.typed) {
        Fill(page, c.server, c.ip, "81", "op", "pw", true);
        Click(page.m_btnAdd);
      }
      ASSERT_EQ(Lines(page), (QStringList{"Lobby(127.0.0.1)", c.line}));
      Choose(page, 1);
      EXPECT_EQ(Fields(page), (QStringList{c.server, c.ip, "81", "op", "pw"}));
      EXPECT_EQ(Buttons(page), kLineChosen);
      page.m_editIp->setText(c.editedIp);
      page.m_editPort->setText("9000");
      Click(page.m_btnEdit);
      EXPECT_EQ(Lines(page), (QStringList{"Lobby(127.0.0.1)", c.editedLine}));
      EXPECT_EQ(Rows(), (std::vector<ServerEntry>{lobby, Entry(c.server, c.editedIp, "9000", "op", "pw", "1")}));
      Choose(page, 1);
      EXPECT_EQ(Fields(page), (QStringList{c.server, c.editedIp, "9000", "op", "pw"}));
      Click(page.m_btnDelete);
      EXPECT_EQ(Lines(page), QStringList{"Lobby(127.0.0.1)"});
      EXPECT_EQ(Buttons(page), kNothingChosen);
    });
    EXPECT_EQ(Rows(), std::vector<ServerEntry>{lobby});
    EXPECT_TRUE(TakeBoxes().isEmpty());
  }
}

// Choosing a line takes its name and address from ParseListEntry: an ordinary
// line gives what its split at the first "(" gives, every other line its own
// name and address, which no split of its text gives back.
TEST_F(ServerManagerTest, ParseListEntryGivesTheNameAndAddressEachLineWasMadeFrom) {
  struct Case {
    const char* what;
    QString server, ip, line;
  };
  const Case cases[] = {
      {"ordinary", "NVR", "127.0.0.1", "NVR(127.0.0.1)"},
      {"host name", "Gate", "gate.example", "Gate(gate.example)"},
      {"no address", "Blank", "", "Blank()"},
      {"empty name", "", "127.0.0.7", "(127.0.0.7)"},
      {"name with parentheses", "Cam (north)", "127.0.0.8", "Cam (north)(127.0.0.8)"},
      {"name of parentheses only", ")(", "127.0.0.9", ")((127.0.0.9)"},
      {"address in parentheses", "Odd", "(127.0.0.10)", "Odd((127.0.0.10))"},
      {"address ending in a parenthesis", "Cam", "cam(2)", "Cam(cam(2))"},
  };
  for (const Case& c : cases) Store(Entry(c.server, c.ip, "80", "op", "", "0"));
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    const int count = static_cast<int>(std::size(cases));
    ASSERT_EQ(page.m_listServers->GetCount(), count);
    QString server = QStringLiteral("kept");
    QString ip = QStringLiteral("kept");
    // No line, or none chosen: 0, and nothing set.
    for (int line : {platform::ui::LB_ERR, count, count + 1}) {
      EXPECT_EQ(page.ParseListEntry(line, &server, &ip), 0) << line;
    }
    EXPECT_EQ(page.ParseListEntry(page.m_listServers->GetCurSel(), &server, &ip), 0);
    EXPECT_EQ(server, QStringLiteral("kept"));
    EXPECT_EQ(ip, QStringLiteral("kept"));
    for (int i = 0; i < count; ++i) {
      const Case& c = cases[i];
      SCOPED_TRACE(c.what);
      ASSERT_EQ(page.m_listServers->GetText(i), c.line);
      Choose(page, i);
      EXPECT_EQ(page.ParseListEntry(page.m_listServers->GetCurSel(), &server, &ip), 1);
      EXPECT_EQ(server, c.server);
      EXPECT_EQ(ip, c.ip);
      // Choosing set the page's strings through it, and showed them.
      EXPECT_EQ(page.m_strServer, c.server);
      EXPECT_EQ(page.m_strIp, c.ip);
      EXPECT_EQ(Fields(page), (QStringList{c.server, c.ip, "80", "op", ""}));
    }
    // A deleted line's index gives nothing any more.
    Click(page.m_btnDelete);
    EXPECT_EQ(page.ParseListEntry(count - 1, &server, &ip), 0);
  });
  EXPECT_TRUE(TakeBoxes().isEmpty());
}

// A server.db of another build may hold one address on two rows; the page
// never makes such rows, but lists them as they stand.
TEST_F(ServerManagerTest, TwoRowsOfOneAddressShowTheirOwnFieldsAndDeleteOrEditLeavesTheListAsServerDbHoldsIt) {
  const ServerEntry first = Entry("First", "127.0.0.5", "81", "alpha", "pa", "1");
  const ServerEntry gate = Entry("Gate", "gate.example", "80", "op", "", "0");
  const ServerEntry second = Entry("Second", "127.0.0.5", "82", "beta", "", "0");
  struct Case {
    const char* what;
    int line;           // the address's first line (0) or its second (2)
    bool edit;          // else Delete
    QString ip;         // the IP Address edit at Edit
    QStringList lines;  // the list afterwards
  };
  const Case cases[] = {
      {"delete its first line", 0, false, "", {"Gate(gate.example)"}},
      {"delete its second line", 2, false, "", {"Gate(gate.example)"}},
      // A changed line keeps its place while its row goes last.
      {"edit its first line", 0, true, "127.0.0.5", {"First(127.0.0.5)", "Gate(gate.example)"}},
      {"edit its second line", 2, true, "127.0.0.5", {"Gate(gate.example)", "Second(127.0.0.5)"}},
      {"edit its second line to a new address", 2, true, "127.0.0.6", {"Gate(gate.example)", "Second(127.0.0.6)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      CServerManager store;
      store.m_db.Open();
      ASSERT_EQ(store.m_db.Exec("delete from server;"), 0);
    }
    for (const ServerEntry& e : {first, gate, second}) Store(e);
    const ServerEntry& chosen = c.line == 0 ? first : second;
    CRemoteDialog dlg;
    RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
      CServerDialog& page = d.m_serverPage;
      ASSERT_EQ(Lines(page), (QStringList{"First(127.0.0.5)", "Gate(gate.example)", "Second(127.0.0.5)"}));
      // Each line of the address shows its own row.
      Choose(page, 2);
      EXPECT_EQ(Fields(page), (QStringList{"Second", "127.0.0.5", "82", "beta", ""}));
      EXPECT_FALSE(page.m_checkSavePassword->isChecked());
      Choose(page, 0);
      EXPECT_EQ(Fields(page), (QStringList{"First", "127.0.0.5", "81", "alpha", "pa"}));
      EXPECT_TRUE(page.m_checkSavePassword->isChecked());

      Choose(page, c.line);
      EXPECT_EQ(page.m_editPort->text(), chosen.GetPort());
      std::vector<ServerEntry> expected{gate};
      if (c.edit) {
        page.m_editIp->setText(c.ip);
        page.m_editPort->setText("9000");
        Click(page.m_btnEdit);
        expected.push_back(Entry(chosen.GetServerName(), c.ip, "9000", chosen.GetUserName(), chosen.GetPassword(),
                                 chosen.GetSaveEnable()));
      } else {
        Click(page.m_btnDelete);
      }
      EXPECT_TRUE(TakeBoxes().isEmpty());
      EXPECT_EQ(Lines(page), c.lines);
      EXPECT_EQ(page.m_listServers->GetCurSel(), platform::ui::LB_ERR);
      EXPECT_EQ(Buttons(page), kNothingChosen);
      // What server.db holds, line for line; an edited row stands last there.
      const std::vector<ServerEntry> rows = Rows();
      EXPECT_EQ(rows, expected);
      QStringList stored;
      for (const ServerEntry& row : rows) stored << ServerListLine(row.GetServerName(), row.GetIp());
      QStringList listed = Lines(page);
      listed.sort();
      stored.sort();
      EXPECT_EQ(listed, stored);
    });
  }
}

TEST_F(ServerManagerTest, AFailingStoreIsReportedAndTheListStaysAsItWas) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  struct Case {
    const char* name;
    bool removeFile;  // else a database without the table
  };
  for (const Case& c : {Case{"file gone", true}, Case{"table gone", false}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(QFile::copy(QStringLiteral("server.db"), QStringLiteral("kept.db")));
    CRemoteDialog dlg;
    RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
      CServerDialog& page = d.m_serverPage;
      ASSERT_EQ(Lines(page), QStringList{"Lobby(127.0.0.1)"});
      if (c.removeFile) {
        ASSERT_TRUE(QFile::remove("server.db"));
      } else {
        CServerManager store;
        store.m_db.Open();
        ASSERT_EQ(store.m_db.Exec("drop table server;"), 0);
      }
      const QString missing = QStringLiteral("Error: The database does not exist.");
      Choose(page, 0);
      EXPECT_EQ(TakeBoxes(), QStringList{missing});
      EXPECT_EQ(Buttons(page), kNothingChosen);
      // Delete and Edit of the chosen line, and Add of a new one.
      page.m_bSelected = 1;
      page.EnableControls(1);
      Fill(page, "Hall", "127.0.0.2", "80", "u", "p", true);
      Click(page.m_btnEdit);
      EXPECT_EQ(TakeBoxes(), QStringList{missing});
      Click(page.m_btnDelete);
      EXPECT_EQ(TakeBoxes(), QStringList{missing});
      page.m_bSelected = 0;
      page.EnableControls(1);
      Click(page.m_btnAdd);
      EXPECT_EQ(TakeBoxes(), QStringList{missing});
      EXPECT_EQ(Lines(page), QStringList{"Lobby(127.0.0.1)"});
      EXPECT_EQ(Fields(page), (QStringList{"Hall", "127.0.0.2", "80", "u", "p"}));
    });
    QFile::remove("server.db");
    ASSERT_TRUE(QFile::rename(QStringLiteral("kept.db"), QStringLiteral("server.db")));
  }
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(ServerManagerTest, OkChecksTheFieldsInOrderAndHandsTheChosenRecorderToTheCaller) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  struct Refused {
    QStringList fields;  // server, ip, port, user, password
    const char* box;
  };
  const Refused refused[] = {
      {{"A", "", "", "", ""}, "Error: The ip field is empty!"},
      {{"A", "h", "", "", "p"}, "Error: The user name field is empty!"},
      {{"A", "h", "", "u", "p"}, "Error: The port number field is empty!"},
  };
  ServerEntry caller = Entry("old", "old", "1", "old", "old", "keep");
  CRemoteDialog dlg;
  dlg.m_pServerEntry = &caller;
  const int result = RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    CServerDialog& page = d.m_serverPage;
    for (const Refused& r : refused) {
      Fill(page, r.fields[0], r.fields[1], r.fields[2], r.fields[3], r.fields[4], false);
      Click(d.m_btnOk);
      EXPECT_EQ(TakeBoxes(), QStringList{QString::fromUtf8(r.box)});
      EXPECT_FALSE(d.HasEnded());
    }
    EXPECT_EQ(caller, Entry("old", "old", "1", "old", "old", "keep"));
    // The chosen line's fields, as the page shows them.
    Choose(page, 0);
    Click(d.m_btnOk);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(caller, Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "keep"));

  // Blanks count as text; an empty name or password passes.
  CRemoteDialog blanks;
  blanks.m_pServerEntry = &caller;
  EXPECT_EQ(RunDialog<CRemoteDialog>(blanks, [&](CRemoteDialog& d) {
              Fill(d.m_serverPage, "", "h", "x", "  ", "", false);
              Click(d.m_btnOk);
            }),
            IDOK);
  EXPECT_EQ(caller, Entry("", "h", "x", "  ", "", "keep"));

  // Cancel copies nothing; OK without a caller's entry still ends.
  CRemoteDialog cancelled;
  cancelled.m_pServerEntry = &caller;
  EXPECT_EQ(RunDialog<CRemoteDialog>(cancelled, [&](CRemoteDialog& d) {
              Fill(d.m_serverPage, "B", "b", "1", "u", "p", true);
              Click(d.m_btnCancel);
            }),
            IDCANCEL);
  EXPECT_EQ(caller, Entry("", "h", "x", "  ", "", "keep"));
  CRemoteDialog nobody;
  EXPECT_EQ(RunDialog<CRemoteDialog>(nobody, [&](CRemoteDialog& d) {
              Fill(d.m_serverPage, "B", "b", "1", "u", "p", true);
              Click(d.m_btnOk);
            }),
            IDOK);
  EXPECT_TRUE(TakeBoxes().isEmpty());
}

TEST_F(ServerManagerTest, EnterAndEscapeInThePageActForTheManager) {
  ServerEntry caller;
  struct Case {
    Qt::Key key;
    int result;
    QString ip;  // what the caller then holds
  };
  for (const Case& c : {Case{Qt::Key_Escape, IDCANCEL, QString()}, Case{Qt::Key_Return, IDOK, "127.0.0.1"}}) {
    CRemoteDialog dlg;
    dlg.m_pServerEntry = &caller;
    const int result = RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
      Fill(d.m_serverPage, "Lobby", "127.0.0.1", "80", "admin", "", false);
      QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
      QApplication::sendEvent(d.m_serverPage.m_editUser, &press);
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(caller.GetIp(), c.ip);
  }
  EXPECT_TRUE(TakeBoxes().isEmpty());
}
