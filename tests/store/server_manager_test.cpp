// The server table: rows added, found, changed, listed and deleted by their
// address, long and refused values, broken files, and the shipped "server.db".
#include "store/server_manager.h"

#include "store/scramble.h"
#include "store_test_dir.h"

#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace {

ServerEntry Entry(const QString& ip, const QString& name, const QString& password = "pw", const QString& flag = "1") {
  ServerEntry e;
  e.SetIp(ip);
  e.SetServerName(name);
  e.SetPort("80");
  e.SetUserName("admin");
  e.SetPassword(password);
  e.SetSaveEnable(flag);
  return e;
}

void ExpectSame(const ServerEntry& a, const ServerEntry& b) {
  EXPECT_EQ(a.GetIp(), b.GetIp());
  EXPECT_EQ(a.GetServerName(), b.GetServerName());
  EXPECT_EQ(a.GetPort(), b.GetPort());
  EXPECT_EQ(a.GetUserName(), b.GetUserName());
  EXPECT_EQ(a.GetPassword(), b.GetPassword());
  EXPECT_EQ(a.GetSaveEnable(), b.GetSaveEnable());
}

bool IsEmpty(const ServerEntry& e) {
  return e.GetIp().isEmpty() && e.GetServerName().isEmpty() && e.GetPort().isEmpty() &&
         e.GetUserName().isEmpty() && e.GetPassword().isEmpty() && e.GetSaveEnable().isEmpty();
}

// Each store step on its own connection, as the server page runs them.
int Add(const ServerEntry& e) {
  CServerManager store;
  store.m_db.Open();
  return store.AddServer(e);
}

ServerEntry Find(const QString& ip, int* result = nullptr, bool* found = nullptr) {
  CServerManager store;
  store.m_db.Open();
  return store.FindServer(ip, result, found);
}

int Change(const QString& previousIp, const ServerEntry& e) {
  CServerManager store;
  store.m_db.Open();
  return store.ChangeServer(previousIp, e);
}

int Delete(const QString& ip) {
  CServerManager store;
  store.m_db.Open();
  return store.DeleteServer(ip);
}

struct Line {
  QString ip;
  QString name;
  bool operator==(const Line&) const = default;
};

// The walk the server page does to fill its list.
std::vector<Line> List(int* result = nullptr) {
  CServerManager store;
  store.m_db.Open();
  SQLite::Table table = store.ListServers(result);
  std::vector<Line> lines;
  for (int i = 0; i < table.GetRowCount(); ++i) {
    table.SetRow(i);
    lines.push_back({UnscrambleFixed(table.GetCell("ip").value_or(QString())),
                     UnscrambleSalted(table.GetCell("server").value_or(QString()))});
  }
  return lines;
}

}  // namespace

class ServerStoreTest : public StoreDirTest {
protected:
  void SetUp() override {
    StoreDirTest::SetUp();
    MakeServerTable();
  }
};

TEST_F(ServerStoreTest, AddedEntryIsFoundWholeAndStoredScrambled) {
  const ServerEntry gate = Entry("10.0.0.5", "Gate O'Neil", "s3cret'pass");
  ASSERT_EQ(Add(gate), 0);
  ASSERT_EQ(Add(Entry("10.0.0.6", QString::fromUtf16(u"\u5927\u9580"), "", "0")), 0);
  int result = -1;
  ExpectSame(Find("10.0.0.5", &result), gate);
  EXPECT_EQ(result, 0);
  ExpectSame(Find("10.0.0.6"), Entry("10.0.0.6", QString::fromUtf16(u"\u5927\u9580"), "", "0"));
  EXPECT_EQ(List(), (std::vector<Line>{{"10.0.0.5", "Gate O'Neil"}, {"10.0.0.6", QString::fromUtf16(u"\u5927\u9580")}}));

  const QByteArray file = ReadFile();
  for (const char* clear : {"Gate", "O'Neil", "s3cret", "admin", "10.0.0.5"}) EXPECT_FALSE(file.contains(clear)) << clear;
  EXPECT_EQ(RawValue("select count(*) from server where typeof(saveenable) || typeof(server) || typeof(ip) || "
                     "typeof(port) || typeof(user) || typeof(password) <> 'texttexttexttexttexttext';"),
            "0");
  const QRegularExpression salted(QStringLiteral("^[1-46-9B-FZWQ]+$"));
  for (const char* column : {"saveenable", "server", "port", "user", "password"}) {
    const QString cell = QString::fromStdString(RawValue(std::string("select ") + column + " from server limit 1;"));
    EXPECT_TRUE(salted.match(cell).hasMatch()) << column << ": " << cell.toStdString();
  }
  EXPECT_EQ(RawValue("select ip from server limit 1;"), ScrambleFixed("10.0.0.5").toStdString());
}

