#pragma once
// The connection and the statement over ODBC: connecting by data source name
// or connection string, preparing a statement in UTF-16, and fetching its rows
// in blocks into bound buffers, with typed values per column.

#ifdef _WIN32
#include <windows.h>  // the ODBC headers build on its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbconn/column_binding.h"
#include "dbconn/column_value.h"
#include "dbconn/db_error.h"
#include "dbconn/engine.h"
#include "dbconn/fetch_options.h"
#include "dbconn/odbc_handles.h"

namespace qj {

// Where a connection goes: a data source name with user and password, or a
// complete connection string (a data source value that holds "=").
struct ConnectTarget {
  bool connectionString = false;
  std::string dataSource;
  std::string user;
  std::string password;
};

// The target named by the parameter lines "ODBC DSN=", "USER NAME=" and
// "PASSWORD=" (the first line of each; prefixes match case-sensitively). The
// alias is the data source when "ODBC DSN=" is missing or empty.
ConnectTarget ConnectTargetFromParams(const std::vector<std::string>& params, const std::string& aliasName);

// The connection string with ";UID=user;PWD=password" appended. A value that
// holds ";", "{", "}" or blanks at either end is written in braces, with "}"
// doubled. An empty user or password is not appended, so that a connection
// string's own UID/PWD or the driver's default login still apply.
std::string ConnectionStringWithLogin(const std::string& base, const std::string& user, const std::string& password);

// Seconds a login may take before the driver gives up.
constexpr int kDefaultLoginTimeoutSeconds = 60;

class OdbcConnection {
 public:
  // Connects without ever prompting, within the login timeout (0: the
  // driver's own), and makes the session read-only (the database's own mode,
  // and manual commit where the driver does not stream inside a
  // transaction); throws EDatabaseError on failure.
  void Connect(const ConnectTarget& target, int loginTimeoutSeconds = kDefaultLoginTimeoutSeconds);
  // Before each statement: rolls back whatever the previous statements did
  // and sets the session read-only again, so that no statement can undo it
  // for the next one. Throws EDatabaseError when that fails.
  void BeginReadOnlyStatement();
  const OdbcHandle& Handle() const { return dbc_; }
  // The driver's SQL_GETDATA_EXTENSIONS (0 when it does not tell).
  SQLUINTEGER GetDataExtensions() const { return getDataExtensions_; }
  // A database that keeps every value as stored, in any column, whatever the
  // declared type (SQLite, by SQL_DBMS_NAME): its driver keeps the values of a
  // row as UTF-8 text, which it parses for a typed value and the driver
  // manager converts for wide text.
  bool KeepsValuesAsText() const { return keepsValuesAsText_; }
  // Dates and timestamps are read as the driver's text on every database but
  // SQLite: their values reach beyond what the ODBC structs hold, and the
  // drivers fill a struct with something else for them (psqlODBC the current
  // date or year 0 for 'infinity', years BC and past 9999; MariaDB
  // Connector/ODBC NULL for a zero date and month 0 for 2024-00-15).
  bool ReadsDatesAsText() const { return datesAsText_; }
  // Integers and double values are read as the driver's text and parsed
  // here on PostgreSQL: psqlODBC converts its text to a C type with the C
  // library's scanf and strtod, which cost a million-row download a tenth of
  // its time. A text not in plain form still goes to the driver's conversion.
  bool ReadsNumbersAsText() const { return numbersAsText_; }
  // SQLGetData reads a long value on a later row of a fetch block after
  // SQLSetPos: claimed by SQL_GD_BLOCK and found so by a check at connect.
  bool ReadsLongValuesOfBlockRows() const { return readsLongValuesOfBlockRows_; }

 private:
  bool CheckLongValuesOfBlockRows();
  void ExecuteOwn(const std::string& sql);

  OdbcHandle env_;
  OdbcHandle dbc_;
  SQLUINTEGER getDataExtensions_ = 0;
  bool keepsValuesAsText_ = false;
  bool datesAsText_ = false;
  bool numbersAsText_ = false;
  bool readsLongValuesOfBlockRows_ = false;
  // The database's own statements that make the session read-only.
  std::vector<std::string> readOnlySession_;
};

class OdbcStatement {
 public:
  OdbcStatement(OdbcConnection& connection, const FetchOptions& options);

  // Prepares the statement, converted from Windows-1252 to UTF-16.
  void Prepare(std::string_view statement);
  // Runs the prepared statement and binds its result columns. A statement
  // without result columns raises EDatabaseError 07005.
  void Execute();
  void CloseCursor();
  // Moves to the next row: false when there is none. Engine errors while
  // fetching raise EDatabaseError.
  bool Next();
  // Moves to the first row, running the statement again if rows were read.
  bool First();

  bool Executed() const { return executed_; }
  const OdbcHandle& Handle() const { return stmt_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // The value of a column of the current row; 07009 for an index beyond the
  // result, 24000 when there is no current row.
  const ColumnValue& Value(int index);
  // The value of a column of the current row copied from its bound buffer,
  // and the value built from such a copy (EngineStatement).
  bool Capture(int index, CapturedValue& out);
  void BuildCaptured(const CapturedValue& captured, ColumnValue& out) const;
  // Rows per fetch (1 when the driver cannot read a long value of a block row).
  SQLULEN RowsetSize() const { return rowsetSize_; }
  bool ColumnsBound() const { return boundMode_; }

 private:
  void DescribeAndBind(SQLSMALLINT count);
  // A text field of the column (SQL_DESC_TYPE_NAME, SQL_DESC_TABLE_NAME) in
  // upper case ASCII, "" when not given.
  std::string ColumnText(int columnNumber, SQLUSMALLINT field);
  bool FetchBlock();
  bool LoadSingleRow();
  // The whole text or binary value of the column by SQLGetData into its
  // value's bytes; false for NULL.
  // text: as text (else binary); longerThanBound: the bound buffer holds a
  // prefix of a longer value.
  bool ReadWhole(BoundColumn& column, SQLUSMALLINT columnNumber, bool text, bool longerThanBound);
  // A NumberText value by the driver's own conversion to its C type.
  void ReadConverted(BoundColumn& column, SQLUSMALLINT columnNumber);
  void BuildValue(BoundColumn& column, int index);
  void PositionOnRow();

  OdbcConnection& connection_;
  OdbcHandle stmt_;
  bool bindCapable_ = false;   // driver allows SQLGetData on bound columns
  bool blockCapable_ = false;  // ... also on a row of a block
  bool driverText_ = false;    // values bound as the driver's own text
  bool executed_ = false;
  bool boundMode_ = false;     // columns bound (else read with SQLGetData)
  bool endReached_ = false;
  bool hasRow_ = false;
  bool rowsRead_ = false;
  std::vector<BoundColumn> columns_;
  SQLULEN rowsetSize_ = 1;
  SQLULEN rowsFetched_ = 0;
  SQLULEN position_ = 0;
  std::vector<SQLUSMALLINT> rowStatus_;
  std::vector<DiagnosticRecord> blockRecords_;
  uint64_t rowSerial_ = 0;
  std::vector<char16_t> chunk_;  // the pieces of a long value
};

}  // namespace qj
