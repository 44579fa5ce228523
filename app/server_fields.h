#pragma once
// The server page's rules that need no window: how a stored recorder reads as
// a line of its list, which field the operator must still fill in, and what
// the operator is told when the store fails.
#include <QString>

// name "(" address ")", with no blank between them.
QString ServerListLine(const QString& server, const QString& ip);

// The first empty one of ip, user name and port (in that order), as the text
// of its message; empty when all three hold text. Blanks count as text.
QString MissingFieldMessage(const QString& ip, const QString& user, const QString& port);

// What the operator is told when a store operation returned code (non-zero).
QString StoreFailureMessage(int code);

inline const QString kDatabaseMissingText = QStringLiteral("The database does not exist.");
inline const QString kIpExistsText = QStringLiteral("The IP address exists");
