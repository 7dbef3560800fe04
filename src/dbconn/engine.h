#pragma once
// The engine behind the connection and query components: a connection that
// makes statements, and a statement that is prepared, run and stepped through
// row by row with a typed value per column. ODBC, SQLite and PostgreSQL each
// provide one; the components never see which.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbconn/column_info.h"
#include "dbconn/column_value.h"
#include "dbconn/fetch_options.h"

namespace qj {

// Which engine a data source value names: "file:..." an SQLite URI filename,
// "postgresql://..." or "postgres://..." a libpq URI, anything else ODBC.
enum class EngineKind { Odbc, Sqlite, Postgres };
EngineKind EngineKindOf(std::string_view dataSource);
// The engine's name for the trace.
const char* EngineName(EngineKind kind);

// A value of the current row copied as the engine's buffer holds it, for
// another thread to build its ColumnValue while this one fetches on.
struct CapturedValue {
  int index = 0;
  bool null = false;
  std::string element;   // the buffer's bytes of the value
  std::u16string wide;   // ... or its UTF-16 characters
};

class EngineStatement {
 public:
  virtual ~EngineStatement() = default;

  // Prepares the statement (Windows-1252 bytes); engine errors, a statement
  // the engine rejects included, raise EDatabaseError.
  virtual void Prepare(std::string_view statement) = 0;
  // The result columns of the prepared statement.
  virtual std::vector<ColumnInfo> Describe() = 0;
  // Runs the prepared statement; one without result columns raises
  // EDatabaseError 07005.
  virtual void Execute() = 0;
  // Ends the open result, if any; the statement stays prepared.
  virtual void CloseCursor() = 0;
  // Moves to the first row, running the statement again if rows were read.
  virtual bool First() = 0;
  // Moves to the next row: false when there is none.
  virtual bool Next() = 0;
  virtual bool Executed() const = 0;
  virtual int ColumnCount() const = 0;
  // The value of a column of the current row; 07009 for an index beyond the
  // result, 24000 when there is no current row. The reference stays valid
  // until the statement moves to another row or closes.
  virtual const ColumnValue& Value(int index) = 0;
  // Copies the value of a column of the current row for BuildCaptured;
  // false when it needs more of the engine than its buffer (a long value,
  // a conversion by the driver): Value reads it then.
  virtual bool Capture(int /*index*/, CapturedValue& /*out*/) { return false; }
  // The value a capture holds, as Value would have given it. Reads nothing
  // but the column's description, so any thread may build while this
  // statement fetches further rows of the same result.
  virtual void BuildCaptured(const CapturedValue& /*captured*/, ColumnValue& /*out*/) const {}
  // Rows per fetch from the engine (1: one row at a time).
  virtual size_t RowsetSize() const { return 1; }
  // Whether the values arrive in bound buffers.
  virtual bool ColumnsBound() const { return false; }
};

class EngineConnection {
 public:
  virtual ~EngineConnection() = default;
  virtual EngineKind Kind() const = 0;
  virtual std::unique_ptr<EngineStatement> NewStatement(const FetchOptions& options) = 0;
};

// Where a connection goes (odbc_engine.h): the data source value with user
// and password.
struct ConnectTarget;

// Opens the connection the target's data source value names; a connection
// that cannot be opened raises EConnectionError.
std::unique_ptr<EngineConnection> ConnectEngine(const ConnectTarget& target);

}  // namespace qj
