#include "app/server_fields.h"

#include "store/server_manager.h"

namespace {

constexpr int kSqliteError = 1;     // no table (or no connection)
constexpr int kSqliteCantOpen = 14;  // no file

bool IsParenthesis(QChar c) { return c == u'(' || c == u')'; }

}  // namespace

QString ServerListLine(const QString& server, const QString& ip) { return server + u'(' + ip + u')'; }

bool ParseListEntry(const QString& line, QString* server, QString* ip) {
  const qsizetype open = line.indexOf(u'(');
  if (line.isEmpty() || open <= 0) return false;
  QString address = line.mid(open);
  qsizetype end = address.size();
  while (end > 0 && IsParenthesis(address[end - 1])) --end;
  address.truncate(end);
  qsizetype begin = 0;
  while (begin < address.size() && IsParenthesis(address[begin])) ++begin;
  *server = line.left(open);
  *ip = address.mid(begin);
  return true;
}

QString MissingFieldMessage(const QString& ip, const QString& user, const QString& port) {
  if (ip.isEmpty()) return QStringLiteral("The ip field is empty!");
  if (user.isEmpty()) return QStringLiteral("The user name field is empty!");
  if (port.isEmpty()) return QStringLiteral("The port number field is empty!");
  return QString();
}

QString StoreFailureMessage(int code) {
  switch (code) {
    case 0: return QString();
    case kSqliteError:
    case kSqliteCantOpen: return kDatabaseMissingText;
    case CServerManager::kValueTooLong: return QStringLiteral("A field is too long to be stored.");
    default: return QStringLiteral("The database cannot be used.");
  }
}
