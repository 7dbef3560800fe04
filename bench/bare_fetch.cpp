// The bare ODBC fetch of the benchmark: connects with a connection string,
// runs one statement and fetches every column of every row as text, the way
// a plain ODBC program would, and throws the text away.
//
// Fetching: column-wise block binding of SQL_C_CHAR buffers, 1,000 rows per
// SQLFetch. Each buffer holds 256 bytes plus the terminator, enough for every
// value of the benchmark tables; a longer value ends the program with an error
// instead of being cut, so the peer never does less work than it should.
//
//   bare_fetch CONNECTION-STRING SQL
// Prints the row count on standard output.

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr SQLULEN kRowsPerFetch = 1000;
constexpr SQLLEN kValueBytes = 257;

[[noreturn]] void Fail(const char* what, SQLSMALLINT type, SQLHANDLE handle) {
  std::fprintf(stderr, "bare_fetch: %s failed\n", what);
  SQLCHAR state[6];
  SQLCHAR text[1024];
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  for (SQLSMALLINT i = 1; SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length) == SQL_SUCCESS;
       ++i) {
    std::fprintf(stderr, "  %s %s\n", reinterpret_cast<char*>(state), reinterpret_cast<char*>(text));
  }
  std::exit(1);
}

void Check(SQLRETURN rc, const char* what, SQLSMALLINT type, SQLHANDLE handle) {
  if (!SQL_SUCCEEDED(rc)) Fail(what, type, handle);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_fetch CONNECTION-STRING SQL\n");
    return 2;
  }
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  Check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(argv[1]), SQL_NTS, nullptr, 0, nullptr,
                         SQL_DRIVER_NOPROMPT),
        "SQLDriverConnect", SQL_HANDLE_DBC, dbc);
  Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), "SQLAllocHandle", SQL_HANDLE_DBC, dbc);
  Check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(argv[2]), SQL_NTS), "SQLExecDirect", SQL_HANDLE_STMT, stmt);

  SQLSMALLINT columns = 0;
  Check(SQLNumResultCols(stmt, &columns), "SQLNumResultCols", SQL_HANDLE_STMT, stmt);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  Check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowsPerFetch), 0),
        "SQLSetStmtAttr(ROW_ARRAY_SIZE)", SQL_HANDLE_STMT, stmt);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);

  std::vector<std::vector<char>> values(static_cast<size_t>(columns));
  std::vector<std::vector<SQLLEN>> indicators(static_cast<size_t>(columns));
  for (SQLSMALLINT c = 0; c < columns; ++c) {
    values[c].resize(kRowsPerFetch * kValueBytes);
    indicators[c].resize(kRowsPerFetch);
    Check(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, values[c].data(), kValueBytes,
                     indicators[c].data()),
          "SQLBindCol", SQL_HANDLE_STMT, stmt);
  }

  unsigned long long rows = 0;
  unsigned long long bytes = 0;
  for (;;) {
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    Check(rc, "SQLFetch", SQL_HANDLE_STMT, stmt);
    for (SQLULEN r = 0; r < fetched; ++r) {
      for (SQLSMALLINT c = 0; c < columns; ++c) {
        const SQLLEN length = indicators[c][r];
        if (length >= kValueBytes) {
          std::fprintf(stderr, "bare_fetch: value of %ld bytes in column %d does not fit\n", static_cast<long>(length),
                       c + 1);
          return 1;
        }
        if (length > 0) bytes += static_cast<unsigned long long>(length);
      }
    }
    rows += fetched;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  std::printf("%llu rows, %llu bytes\n", rows, bytes);
  return 0;
}
