#pragma once
// The login history without a window: the last ten recorders a login
// succeeded to, newest first, as lines "name,host,port,user,password;", kept
// in "history.ini" (section "history", keys history1 to history10).
#include <QString>

#include <array>
#include <vector>

// The fields of a history line as a login from the history uses them.
struct HistoryFields {
  QString serverName, host, port, user, password;
};

// Name, host, port text and user name end at the next "," (empty, and nothing
// taken, when none is left); the password is the rest up to its last ";"
// (empty without ";"), so a password may hold "," and ";".
HistoryFields SplitHistoryLine(const QString& line);

// "name,host,port,user,password;".
QString MakeHistoryLine(const QString& serverName, const QString& host, int port, const QString& user,
                        const QString& password);

struct HistoryMenuItem {
  unsigned id;   // 32777 + the entry's index
  QString text;  // name + "(" + host + ")"
};

class LoginHistory {
 public:
  static constexpr int kEntries = 10;

  // Empty outside 0 to 9.
  QString Entry(int index) const;
  void Clear();

  // Every entry empty, then, only when the file exists, entry n - 1 := key
  // "history<n>" of section "history". True when the file was read.
  bool Load(const QString& iniPath);
  // Only when the file exists: all ten keys, empty values included; other
  // sections and keys stay as they were. False when nothing was written.
  bool Save(const QString& iniPath) const;

  // Puts the login first: the first entry whose host field equals the host
  // is overwritten (the entries above it move down one place), else the
  // oldest drops out. A login whose name, host or user name holds ","
  // cannot be written as a line that splits back the same; it is not added,
  // and false is returned.
  bool Update(const QString& serverName, const QString& host, int port, const QString& user,
              const QString& password);

  // One item for each entry that holds a ","; ids follow the entries' indices.
  std::vector<HistoryMenuItem> MenuItems() const;

  static QString KeyName(int number);  // "history<number>"

 private:
  std::array<QString, kEntries> entries_;
};
