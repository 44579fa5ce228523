#include "app/login_history.h"

#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "res/resource.h"

namespace {

const QString kSection = QStringLiteral("history");

// The text before the first "," of *rest, which loses it and the ","; empty
// (and *rest unchanged) when it holds none.
QString TakeField(QString* rest) {
  const qsizetype comma = rest->indexOf(QLatin1Char(','));
  if (comma < 0) return QString();
  const QString field = rest->left(comma);
  *rest = rest->mid(comma + 1);
  return field;
}

}  // namespace

HistoryFields SplitHistoryLine(const QString& line) {
  QString rest = line;
  HistoryFields f;
  f.serverName = TakeField(&rest);
  f.host = TakeField(&rest);
  f.port = TakeField(&rest);
  f.user = TakeField(&rest);
  const qsizetype end = rest.lastIndexOf(QLatin1Char(';'));
  f.password = end < 0 ? QString() : rest.left(end);
  return f;
}

QString MakeHistoryLine(const QString& serverName, const QString& host, int port, const QString& user,
                        const QString& password) {
  return serverName + QLatin1Char(',') + host + QLatin1Char(',') + QString::number(port) + QLatin1Char(',') + user +
         QLatin1Char(',') + password + QLatin1Char(';');
}

QString LoginHistory::KeyName(int number) { return QStringLiteral("history%1").arg(number); }

QString LoginHistory::Entry(int index) const {
  if (index < 0 || index >= kEntries) return QString();
  return entries_[static_cast<std::size_t>(index)];
}

void LoginHistory::Clear() {
  for (QString& e : entries_) e.clear();
}

bool LoginHistory::Load(const QString& iniPath) {
  Clear();
  if (!platform::PathExists(iniPath)) return false;
  platform::IniFile ini;
  if (!ini.Load(iniPath)) return false;
  // Values of any length: a cut line would lose its password and be written back cut.
  for (int n = 1; n <= kEntries; ++n) entries_[static_cast<std::size_t>(n - 1)] = ini.Value(kSection, KeyName(n));
  return true;
}

bool LoginHistory::Save(const QString& iniPath) const {
  if (!platform::PathExists(iniPath)) return false;
  platform::IniFile ini;
  if (!ini.Load(iniPath)) return false;
  for (int n = 1; n <= kEntries; ++n) ini.SetValue(kSection, KeyName(n), entries_[static_cast<std::size_t>(n - 1)]);
  // It holds passwords in clear: readable by its owner only.
  return ini.Save(iniPath, platform::FileAccess::OwnerOnly);
}

bool LoginHistory::Update(const QString& serverName, const QString& host, int port, const QString& user,
                          const QString& password) {
  const QChar comma = QLatin1Char(',');
  if (serverName.contains(comma) || host.contains(comma) || user.contains(comma)) return false;
  int slot = kEntries - 1;  // none matched: the oldest goes
  for (int i = 0; i < kEntries; ++i) {
    // The host field alone: 10.0.0.1 is not the recorder at 10.0.0.12, nor
    // one whose name or user name holds that text.
    const QString& entry = entries_[static_cast<std::size_t>(i)];
    if (entry.contains(QLatin1Char(',')) && SplitHistoryLine(entry).host == host) {
      slot = i;
      break;
    }
  }
  for (int i = slot; i > 0; --i) entries_[static_cast<std::size_t>(i)] = entries_[static_cast<std::size_t>(i - 1)];
  entries_[0] = MakeHistoryLine(serverName, host, port, user, password);
  return true;
}

std::vector<HistoryMenuItem> LoginHistory::MenuItems() const {
  std::vector<HistoryMenuItem> items;
  for (int i = 0; i < kEntries; ++i) {
    const QString& e = entries_[static_cast<std::size_t>(i)];
    const qsizetype first = e.indexOf(QLatin1Char(','));
    if (first < 0) continue;
    const qsizetype second = e.indexOf(QLatin1Char(','), first + 1);
    const QString name = e.left(first);
    const QString host = second < 0 ? QString() : e.mid(first + 1, second - first - 1);
    items.push_back({ID_HISTORY_FIRST + static_cast<unsigned>(i), name + QLatin1Char('(') + host + QLatin1Char(')')});
  }
  return items;
}
