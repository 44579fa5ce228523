#include "store/sqlite_wrapper.h"

#include <sqlite3.h>

#include "platform/core/durable_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr char kDatabaseFile[] = "server.db";

QString WideCell(const char* utf8) {
  std::vector<char16_t> wide;
  Utf8ToWide(wide, utf8);
  return QString::fromUtf16(wide.data());
}

}  // namespace

void Utf8ToWide(std::vector<char16_t>& out, const char* utf8) {
  const char* text = utf8 ? utf8 : "";
  const QString wide = QString::fromUtf8(text);
  // A UTF-8 text never has more UTF-16 units than bytes, but bad bytes are
  // replaced, so size for whichever is larger.
  const size_t len = std::max(std::strlen(text), static_cast<size_t>(wide.size())) + 1;
  out.assign(len, u'\0');
  std::memcpy(out.data(), wide.utf16(), static_cast<size_t>(wide.size()) * sizeof(char16_t));
}

namespace SQLite {

UTF8MBSTR::UTF8MBSTR(const QString& text) {
  if (text.isNull()) {
    m_buffer = std::make_unique<char[]>(1);
    m_buffer[0] = 0;
    m_nLength = 0;
  } else {
    m_nLength = ConvertToUtf8(text, m_buffer);
  }
}

UTF8MBSTR::~UTF8MBSTR() = default;

int UTF8MBSTR::ConvertToUtf8(const QString& text, std::unique_ptr<char[]>& buffer) {
  const QByteArray utf8 = text.toUtf8();
  buffer = std::make_unique<char[]>(static_cast<size_t>(utf8.size()) + 1);
  std::memcpy(buffer.get(), utf8.constData(), static_cast<size_t>(utf8.size()) + 1);
  return static_cast<int>(text.size());
}

void Table::SetRow(int i) {
  if (i >= 0 && i < m_nRows) m_nCurRow = i;
}

std::optional<QString> Table::GetCell(const QString& column) const {
  if (column.isNull() || m_nCurRow < 0 || m_nCurRow >= static_cast<int>(m_rows.size())) return std::nullopt;
  const auto& row = m_rows[static_cast<size_t>(m_nCurRow)];
  for (size_t c = 0; c < m_colNames.size() && c < row.size(); ++c) {
    if (m_colNames[c].compare(column, Qt::CaseInsensitive) == 0) return row[c];
  }
  return std::nullopt;
}

Database::~Database() { Close(); }

int Database::Open() {
  Close();
  // The library would create a missing file; a user expects "no database" to
  // stay that, not to find an empty file without the table afterwards.
  std::error_code error;
  if (!std::filesystem::is_regular_file(kDatabaseFile, error)) {
    m_nLastResult = SQLITE_CANTOPEN;
    return SQLITE_CANTOPEN;
  }
  // It holds passwords: a file an earlier build left readable by others
  // becomes owner-only (and so does the journal SQLite makes beside it).
  platform::MakeOwnerOnly(QString::fromLatin1(kDatabaseFile));
  const UTF8MBSTR name(QString::fromLatin1(kDatabaseFile));
  const int result = sqlite3_open(name, &m_hDb);
  // The handle must be closed even when the open failed.
  if (result != SQLITE_OK) m_nLastResult = result;
  return result;
}

int Database::Exec(const QString& sql) {
  if (!m_hDb) {
    m_nLastResult = 1;
    return 1;
  }
  const UTF8MBSTR text(sql);
  char* message = nullptr;
  const int result = sqlite3_exec(m_hDb, text, nullptr, nullptr, &message);
  if (result != SQLITE_OK) m_nLastResult = result;
  sqlite3_free(message);
  return result;
}

Table Database::Query(const QString& sql, int* resultOut) {
  Table table;
  if (!m_hDb) {
    m_nLastResult = 1;
    if (resultOut) *resultOut = 1;
    return table;
  }
  char** cells = nullptr;
  int rows = 0;
  int cols = 0;
  char* message = nullptr;
  int result;
  {
    const UTF8MBSTR text(sql);
    result = sqlite3_get_table(m_hDb, text, &cells, &rows, &cols, &message);
  }
  if (result != SQLITE_OK) m_nLastResult = result;
  sqlite3_free(message);
  if (resultOut) *resultOut = result;
  if (result != SQLITE_OK || !cells || rows < 0 || cols < 0) {
    sqlite3_free_table(cells);
    return table;
  }
  table.m_nRows = rows;
  table.m_nCols = cols;
  table.m_nCurRow = rows > 0 ? 0 : -1;
  table.m_colNames.reserve(static_cast<size_t>(cols));
  for (int c = 0; c < cols; ++c) table.m_colNames.push_back(WideCell(cells[c]));
  table.m_rows.reserve(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    std::vector<QString> row;
    row.reserve(static_cast<size_t>(cols));
    // A NULL cell comes as a null pointer and reads as the empty text.
    for (int c = 0; c < cols; ++c) row.push_back(WideCell(cells[(r + 1) * cols + c]));
    table.m_rows.push_back(std::move(row));
  }
  sqlite3_free_table(cells);
  return table;
}

void Database::Close() {
  if (m_hDb) {
    sqlite3_close(m_hDb);
    m_hDb = nullptr;
  }
}

}  // namespace SQLite
