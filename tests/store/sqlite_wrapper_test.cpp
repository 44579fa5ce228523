// The SQLite wrapper: opening and closing, result codes, tables of rows and
// named cells, UTF-8 text both ways, and damaged or foreign files.
#include "store/sqlite_wrapper.h"

#include "store_test_dir.h"

#include <sqlite3.h>

#include <cstring>

using SQLite::Database;
using SQLite::Table;

namespace {

const QString kBigGate = QString::fromUtf16(u"\u5927\u9580");
const QString kCafe = QString::fromUtf16(u"Caf\u00E9");
const QString kSmile = QString::fromUtf16(u"\U0001F600");

}  // namespace

class SqliteWrapperTest : public StoreDirTest {};

TEST_F(SqliteWrapperTest, MissingFileIsNotCreatedAndStatementsFail) {
  Database db;
  EXPECT_EQ(db.Open(), SQLITE_CANTOPEN);
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.Exec("create table server (ip text);"), 1);
  int result = 0;
  const Table table = db.Query("select 1;", &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(table.GetRowCount(), 0);
  EXPECT_EQ(table.GetCurRow(), -1);
  EXPECT_FALSE(DatabaseExists());
}

TEST_F(SqliteWrapperTest, ClosedDatabaseGivesOneAndTheLastResultSticks) {
  Database db;
  EXPECT_EQ(db.GetLastResult(), 0);
  EXPECT_EQ(db.Exec("select 1;"), 1);
  EXPECT_EQ(db.GetLastResult(), 1);
  MakeServerTable();
  ASSERT_EQ(db.Open(), SQLITE_OK);
  EXPECT_EQ(db.Exec("select 1;"), SQLITE_OK);
  EXPECT_EQ(db.GetLastResult(), 1);
  EXPECT_EQ(db.Exec("select * from nowhere;"), SQLITE_ERROR);
  db.Close();
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.Query("select 1;").GetRowCount(), 0);
}

TEST_F(SqliteWrapperTest, EmptyResultHasNoRowNoColumnAndNoCell) {
  MakeServerTable();
  Database db;
  ASSERT_EQ(db.Open(), SQLITE_OK);
  int result = -1;
  const Table table = db.Query("select * from server where ip = 'none';", &result);
  EXPECT_EQ(result, SQLITE_OK);
  EXPECT_EQ(table.GetRowCount(), 0);
  EXPECT_EQ(table.GetColCount(), 0);
  EXPECT_EQ(table.GetCurRow(), -1);
  for (const char* name : {"ip", "server", "saveenable", ""}) EXPECT_FALSE(table.GetCell(name).has_value());
}

TEST_F(SqliteWrapperTest, CellsByNameNullCellsAndRowMoves) {
  MakeServerTable();
  Database db;
  ASSERT_EQ(db.Open(), SQLITE_OK);
  Table table = db.Query("select 'first' as Name, 'second' as NAME, NULL as empty, 'x' as ip "
                         "union all select 'r1', 'r1b', NULL, 'y';");
  ASSERT_EQ(table.GetRowCount(), 2);
  EXPECT_EQ(table.GetColCount(), 4);
  EXPECT_EQ(table.GetCurRow(), 0);
  EXPECT_EQ(table.GetCell("IP"), QString("x"));
  EXPECT_EQ(table.GetCell("name"), QString("first"));
  ASSERT_TRUE(table.GetCell("EMPTY").has_value());
  EXPECT_TRUE(table.GetCell("EMPTY")->isEmpty());
  EXPECT_FALSE(table.GetCell(QString()).has_value());
  EXPECT_FALSE(table.GetCell("missing").has_value());
  for (int bad : {2, -1, 100}) {
    table.SetRow(bad);
    EXPECT_EQ(table.GetCurRow(), 0);
  }
  table.SetRow(1);
  EXPECT_EQ(table.GetCell("ip"), QString("y"));
  // A cell outlives its table.
  const std::optional<QString> cell = db.Query("select 'kept' as v;").GetCell("v");
  EXPECT_EQ(cell, QString("kept"));
}

TEST_F(SqliteWrapperTest, NonAsciiTextPassesThroughUtf8BothWays) {
  MakeDatabase("create table t (v text);");
  Database db;
  ASSERT_EQ(db.Open(), SQLITE_OK);
  for (const QString& value : {kBigGate, kCafe, kSmile}) {
    ASSERT_EQ(db.Exec("insert into t values('" + value + "');"), SQLITE_OK);
  }
  const Table table = db.Query(QString::fromUtf16(u"select v as \u5217 from t;"));
  ASSERT_EQ(table.GetRowCount(), 3);
  Table walk = table;
  const QString values[] = {kBigGate, kCafe, kSmile};
  for (int i = 0; i < 3; ++i) {
    walk.SetRow(i);
    EXPECT_EQ(walk.GetCell(QString::fromUtf16(u"\u5217")), values[i]);
  }
  db.Close();
  // The file holds UTF-8.
  EXPECT_EQ(RawValue("select hex(v) from t limit 1;"), "E5A4A7E99680");
}

TEST_F(SqliteWrapperTest, OpenAgainClosesTheFirstConnection) {
  MakeServerTable();
  Database db;
  ASSERT_EQ(db.Open(), SQLITE_OK);
  ASSERT_EQ(db.Exec("begin; insert into server values('a','b','c','d','e','f');"), SQLITE_OK);
  // Closing the first connection drops its open transaction.
  ASSERT_EQ(db.Open(), SQLITE_OK);
  EXPECT_EQ(db.Query("select * from server;").GetRowCount(), 0);
  EXPECT_EQ(db.Exec("begin; commit;"), SQLITE_OK);
}

TEST_F(SqliteWrapperTest, DamagedOrForeignFilesGiveCodesNotCrashes) {
  WriteFile(QByteArray("this is not a database, only some text that fills a page").repeated(100));
  Database db;
  const int opened = db.Open();
  int result = 0;
  const Table table = db.Query("select * from server;", &result);
  EXPECT_NE(result, 0);
  EXPECT_EQ(table.GetRowCount(), 0);
  EXPECT_NE(db.Exec("delete from server;"), 0);
  EXPECT_TRUE(opened == SQLITE_OK || opened == SQLITE_NOTADB) << opened;
  db.Close();

  std::filesystem::remove("server.db");
  std::filesystem::create_directory("server.db");
  EXPECT_NE(db.Open(), 0);
  EXPECT_NE(db.Exec("select 1;"), 0);
}

TEST(Utf8Conversion, BothDirections) {
  const SQLite::UTF8MBSTR null(QString{});
  EXPECT_STREQ(null.Data(), "");
  EXPECT_EQ(null.Length(), 0);
  const SQLite::UTF8MBSTR cafe(kCafe + kSmile);
  EXPECT_STREQ(cafe, "Caf\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(cafe.Length(), 6);

  std::vector<char16_t> wide;
  Utf8ToWide(wide, nullptr);
  ASSERT_FALSE(wide.empty());
  EXPECT_EQ(wide[0], u'\0');
  Utf8ToWide(wide, "Caf\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(std::u16string(wide.data()), u"Caf\u00E9\U0001F600");
  // Bad bytes become replacement characters, and the text stays terminated.
  Utf8ToWide(wide, "\xFF\xFE\xC3");
  ASSERT_FALSE(wide.empty());
  EXPECT_EQ(wide.back(), u'\0');
  EXPECT_FALSE(std::u16string(wide.data()).empty());
}
