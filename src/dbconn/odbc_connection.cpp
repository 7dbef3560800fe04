#include <algorithm>
#include <string_view>

#include "dbconn/connect_login.h"
#include "dbconn/odbc_engine.h"
#include "platform/code_page.h"
#include "platform/text_util.h"

namespace qj {

namespace {

std::string ConnectionValue(const std::string& value) {
  if (!NeedsBraceQuoting(value)) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

bool FindParam(const std::vector<std::string>& params, std::string_view prefix, std::string& value) {
  for (const std::string& line : params) {
    if (StartsWith(line, prefix)) {
      value = line.substr(prefix.size());
      return true;
    }
  }
  return false;
}

}  // namespace

ConnectTarget ConnectTargetFromParams(const std::vector<std::string>& params, const std::string& aliasName) {
  ConnectTarget target;
  if (!FindParam(params, "ODBC DSN=", target.dataSource) || target.dataSource.empty()) target.dataSource = aliasName;
  FindParam(params, "USER NAME=", target.user);
  FindParam(params, "PASSWORD=", target.password);
  target.connectionString = target.dataSource.find('=') != std::string::npos;
  return target;
}

std::string ConnectionStringWithLogin(const std::string& base, const std::string& user, const std::string& password) {
  std::string out = base;
  auto append = [&out](const char* keyword, const std::string& value) {
    if (value.empty()) return;
    if (!out.empty() && out.back() != ';') out += ';';
    out += keyword;
    out += '=';
    out += ConnectionValue(value);
  };
  append("UID", user);
  append("PWD", password);
  return out;
}

namespace {

// The statements of the database's own read-only session, by SQL_DBMS_NAME.
// They hold where the driver's access mode is only a hint (psqlODBC, MariaDB
// Connector/ODBC and the SQLite driver ignore it).
std::vector<std::string> ReadOnlySessionStatements(std::string_view dbms) {
  if (dbms == "PostgreSQL") {
    // The session's default for the transactions to come and the one the
    // driver begins with it. One statement: psqlODBC runs every later one of
    // a transaction in a savepoint, whose end would take back the second.
    return {"SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY; SET TRANSACTION READ ONLY"};
  }
  if (dbms == "MySQL" || dbms == "MariaDB") return {"SET SESSION TRANSACTION READ ONLY"};
  if (dbms == "SQLite") return {"PRAGMA query_only = 1"};
  return {};
}

}  // namespace

void OdbcConnection::Connect(const ConnectTarget& target, int loginTimeoutSeconds) {
  env_ = OdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  Check(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), env_,
        "SQLSetEnvAttr");
  dbc_ = OdbcHandle(SQL_HANDLE_DBC, env_.get());
  // A server that accepts the connection but never answers (stopped, or
  // behind a dead link) ends the login here. Drivers that know no login
  // timeout ignore it.
  SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(loginTimeoutSeconds, 0))), 0);
  SQLRETURN ret;
  if (target.connectionString) {
    std::u16string text = Cp1252ToUtf16(ConnectionStringWithLogin(target.dataSource, target.user, target.password));
    SQLSMALLINT outLength = 0;
    ret = SQLDriverConnectW(dbc_.get(), nullptr, Wide(text), static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                            &outLength, SQL_DRIVER_NOPROMPT);
  } else {
    std::u16string dsn = Cp1252ToUtf16(target.dataSource);
    std::u16string user = Cp1252ToUtf16(target.user);
    std::u16string password = Cp1252ToUtf16(target.password);
    ret = SQLConnectW(dbc_.get(), Wide(dsn), static_cast<SQLSMALLINT>(dsn.size()), Wide(user),
                      static_cast<SQLSMALLINT>(user.size()), Wide(password), static_cast<SQLSMALLINT>(password.size()));
  }
  Check(ret, dbc_, target.connectionString ? "SQLDriverConnect" : "SQLConnect");
  dbc_.SetConnected(true);
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc_.get(), SQL_GETDATA_EXTENSIONS, &getDataExtensions_, sizeof(getDataExtensions_),
                                nullptr))) {
    getDataExtensions_ = 0;
  }
  SQLCHAR dbmsName[256] = {0};
  SQLSMALLINT nameLength = 0;
  const std::string_view dbms =
      SQL_SUCCEEDED(SQLGetInfo(dbc_.get(), SQL_DBMS_NAME, dbmsName, sizeof dbmsName, &nameLength))
          ? std::string_view(reinterpret_cast<const char*>(dbmsName))
          : std::string_view();
  keepsValuesAsText_ = dbms == "SQLite";
  datesAsText_ = !keepsValuesAsText_;
  numbersAsText_ = dbms == "PostgreSQL";
  // A download only reads: the driver is told so, nothing is ever committed
  // (a rollback before each statement and before disconnecting), and the
  // database's own read-only session rejects every statement that writes.
  SQLSetConnectAttr(dbc_.get(), SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
  // The SQLite driver reads the whole result at execution inside a
  // transaction instead of stepping through it; query_only refuses every
  // write of the connection there, so each statement stays on its own.
  if (!keepsValuesAsText_) {
    Check(SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
          dbc_, "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)");
  }
  readOnlySession_ = ReadOnlySessionStatements(dbms);
  BeginReadOnlyStatement();
  readsLongValuesOfBlockRows_ = (getDataExtensions_ & SQL_GD_BLOCK) != 0 && CheckLongValuesOfBlockRows();
}

