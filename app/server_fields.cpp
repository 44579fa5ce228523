#include "app/server_fields.h"

#include "store/server_manager.h"

namespace {

constexpr int kSqliteError = 1;     // no table (or no connection)
constexpr int kSqliteCantOpen = 14;  // no file

}  // namespace

QString ServerListLine(const QString& server, const QString& ip) { return server + u'(' + ip + u')'; }

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