// A row as another writer of this file format stores it, texts written out by
// hand: pins the column order and the scrambling parameters of stored files.
TEST_F(ServerStoreTest, ReadsARowOfTheStoredFormat) {
  const std::string z(84, 'Z');
  MakeDatabase("INSERT INTO server VALUES ('Z6WFZW36" + z + "', '116QWE3D" + z +
               "', 'GGK1GGK9GGK2GG2RGGK1GGK6GGK8GG2RGGK1GG2RGGK1GGKG', '126Q1Z481Z4Z" + std::string(76, 'Z') +
               "', '1W6Q1Z711Z741Z7D1Z791Z7E" + std::string(52, 'Z') + "', 'Z4WDZ3Z2" + z + "');");
  ExpectSame(Find("192.168.1.10"),
             Entry("192.168.1.10", QString::fromUtf16(u"\u4E2D"), QString::fromUtf16(u"\u00FF"), "1"));
  EXPECT_EQ(List(), (std::vector<Line>{{"192.168.1.10", QString::fromUtf16(u"\u4E2D")}}));
}

TEST_F(ServerStoreTest, TheAddressIsAnExactTextKey) {
  ASSERT_EQ(Add(Entry("192.168.1.10", "short")), 0);
  ASSERT_EQ(Add(Entry("NVR", "upper")), 0);
  EXPECT_TRUE(IsEmpty(Find("192.168.001.010")));
  EXPECT_TRUE(IsEmpty(Find("nvr")));
  EXPECT_EQ(Find("NVR").GetServerName(), "upper");
  // The entry's ip is the text searched for, exactly.
  EXPECT_EQ(Find("192.168.1.10").GetIp(), "192.168.1.10");
  int result = -1;
  EXPECT_TRUE(IsEmpty(Find("10.9.9.9", &result)));
  EXPECT_EQ(result, 0);
  // Whether there was a row, also under the empty address, whose entry reads
  // as none.
  for (const bool blankStored : {false, true}) {
    if (blankStored) {
      ASSERT_EQ(Add(Entry("", "blank")), 0);
    }
    for (const auto& [ip, want] : std::vector<std::pair<QString, bool>>{
             {"NVR", true}, {"nvr", false}, {"", blankStored}}) {
      bool found = !want;
      Find(ip, nullptr, &found);
      EXPECT_EQ(found, want) << ip.toStdString() << " blank stored " << blankStored;
    }
  }
  ASSERT_EQ(Delete(""), 0);
  ASSERT_EQ(Delete("nvr"), 0);
  EXPECT_EQ(RawRowCount(), 2);
  ASSERT_EQ(Delete("NVR"), 0);
  EXPECT_EQ(List(), (std::vector<Line>{{"192.168.1.10", "short"}}));
}

TEST_F(ServerStoreTest, ChangeReplacesTheEntryAndListsItLast) {
  ASSERT_EQ(Add(Entry("10.0.0.1", "one")), 0);
  ASSERT_EQ(Add(Entry("10.0.0.2", "two")), 0);
  ASSERT_EQ(Add(Entry("10.0.0.3", "three")), 0);
  const ServerEntry edited = Entry("10.0.0.9", "one moved", "new", "0");
  ASSERT_EQ(Change("10.0.0.1", edited), 0);
  EXPECT_EQ(List(), (std::vector<Line>{{"10.0.0.2", "two"}, {"10.0.0.3", "three"}, {"10.0.0.9", "one moved"}}));
  EXPECT_TRUE(IsEmpty(Find("10.0.0.1")));
  ExpectSame(Find("10.0.0.9"), edited);
  // Keeping the address works too.
  ASSERT_EQ(Change("10.0.0.2", Entry("10.0.0.2", "two again")), 0);
  const std::vector<Line> after = List();
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after.back(), (Line{"10.0.0.2", "two again"}));
  EXPECT_EQ(RawRowCount(), 3);
}