void OdbcConnection::BeginReadOnlyStatement() {
  Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK), dbc_, "SQLEndTran(SQL_ROLLBACK)");
  for (const std::string& sql : readOnlySession_) ExecuteOwn(sql);
}

void OdbcConnection::ExecuteOwn(const std::string& sql) {
  OdbcHandle stmt(SQL_HANDLE_STMT, dbc_.get());
  std::u16string text = Cp1252ToUtf16(sql);
  const SQLRETURN ret = SQLExecDirectW(stmt.get(), Wide(text), static_cast<SQLINTEGER>(text.size()));
  if (ret != SQL_NO_DATA) Check(ret, stmt, "SQLExecDirect");
}

// Two rows of long texts in one block of two, bound to a short buffer; the
// second row's text read after SQLSetPos must be that row's whole text. Any
// failure on the way counts as no.
bool OdbcConnection::CheckLongValuesOfBlockRows() {
  constexpr size_t kLength = 600;
  const std::string first(kLength, 'a'), second(kLength, 'b');
  std::u16string sql = Cp1252ToUtf16("SELECT '" + first + "' AS v UNION ALL SELECT '" + second + "'");
  SQLHANDLE stmt = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), &stmt))) return false;
  // Bound as bytes: MariaDB Connector/ODBC 3.1 reads past its own buffer when
  // it truncates a wide text of a block row.
  unsigned char bound[2][32];
  SQLLEN indicators[2] = {0, 0};
  SQLULEN fetched = 0;
  std::u16string whole(kLength + 1, u'\0');
  SQLLEN length = 0;
  const bool ok =
      SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0)) &&
      SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) &&
      SQL_SUCCEEDED(SQLExecDirectW(stmt, Wide(sql), static_cast<SQLINTEGER>(sql.size()))) &&
      SQL_SUCCEEDED(SQLBindCol(stmt, 1, SQL_C_BINARY, bound, sizeof bound[0], indicators)) &&
      SQL_SUCCEEDED(SQLFetch(stmt)) && fetched == 2 &&
      SQL_SUCCEEDED(SQLSetPos(stmt, 2, SQL_POSITION, SQL_LOCK_NO_CHANGE)) &&
      SQLGetData(stmt, 1, SQL_C_WCHAR, Wide(whole), static_cast<SQLLEN>(whole.size() * sizeof(char16_t)), &length) ==
          SQL_SUCCESS &&
      length == static_cast<SQLLEN>(kLength * sizeof(char16_t)) &&
      whole.compare(0, kLength, Cp1252ToUtf16(second)) == 0;
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return ok;
}

}  // namespace qj
