#include "store/server_manager.h"

#include "store/scramble.h"

namespace {

QString Quoted(const QString& scrambled) { return u'\'' + scrambled + u'\''; }

QString SaltedCell(const SQLite::Table& table, const QString& column) {
  // A missing column reads as the empty text.
  return UnscrambleSalted(table.GetCell(column).value_or(QString()));
}

}  // namespace

bool FitsServerStore(const ServerEntry& entry) {
  for (const QString& value : {entry.GetSaveEnable(), entry.GetServerName(), entry.GetPort(), entry.GetUserName(),
                               entry.GetPassword()}) {
    if (value.size() > store_scramble::kMaxSaltedUnits) return false;
  }
  return true;
}

CServerManager::~CServerManager() { m_db.Close(); }

int CServerManager::Insert(const ServerEntry& entry) {
  // The scrambled texts hold only hex digits and letters, never a quote. The
  // insert names no columns: the table has exactly these six, in this order.
  const QString values[] = {ScrambleSalted(entry.GetSaveEnable()), ScrambleSalted(entry.GetServerName()),
                            ScrambleFixed(entry.GetIp()),          ScrambleSalted(entry.GetPort()),
                            ScrambleSalted(entry.GetUserName()),   ScrambleSalted(entry.GetPassword())};
  QString sql = QStringLiteral("insert into server values(");
  for (const QString& value : values) {
    if (&value != values) sql += u',';
    sql += Quoted(value);
  }
  sql += QStringLiteral(");");
  return m_db.Exec(sql);
}

int CServerManager::Delete(const QString& ip) {
  return m_db.Exec(QStringLiteral("delete from server where ip = ") + Quoted(ScrambleFixed(ip)) + u';');
}

int CServerManager::AddServer(const ServerEntry& entry) {
  if (!FitsServerStore(entry)) return kValueTooLong;
  return Insert(entry);
}

int CServerManager::DeleteServer(const QString& ip) { return Delete(ip); }

ServerEntry CServerManager::FindServer(const QString& ip, int* result, bool* found, int occurrence) {
  ServerEntry entry;
  // Without an order both this query and ListServers' read the table in its
  // own row order, so the rows of one address stand in the same order in both.
  SQLite::Table table = m_db.Query(QStringLiteral("select * from server where ip = ") + Quoted(ScrambleFixed(ip)) + u';', result);
  const bool stored = occurrence >= 0 && table.GetRowCount() > occurrence;
  if (found != nullptr) *found = stored;
  if (!stored) return entry;
  table.SetRow(occurrence);
  entry.SetIp(ip);
  entry.SetUserName(SaltedCell(table, QStringLiteral("user")));
  entry.SetPassword(SaltedCell(table, QStringLiteral("password")));
  entry.SetPort(SaltedCell(table, QStringLiteral("port")));
  entry.SetServerName(SaltedCell(table, QStringLiteral("server")));
  entry.SetSaveEnable(SaltedCell(table, QStringLiteral("saveenable")));
  return entry;
}

SQLite::Table CServerManager::ListServers(int* result) {
  return m_db.Query(QStringLiteral("select * from server;"), result);
}

int CServerManager::ChangeServer(const QString& previousIp, const ServerEntry& entry) {
  if (!FitsServerStore(entry)) return kValueTooLong;
  int result = m_db.Exec(QStringLiteral("begin;"));
  if (result != 0) return result;
  result = Delete(previousIp);
  if (result == 0) result = Insert(entry);
  if (result == 0) result = m_db.Exec(QStringLiteral("commit;"));
  if (result != 0) m_db.Exec(QStringLiteral("rollback;"));
  return result;
}