TEST_F(ServerStoreTest, DuplicatesFindTheFirstAndDeleteRemovesAll) {
  ASSERT_EQ(Add(Entry("10.0.0.7", "first", "a")), 0);
  ASSERT_EQ(Add(Entry("10.0.0.8", "other")), 0);
  ASSERT_EQ(Add(Entry("10.0.0.7", "second", "b")), 0);
  const ServerEntry found = Find("10.0.0.7");
  EXPECT_EQ(found.GetServerName(), "first");
  EXPECT_EQ(found.GetPassword(), "a");
  // A later row of the address by its place among that address's rows.
  struct Occurrence {
    int occurrence;
    bool found;
    const char* name;
  };
  for (const Occurrence& o : {Occurrence{0, true, "first"}, Occurrence{1, true, "second"}, Occurrence{2, false, ""},
                              Occurrence{-1, false, ""}}) {
    SCOPED_TRACE(o.occurrence);
    int result = -2;
    bool stored = !o.found;
    CServerManager store;
    store.m_db.Open();
    const ServerEntry e = store.FindServer("10.0.0.7", &result, &stored, o.occurrence);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(stored, o.found);
    EXPECT_EQ(e.GetServerName(), QString::fromUtf8(o.name));
    if (o.found) {
      EXPECT_EQ(e.GetIp(), "10.0.0.7");
    } else {
      EXPECT_TRUE(IsEmpty(e));
    }
  }
  ASSERT_EQ(Delete("10.0.0.7"), 0);
  EXPECT_EQ(List(), (std::vector<Line>{{"10.0.0.8", "other"}}));
}

TEST_F(ServerStoreTest, LongValuesComeBackWholeUpToTheLimit) {
  const QString name60 = QStringLiteral("N").repeated(59) + "!";
  const QString ip60 = QStringLiteral("host").repeated(15);
  const QString longest = QString::fromUtf16(u"\u5BC6").repeated(store_scramble::kMaxSaltedUnits);
  ServerEntry big = Entry(ip60, name60, longest);
  big.SetUserName(longest);
  ASSERT_EQ(Add(big), 0);
  EXPECT_EQ(List(), (std::vector<Line>{{ip60, name60}}));
  ExpectSame(Find(ip60), big);
}

TEST_F(ServerStoreTest, TooLongValuesAreRefusedBeforeAnythingRuns) {
  ASSERT_EQ(Add(Entry("10.0.0.1", "kept", "pw")), 0);
  const QString tooLong = QStringLiteral("p").repeated(store_scramble::kMaxSaltedUnits + 1);
  std::vector<ServerEntry> refused(5, Entry("10.0.0.2", "new"));
  refused[0].SetSaveEnable(tooLong);
  refused[1].SetServerName(tooLong);
  refused[2].SetPort(tooLong);
  refused[3].SetUserName(tooLong);
  refused[4].SetPassword(tooLong);
  for (const ServerEntry& e : refused) {
    EXPECT_EQ(Add(e), CServerManager::kValueTooLong);
    EXPECT_EQ(Change("10.0.0.1", e), CServerManager::kValueTooLong);
  }
  ExpectSame(Find("10.0.0.1"), Entry("10.0.0.1", "kept", "pw"));
  EXPECT_EQ(RawRowCount(), 1);
  // Refused before the connection is even looked at.
  CServerManager closed;
  EXPECT_EQ(closed.AddServer(refused[4]), CServerManager::kValueTooLong);
  EXPECT_EQ(closed.AddServer(Entry("10.0.0.3", "fine")), 1);
}

// A change whose insert fails must leave the old row where it was.
struct FailingInsert {
  const char* name;
  const char* table;    // made before the old row is stored
  const char* afterRow; // run after it
};

void PrintTo(const FailingInsert& f, std::ostream* os) { *os << f.name; }

class ChangeFailureTest : public StoreDirTest, public ::testing::WithParamInterface<FailingInsert> {};

