#include "store_test_dir.h"

#include <sqlite3.h>

#include <QFile>

void StoreDirTest::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  previous_ = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path().toStdString());
}

void StoreDirTest::TearDown() { std::filesystem::current_path(previous_); }

void StoreDirTest::MakeDatabase(const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open("server.db", &db), SQLITE_OK);
  char* message = nullptr;
  const int result = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  const std::string text = message ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  ASSERT_EQ(result, SQLITE_OK) << text;
}

void StoreDirTest::MakeServerTable() {
  MakeDatabase("CREATE TABLE server (saveenable TEXT, server TEXT, ip TEXT, port TEXT, user TEXT, password TEXT);");
}

void StoreDirTest::WriteFile(const QByteArray& bytes) {
  QFile file(QStringLiteral("server.db"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray StoreDirTest::ReadFile() {
  QFile file(QStringLiteral("server.db"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool StoreDirTest::DatabaseExists() { return std::filesystem::exists("server.db"); }

std::string StoreDirTest::RawValue(const std::string& sql) {
  sqlite3* db = nullptr;
  std::string value = "<error>";
  if (sqlite3_open_v2("server.db", &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      value = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return value;
}
