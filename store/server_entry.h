#pragma once
// One recorder as the server store, the login dialogs and the main window pass
// it around. A plain value record: whoever fills it decides what goes in; no
// field is validated, trimmed or limited here.
#include <QString>

class ServerEntry {
public:
  ServerEntry() = default;
  ServerEntry(const ServerEntry&) = default;
  ServerEntry& operator=(const ServerEntry&) = default;
  ~ServerEntry() = default;

  // Address or host name exactly as typed; the key of the store.
  QString GetIp() const { return m_ip; }
  // Display name.
  QString GetServerName() const { return m_serverName; }
  // TCP port as decimal text.
  QString GetPort() const { return m_port; }
  QString GetUserName() const { return m_userName; }
  // Clear text in memory; scrambled only inside "server.db".
  QString GetPassword() const { return m_password; }
  // "1" when the password is stored with the entry, "0" when not.
  QString GetSaveEnable() const { return m_saveEnable; }

  void SetIp(QString ip) { m_ip = std::move(ip); }
  void SetServerName(QString serverName) { m_serverName = std::move(serverName); }
  void SetPort(QString port) { m_port = std::move(port); }
  void SetUserName(QString userName) { m_userName = std::move(userName); }
  void SetPassword(QString password) { m_password = std::move(password); }
  void SetSaveEnable(QString saveEnable) { m_saveEnable = std::move(saveEnable); }

private:
  QString m_ip;
  QString m_serverName;
  QString m_port;
  QString m_userName;
  QString m_password;
  QString m_saveEnable;
};