TEST_P(ChangeFailureTest, FailedInsertLosesNothing) {
  MakeDatabase(GetParam().table);
  MakeDatabase("INSERT INTO server (saveenable, server, ip, port, user, password) VALUES ('" +
               ScrambleSalted("1").toStdString() + "','" + ScrambleSalted("old").toStdString() + "','" +
               ScrambleFixed("10.0.0.1").toStdString() + "','" + ScrambleSalted("80").toStdString() + "','" +
               ScrambleSalted("admin").toStdString() + "','" + ScrambleSalted("pw").toStdString() + "');" +
               GetParam().afterRow);
  {
    CServerManager store;
    store.m_db.Open();
    EXPECT_NE(store.ChangeServer("10.0.0.1", Entry("10.0.0.2", "new")), 0);
    // The transaction was ended: a new one can start on the same connection.
    EXPECT_EQ(store.m_db.Exec("begin; commit;"), 0);
  }
  EXPECT_EQ(Find("10.0.0.1").GetServerName(), "old");
  EXPECT_TRUE(IsEmpty(Find("10.0.0.2")));
  EXPECT_EQ(RawRowCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Store, ChangeFailureTest,
    ::testing::Values(
        FailingInsert{"SevenColumns",
                      "CREATE TABLE server (saveenable TEXT, server TEXT, ip TEXT, port TEXT, user TEXT, "
                      "password TEXT, extra TEXT);",
                      ""},
        FailingInsert{"InsertAborts",
                      "CREATE TABLE server (saveenable TEXT, server TEXT, ip TEXT, port TEXT, user TEXT, "
                      "password TEXT);",
                      "CREATE TRIGGER full BEFORE INSERT ON server BEGIN SELECT RAISE(ABORT, 'disk full'); END;"}),
    [](const ::testing::TestParamInfo<FailingInsert>& info) { return std::string(info.param.name); });

// Every operation on a store that cannot work gives a non-zero code, stores
// nothing and leaves no file that was not there.
class BrokenStoreTest : public StoreDirTest {
protected:
  void ExpectEveryOperationFails() {
    int result = 0;
    EXPECT_TRUE(List(&result).empty());
    EXPECT_NE(result, 0);
    result = 0;
    EXPECT_TRUE(IsEmpty(Find("10.0.0.1", &result)));
    EXPECT_NE(result, 0);
    EXPECT_NE(Add(Entry("10.0.0.1", "lost")), 0);
    EXPECT_NE(Delete("10.0.0.1"), 0);
    EXPECT_NE(Change("10.0.0.1", Entry("10.0.0.2", "lost")), 0);
    // Nothing was stored by any of them.
    EXPECT_TRUE(IsEmpty(Find("10.0.0.1")));
    EXPECT_TRUE(IsEmpty(Find("10.0.0.2")));
  }
};

TEST_F(BrokenStoreTest, MissingFile) {
  ExpectEveryOperationFails();
  EXPECT_FALSE(DatabaseExists());
}

TEST_F(BrokenStoreTest, FileWithoutTheTable) {
  MakeDatabase("CREATE TABLE other (a TEXT);");
  ExpectEveryOperationFails();
  EXPECT_EQ(RawValue("select count(*) from sqlite_master where name = 'server';"), "0");
}

TEST_F(BrokenStoreTest, EmptyFile) {
  WriteFile(QByteArray());
  ExpectEveryOperationFails();
  EXPECT_TRUE(ReadFile().isEmpty());
}

TEST_F(BrokenStoreTest, DamagedFile) {
  QByteArray junk;
  for (int i = 0; i < 8192; ++i) junk.append(static_cast<char>((i * 131 + 7) & 0xFF));
  WriteFile(junk);
  ExpectEveryOperationFails();
  EXPECT_EQ(ReadFile(), junk);
}

TEST_F(BrokenStoreTest, TruncatedDatabase) {
  MakeServerTable();
  ASSERT_EQ(Add(Entry("10.0.0.1", "gone")), 0);
  const QByteArray whole = ReadFile();
  std::filesystem::remove("server.db");
  WriteFile(whole.left(100));
  ExpectEveryOperationFails();
}

TEST_F(BrokenStoreTest, DirectoryInPlaceOfTheFile) {
  std::filesystem::create_directory("server.db");
  ExpectEveryOperationFails();
}

TEST_F(BrokenStoreTest, ForeignTableOfOtherColumns) {
  MakeDatabase("CREATE TABLE server (name TEXT, address TEXT);"
               "INSERT INTO server VALUES ('x', 'y');");
  // The insert needs six columns; nothing else may crash.
  EXPECT_NE(Add(Entry("10.0.0.1", "lost")), 0);
  EXPECT_NE(Change("x", Entry("10.0.0.1", "lost")), 0);
  EXPECT_EQ(RawRowCount(), 1);
  int result = -1;
  const std::vector<Line> lines = List(&result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (Line{"", ""}));
}

TEST_F(StoreDirTest, ShippedDatabaseHoldsTheEmptySixColumnTable) {
  std::filesystem::copy_file(TARNWELL_RES_DIR "/server.db", "server.db");
  {
    CServerManager store;
    ASSERT_EQ(store.m_db.Open(), 0);
    SQLite::Table columns = store.m_db.Query("pragma table_info(server);");
    const char* expected[] = {"saveenable", "server", "ip", "port", "user", "password"};
    ASSERT_EQ(columns.GetRowCount(), 6);
    for (int i = 0; i < 6; ++i) {
      columns.SetRow(i);
      EXPECT_EQ(columns.GetCell("name"), QString(expected[i]));
    }
    int result = -1;
    EXPECT_EQ(store.ListServers(&result).GetRowCount(), 0);
    EXPECT_EQ(result, 0);
  }
  ASSERT_EQ(Add(Entry("10.0.0.5", "first")), 0);
  EXPECT_EQ(Find("10.0.0.5").GetServerName(), "first");

  // The build puts it beside the executables when it is missing there.
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(exe).parent_path() / "server.db"));
}
