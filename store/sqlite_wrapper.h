#pragma once
// A small wrapper that puts SQLite behind classes speaking UTF-16 text: one
// connection to "server.db", the whole result of a query as wide texts with a
// current row, and the UTF-8 copies the library wants.
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace SQLite {

// The UTF-8 form of a wide text, NUL-terminated, for the library.
class UTF8MBSTR {
public:
  // A null text gives the empty UTF-8 text.
  explicit UTF8MBSTR(const QString& text);
  UTF8MBSTR(const UTF8MBSTR&) = delete;
  UTF8MBSTR& operator=(const UTF8MBSTR&) = delete;
  virtual ~UTF8MBSTR();

  const char* Data() const { return m_buffer.get(); }
  operator const char*() const { return m_buffer.get(); }
  // The wide text's length in UTF-16 units, not the byte count.
  int Length() const { return m_nLength; }

  // Fills buffer with the NUL-terminated UTF-8 form; returns the wide length.
  static int ConvertToUtf8(const QString& text, std::unique_ptr<char[]>& buffer);

private:
  std::unique_ptr<char[]> m_buffer;
  int m_nLength = 0;
};

// The whole result of one query. It owns its texts.
class Table {
public:
  Table() = default;
  Table(const Table&) = default;
  Table(Table&&) = default;
  Table& operator=(const Table&) = default;
  Table& operator=(Table&&) = default;
  virtual ~Table() = default;

  int GetRowCount() const { return m_nRows; }
  int GetColCount() const { return m_nCols; }
  // -1 when there is no row.
  int GetCurRow() const { return m_nCurRow; }
  // Makes row i current when it is a row index; any other i changes nothing.
  void SetRow(int i);
  // The text of the named column (compared without regard to case, the first
  // match wins) in the current row. Nothing for a null name, no current row or
  // no such column; a NULL cell is an empty text. Returned as a copy, so it
  // stays valid when the table is gone.
  std::optional<QString> GetCell(const QString& column) const;

private:
  friend class Database;
  int m_nRows = 0;
  int m_nCols = 0;
  std::vector<QString> m_colNames;
  std::vector<std::vector<QString>> m_rows;
  int m_nCurRow = -1;
};

// One connection to "server.db" in the current directory.
class Database {
public:
  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  virtual ~Database();

  // Closes a connection still open, then opens "server.db" read-write.
  // Returns the library's result code, 0 on success. A missing file is not
  // created: that gives SQLITE_CANTOPEN and no connection, so no empty,
  // table-less file is left behind for later checks to take as a database.
  int Open();
  // Runs sql; the library's result code, 1 without an open connection.
  int Exec(const QString& sql);
  // Runs sql and returns its rows; an empty table on an error or without an
  // open connection. result, when given, receives this call's result code.
  Table Query(const QString& sql, int* result = nullptr);
  void Close();

  bool IsOpen() const { return m_hDb != nullptr; }
  // The last non-zero result of Open, Exec or Query; a success does not reset it.
  int GetLastResult() const { return m_nLastResult; }

private:
  sqlite3* m_hDb = nullptr;
  int m_nLastResult = 0;
};

}  // namespace SQLite

// out := the NUL-terminated wide form of a UTF-8 text (a null text counts as
// empty); the vector may hold further zeros after the terminator.
void Utf8ToWide(std::vector<char16_t>& out, const char* utf8);
