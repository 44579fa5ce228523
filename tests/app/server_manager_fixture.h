#pragma once
// A temporary current directory holding a copy of the shipped "server.db",
// message boxes answered and recorded, and helpers that work the server page
// through its controls.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

#include "app/remote_dialog.h"
#include "platform/core/icmp_socket.h"
#include "store/scramble.h"
#include "store/server_manager.h"
#include "tests/app/box_recorder.h"
#include "tests/app/run_dialog.h"

class ServerManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TARNWELL_SOURCE_DIR "/res/server.db"), QStringLiteral("server.db")));
    QFile::setPermissions(QStringLiteral("server.db"), QFile::ReadOwner | QFile::WriteOwner);
    previousProbe_ = platform::CurrentEchoProbeOverride();
  }
  void TearDown() override {
    platform::SetEchoProbeOverride(previousProbe_);
    QDir::setCurrent(previousDir_);
  }

  static ServerEntry Entry(const QString& server, const QString& ip, const QString& port, const QString& user,
                           const QString& password, const QString& save) {
    ServerEntry e;
    e.SetServerName(server);
    e.SetIp(ip);
    e.SetPort(port);
    e.SetUserName(user);
    e.SetPassword(password);
    e.SetSaveEnable(save);
    return e;
  }
  static void Store(const ServerEntry& entry) {
    CServerManager store;
    store.m_db.Open();
    ASSERT_EQ(store.AddServer(entry), 0);
  }
  // Every stored row, in table order, unscrambled.
  static std::vector<ServerEntry> Rows() {
    CServerManager store;
    store.m_db.Open();
    SQLite::Table table = store.ListServers();
    std::vector<ServerEntry> rows;
    for (int i = 0; i < table.GetRowCount(); ++i) {
      table.SetRow(i);
      auto salted = [&](const char* column) {
        return UnscrambleSalted(table.GetCell(QString::fromLatin1(column)).value_or(QString()));
      };
      rows.push_back(Entry(salted("server"), UnscrambleFixed(table.GetCell(QStringLiteral("ip")).value_or(QString())),
                           salted("port"), salted("user"), salted("password"), salted("saveenable")));
    }
    return rows;
  }

  static void Fill(CServerDialog& page, const QString& server, const QString& ip, const QString& port,
                   const QString& user, const QString& password, bool save) {
    page.m_editServer->setText(server);
    page.m_editIp->setText(ip);
    page.m_editPort->setText(port);
    page.m_editUser->setText(user);
    page.m_editPassword->setText(password);
    page.m_checkSavePassword->setChecked(save);
  }
  static QStringList Fields(CServerDialog& page) {
    return {page.m_editServer->text(), page.m_editIp->text(), page.m_editPort->text(), page.m_editUser->text(),
            page.m_editPassword->text()};
  }
  static QStringList Lines(CServerDialog& page) {
    QStringList lines;
    for (int i = 0; i < page.m_listServers->GetCount(); ++i) lines << page.m_listServers->GetText(i);
    return lines;
  }
  // Add, Delete, Edit enabled.
  static std::vector<bool> Buttons(CServerDialog& page) {
    return {page.m_btnAdd->isEnabled(), page.m_btnDelete->isEnabled(), page.m_btnEdit->isEnabled()};
  }
  // The operator picks a line, as a click in the list does.
  static void Choose(CServerDialog& page, int line) { page.m_listServers->setCurrentRow(line); }
  static void Click(QAbstractButton* button) { button->click(); }

  // The boxes shown so far as "title: text", then forgotten.
  QStringList TakeBoxes() {
    QStringList shown;
    for (const auto& box : boxes_.boxes) shown << box.title + QStringLiteral(": ") + box.text;
    boxes_.boxes.clear();
    return shown;
  }
  const std::vector<platform::MessageBoxRequest>& BoxRequests() const { return boxes_.boxes; }

 private:
  QTemporaryDir dir_;
  QString previousDir_;
  platform::EchoProbeOverride previousProbe_;
  BoxRecorder boxes_;
};

inline bool operator==(const ServerEntry& a, const ServerEntry& b) {
  return a.GetServerName() == b.GetServerName() && a.GetIp() == b.GetIp() && a.GetPort() == b.GetPort() &&
         a.GetUserName() == b.GetUserName() && a.GetPassword() == b.GetPassword() &&
         a.GetSaveEnable() == b.GetSaveEnable();
}
inline void PrintTo(const ServerEntry& e, std::ostream* os) {
  *os << "{" << e.GetServerName().toStdString() << "," << e.GetIp().toStdString() << "," << e.GetPort().toStdString()
      << "," << e.GetUserName().toStdString() << "," << e.GetPassword().toStdString() << ","
      << e.GetSaveEnable().toStdString() << "}";
}
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
