// The login history without a window: splitting lines, the pop-up's items,
// which entry a login replaces, and "history.ini" written only when it exists.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/login_history.h"
#include "platform/core/ini_file.h"

namespace {

QString Line(int i) { return QStringLiteral("R%1,10.1.%1.9,80,u%1,p%1;").arg(i); }

std::vector<QString> Entries(const LoginHistory& h) {
  std::vector<QString> out;
  for (int i = 0; i < LoginHistory::kEntries; ++i) out.push_back(h.Entry(i));
  return out;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// The history that Load reads from a "history.ini" whose keys history1,
// history2, ... hold lines, in order.
LoginHistory Loaded(const std::vector<QString>& lines) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.ini");
  QByteArray ini = "[history]\n";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ini += LoginHistory::KeyName(int(i) + 1).toUtf8() + '=' + lines[i].toUtf8() + '\n';
  }
  WriteFile(path, ini);
  LoginHistory h;
  EXPECT_TRUE(h.Load(path));
  return h;
}

std::vector<QString> TenLines() {
  std::vector<QString> lines;
  for (int i = 0; i < LoginHistory::kEntries; ++i) lines.push_back(Line(i));
  return lines;
}

}  // namespace

TEST(LoginHistory, SplitsLinesAsTheHistoryLoginUsesThem) {
  struct Case {
    QString line;
    HistoryFields want;
  };
  const std::vector<Case> cases = {
      {"A,h,81,u,p;", {"A", "h", "81", "u", "p"}},
      {"abc", {"", "", "", "", ""}},               // no "," at all: every field empty
      {"A,h,81,u,p", {"A", "h", "81", "u", ""}},   // no ";": empty password
      {"A,h,x81,u,p;", {"A", "h", "x81", "u", "p"}},
      {",,,,;", {"", "", "", "", ""}},
      {"A,h;", {"A", "", "", "", "h"}},            // too few ",": the rest is the password
      // A password may hold "," and ";": it runs to the last ";".
      {"A,h,81,u,a;b,c;", {"A", "h", "81", "u", "a;b,c"}},
      {"A,h,81,u,;;", {"A", "h", "81", "u", ";"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.toStdString());
    const HistoryFields f = SplitHistoryLine(c.line);
    EXPECT_EQ(f.serverName, c.want.serverName);
    EXPECT_EQ(f.host, c.want.host);
    EXPECT_EQ(f.port, c.want.port);
    EXPECT_EQ(f.user, c.want.user);
    EXPECT_EQ(f.password, c.want.password);
  }
  EXPECT_EQ(MakeHistoryLine("Lobby", "127.0.0.1", 8080, "admin", "secret"), "Lobby,127.0.0.1,8080,admin,secret;");
  EXPECT_EQ(MakeHistoryLine("", "h", 0, "", ""), ",h,0,,;");
}

TEST(LoginHistory, MenuOffersEntriesWithACommaUnderTheirOwnIds) {
  const LoginHistory h = Loaded({"A,10.0.0.5,80,u,p;", "", "X", "N,", "B,host-b,81,u,p;", "", "", "", "", "Z,z,1,u,p;"});
  const std::vector<HistoryMenuItem> items = h.MenuItems();
  const std::vector<std::pair<unsigned, QString>> want = {
      {32777, "A(10.0.0.5)"}, {32780, "N()"}, {32781, "B(host-b)"}, {32786, "Z(z)"}};
  ASSERT_EQ(items.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(items[i].id, want[i].first);
    EXPECT_EQ(items[i].text, want[i].second);
  }
  const LoginHistory full = Loaded(TenLines());
  const std::vector<HistoryMenuItem> ten = full.MenuItems();
  ASSERT_EQ(ten.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ten[std::size_t(i)].id, 32777u + unsigned(i));
  EXPECT_EQ(ten[0].text, "R0(10.1.0.9)");
  EXPECT_TRUE(LoginHistory().MenuItems().empty());
  EXPECT_EQ(h.Entry(-1), "");
  EXPECT_EQ(h.Entry(10), "");
}

TEST(LoginHistory, ALoginReplacesTheEntryOfItsHostElseTheOldest) {
  LoginHistory h = Loaded(TenLines());

  // An eleventh recorder pushes the oldest (key history10) out.
  ASSERT_TRUE(h.Update("New", "10.9.9.9", 80, "u", "p"));
  std::vector<QString> want = {"New,10.9.9.9,80,u,p;"};
  for (int i = 0; i < 9; ++i) want.push_back(Line(i));
  EXPECT_EQ(Entries(h), want);

  // Again to the recorder of element 5: its line goes to the top, the rest keep their order.
  ASSERT_TRUE(h.Update("R4", "10.1.4.9", 8080, "admin", "x"));
  want = {"R4,10.1.4.9,8080,admin,x;", "New,10.9.9.9,80,u,p;", Line(0), Line(1), Line(2), Line(3),
          Line(5),                     Line(6),                Line(7), Line(8)};
  EXPECT_EQ(Entries(h), want);

  // Logging in again to the newest changes only its own line.
  ASSERT_TRUE(h.Update("R4b", "10.1.4.9", 81, "admin", "y"));
  want[0] = "R4b,10.1.4.9,81,admin,y;";
  EXPECT_EQ(Entries(h), want);

  // The match is on the host field alone: a host whose text is part of
  // another line's host, server name, user name or password replaces nothing.
  struct Case {
    const char* what;
    std::vector<QString> before;
    std::vector<QString> after;  // after a login to "D" at 10.0.0.1
  };
  const QString d = "D,10.0.0.1,80,u,p;";
  const std::vector<Case> cases = {
      {"longer host", {"B,10.0.0.12,80,u,p;"}, {d, "B,10.0.0.12,80,u,p;"}},
      {"host in the server name", {"10.0.0.1 spare,10.0.0.2,80,u,p;"}, {d, "10.0.0.1 spare,10.0.0.2,80,u,p;"}},
      {"host in the user name", {"C,c,80,10.0.0.1,p;"}, {d, "C,c,80,10.0.0.1,p;"}},
      {"host in the password", {"E,e,80,u,10.0.0.1;"}, {d, "E,e,80,u,10.0.0.1;"}},
      {"shorter host", {"F,0.0.1,80,u,p;"}, {d, "F,0.0.1,80,u,p;"}},
      {"same host further down",
       {"B,10.0.0.12,80,u,p;", "C,c,80,10.0.0.1,p;", "Old,10.0.0.1,81,v,q;", "Z,z,1,u,p;"},
       {d, "B,10.0.0.12,80,u,p;", "C,c,80,10.0.0.1,p;", "Z,z,1,u,p;"}},
      {"the first of two equal hosts", {"X,10.0.0.1,1,a,b;", "Y,10.0.0.1,2,c,d;"}, {d, "Y,10.0.0.1,2,c,d;"}},
      {"a line without fields", {"10.0.0.1", "K,k,1,u,p;"}, {d, "10.0.0.1", "K,k,1,u,p;"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoginHistory sub = Loaded(c.before);
    ASSERT_TRUE(sub.Update("D", "10.0.0.1", 80, "u", "p"));
    std::vector<QString> want = c.after;
    want.resize(10);
    EXPECT_EQ(Entries(sub), want);
  }

  // The first login of a run fills element 0 of an empty history.
  LoginHistory empty;
  ASSERT_TRUE(empty.Update("S", "h", 1, "u", "p"));
  EXPECT_EQ(empty.Entry(0), "S,h,1,u,p;");
  EXPECT_EQ(empty.Entry(1), "");
}

TEST(LoginHistory, ALoginWhoseFieldsHoldACommaIsNotAdded) {
  for (const auto& [name, host, user] : std::vector<std::tuple<QString, QString, QString>>{
           {"Lobby, 2nd floor", "h", "u"}, {"L", "h,x", "u"}, {"L", "h", "u,v"}}) {
    LoginHistory h = Loaded({"A,a,1,u,p;"});
    EXPECT_FALSE(h.Update(name, host, 80, user, "p"));
    EXPECT_EQ(h.Entry(0), "A,a,1,u,p;");
    EXPECT_EQ(h.Entry(1), "");
  }
  // A password with "," and ";" is kept and splits back whole.
  LoginHistory h;
  ASSERT_TRUE(h.Update("L", "h", 80, "u", "a;b,c"));
  EXPECT_EQ(SplitHistoryLine(h.Entry(0)).password, "a;b,c");
}

TEST(LoginHistory, FileIsReadAndWrittenOnlyWhenItExists) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.ini");

  // Missing: the history starts empty and nothing is created.
  LoginHistory h = Loaded({"", "", "", "stale"});
  ASSERT_EQ(h.Entry(3), "stale");
  h.Load(path);
  EXPECT_EQ(Entries(h), std::vector<QString>(10));
  ASSERT_TRUE(h.Update("L", "h", 80, "u", "p"));
  EXPECT_FALSE(h.Save(path));
  EXPECT_FALSE(QFile::exists(path));

  // Present: every key is written, empty values included; other sections stay.
  const QString longLine = QStringLiteral("Long,h,80,u,") + QString(300, QLatin1Char('x')) + QLatin1Char(';');
  WriteFile(path,
            "[setting]\nbackuplocation=/media/b\n[history]\nhistory1=A,a,1,u,p;\nhistory2=\nhistory3=X\n"
            "history4=N,\nhistory5=" + longLine.toUtf8() + "\nextra=kept\n");
  h.Load(path);
  EXPECT_EQ(h.Entry(0), "A,a,1,u,p;");
  EXPECT_EQ(h.Entry(1), "");
  EXPECT_EQ(h.Entry(2), "X");
  EXPECT_EQ(h.Entry(3), "N,");
  EXPECT_EQ(h.Entry(4), longLine);  // read whole, never cut
  ASSERT_TRUE(h.Update("Lobby", "127.0.0.1", 8080, "admin", "secret"));
  ASSERT_TRUE(h.Save(path));
  EXPECT_EQ(ReadFile(path),
            "[setting]\nbackuplocation=/media/b\n[history]\nhistory1=Lobby,127.0.0.1,8080,admin,secret;\n"
            "history2=A,a,1,u,p;\nhistory3=\nhistory4=X\nhistory5=N,\nextra=kept\nhistory6=" +
                longLine.toUtf8() + "\nhistory7=\nhistory8=\nhistory9=\nhistory10=\n");

  LoginHistory again;
  again.Load(path);
  EXPECT_EQ(Entries(again), Entries(h));

  // The shipped file: just the section.
  WriteFile(path, "[history]");
  LoginHistory shipped;
  shipped.Load(path);
  EXPECT_EQ(Entries(shipped), std::vector<QString>(10));
  ASSERT_TRUE(shipped.Update("S", "h", 1, "u", "p"));
  ASSERT_TRUE(shipped.Save(path));
  EXPECT_EQ(platform::ReadProfileString(path, "history", "history1"), "S,h,1,u,p;");
  EXPECT_EQ(ReadFile(path).count("history"), 11);  // the section and ten keys
}
