// The SQLite engine: libsqlite3 on a database opened read-only, with the
// connection's queries never able to write (PRAGMA query_only). Each value
// arrives in its own storage class; a column declared as a date, time or
// timestamp reads its texts in their plain form, as the ODBC path does.

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "dbconn/db_error.h"
#include "dbconn/native_engines.h"
#include "dbconn/native_statement.h"
#include "dbconn/odbc_engine.h"
#include "dbconn/plain_value.h"
#include "platform/code_page.h"
#include "platform/text_util.h"

namespace qj {

namespace {

// How long a statement waits for a writer's lock before it fails.
constexpr int kBusyTimeoutMs = 100000;

std::string SqliteState(int code) {
  switch (code & 0xFF) {
    case SQLITE_READONLY:
      return "25006";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "HYT00";
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_AUTH:
    case SQLITE_PERM:
      return "08001";
    default:
      return "HY000";
  }
}

[[noreturn]] void ThrowSqlite(sqlite3* db, int code, const char* state = nullptr) {
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  const int extended = db != nullptr ? sqlite3_extended_errcode(db) : code;
  throw EDatabaseError(std::vector<DiagnosticRecord>{
      {state != nullptr ? state : SqliteState(extended), extended, "[SQLite] " + Utf8ToCp1252(message)}});
}

// The value kind a declared type gives, as the SQLite3 ODBC driver reads it:
// dates, times and timestamps by their plain text, booleans and binary
// columns in their own kinds; Text stands for "as stored".
ValueKind DeclaredKind(const char* declared) {
  if (declared == nullptr) return ValueKind::Text;
  std::string upper = declared;
  UpperCaseAscii(upper);
  const auto has = [&upper](const char* word) { return upper.find(word) != std::string::npos; };
  if (has("TIMESTAMP") || has("DATETIME")) return ValueKind::Timestamp;
  if (has("DATE")) return ValueKind::Date;
  if (has("TIME")) return ValueKind::Time;
  if (has("BOOL")) return ValueKind::Boolean;
  if (has("BLOB") || has("BINARY")) return ValueKind::Binary;
  return ValueKind::Text;
}

// The characters a declared type such as VARCHAR(20) gives its values. The
// digits of DECIMAL(10,2) or NUMERIC(10) need a sign and a decimal separator
// beside them, as ODBC counts the display size of a decimal column.
int64_t DeclaredSize(const char* declared) {
  if (declared == nullptr) return 0;
  const char* open = std::strchr(declared, '(');
  if (open == nullptr) return 0;
  const int64_t size = std::strtoll(open + 1, nullptr, 10);
  std::string upper(declared, static_cast<size_t>(open - declared));
  UpperCaseAscii(upper);
  const bool decimal = upper.find("DEC") != std::string::npos || upper.find("NUMERIC") != std::string::npos;
  return decimal && size > 0 ? size + 2 : size;
}

class SqliteStatement : public NativeStatement {
 public:
  explicit SqliteStatement(sqlite3* db) : db_(db) {}
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void Prepare(std::string_view statement) override;
  std::vector<ColumnInfo> Describe() override;

 protected:
  int ResultColumns() const override { return stmt_ != nullptr ? sqlite3_column_count(stmt_) : 0; }
  void StartRun() override;
  void StopRun() override { sqlite3_reset(stmt_); }
  bool FetchRow() override;
  void ReadValue(int index, ColumnValue& value) override;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<ValueKind> declared_;  // DeclaredKind of each result column
};

void SqliteStatement::Prepare(std::string_view statement) {
  CloseCursor();
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  const std::string sql = Cp1252ToUtf8(statement);
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), 0, &stmt_, &tail);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc, "42000");
  // One statement per prepare: whatever follows may only be blanks,
  // comments and semicolons.
  const char* end = sql.c_str() + sql.size();
  while (tail != nullptr && tail < end) {
    sqlite3_stmt* next = nullptr;
    rc = sqlite3_prepare_v3(db_, tail, static_cast<int>(end - tail), 0, &next, &tail);
    sqlite3_finalize(next);
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc, "42000");
    if (next != nullptr) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
      ThrowOwnError("42000", "Die Anweisung enthaelt mehr als einen Befehl");
    }
  }
}

std::vector<ColumnInfo> SqliteStatement::Describe() {
  std::vector<ColumnInfo> columns;
  for (int i = 0; i < ResultColumns(); ++i) {
    const char* declared = sqlite3_column_decltype(stmt_, i);
    columns.push_back({Utf8ToCp1252(sqlite3_column_name(stmt_, i)), declared != nullptr ? declared : "",
                       DeclaredSize(declared)});
  }
  return columns;
}

void SqliteStatement::StartRun() {
  sqlite3_reset(stmt_);
  declared_.clear();
  for (int i = 0; i < ResultColumns(); ++i) declared_.push_back(DeclaredKind(sqlite3_column_decltype(stmt_, i)));
}

bool SqliteStatement::FetchRow() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  ThrowSqlite(db_, rc);
}

void SqliteStatement::ReadValue(int index, ColumnValue& v) {
  const int storage = sqlite3_column_type(stmt_, index);
  const ValueKind declared = declared_[static_cast<size_t>(index)];
  if (storage == SQLITE_NULL) {
    v.kind = ValueKind::Null;
    return;
  }
  if (declared == ValueKind::Binary || storage == SQLITE_BLOB) {
    // A binary column gives every value's bytes, a number's as its text.
    const void* data = sqlite3_column_blob(stmt_, index);
    v.kind = ValueKind::Binary;
    v.bytes.assign(static_cast<const char*>(data), static_cast<size_t>(sqlite3_column_bytes(stmt_, index)));
    return;
  }
  if (declared == ValueKind::Boolean) {
    // True for a value whose text starts with a digit 1 to 9, "T" or "Y" in
    // either case ("1", "2.5", "true", "yes"), as the ODBC path reads a bit.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
    v.kind = ValueKind::Boolean;
    v.boolean = text != nullptr && text[0] != '\0' && std::strchr("Yy123456789Tt", text[0]) != nullptr;
    return;
  }
  if (storage == SQLITE_INTEGER) {
    v.integer = sqlite3_column_int64(stmt_, index);
    v.kind = ValueKind::Integer;
    return;
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
  const std::string_view view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, index)));
  if (storage == SQLITE_FLOAT) {
    v.real = sqlite3_column_double(stmt_, index);
    v.kind = ValueKind::Float;
    // An infinite value shows as SQLite's text ("Inf", "-Inf").
    if (std::isinf(v.real)) {
      v.kind = ValueKind::Text;
      v.bytes.assign(view);
    }
    return;
  }
  if ((declared == ValueKind::Date || declared == ValueKind::Time || declared == ValueKind::Timestamp) &&
      ParsePlainValue(declared, view, v)) {
    v.kind = declared;
    return;
  }
  v.kind = ValueKind::Text;
  AppendUtf8AsCp1252(view, v.bytes);
}

class SqliteConnection : public EngineConnection {
 public:
  explicit SqliteConnection(const ConnectTarget& target);
  ~SqliteConnection() override { sqlite3_close_v2(db_); }
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  EngineKind Kind() const override { return EngineKind::Sqlite; }
  std::unique_ptr<EngineStatement> NewStatement(const FetchOptions&) override {
    return std::make_unique<SqliteStatement>(db_);
  }

 private:
  sqlite3* db_ = nullptr;
};

SqliteConnection::SqliteConnection(const ConnectTarget& target) {
  const std::string uri = Cp1252ToUtf8(target.dataSource);
  const int rc = sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                                 nullptr);
  std::string failure;
  if (rc != SQLITE_OK) {
    failure = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  } else {
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    char* message = nullptr;
    // query_only keeps even a statement with a result (INSERT ... RETURNING)
    // from writing; reading the schema proves the file is a database.
    if (sqlite3_exec(db_, "PRAGMA query_only=1; SELECT count(*) FROM sqlite_schema", nullptr, nullptr, &message) !=
        SQLITE_OK) {
      failure = message != nullptr ? message : sqlite3_errmsg(db_);
    }
    sqlite3_free(message);
  }
  if (!failure.empty()) {
    const int code = db_ != nullptr ? sqlite3_extended_errcode(db_) : rc;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw EConnectionError(std::vector<DiagnosticRecord>{
        {"08001", code, "[SQLite] " + Utf8ToCp1252(failure) + ": " + target.dataSource}});
  }
}

}  // namespace

std::unique_ptr<EngineConnection> ConnectSqlite(const ConnectTarget& target) {
  return std::make_unique<SqliteConnection>(target);
}

}  // namespace qj
