#pragma once
// One owner per ODBC handle (environment, connection, statement) and the
// reading of the diagnostic records that the driver attaches to a handle.

#ifdef _WIN32
#include <windows.h>  // the ODBC headers build on its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "dbconn/db_error.h"

namespace qj {

// Owns one ODBC handle of a fixed type and frees it on destruction. A
// connection handle is disconnected first if it is still connected.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  // Allocates a handle of the type under its parent (SQL_NULL_HANDLE for an
  // environment); throws EDatabaseError when the driver manager refuses.
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
  ~OdbcHandle();
  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
  // A connection handle that must be disconnected before it is freed.
  void SetConnected(bool connected) { connected_ = connected; }
  void reset();

 private:
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
  bool connected_ = false;
};

// Every diagnostic record of the handle, texts in Windows-1252.
std::vector<DiagnosticRecord> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle);

// The outcome of an ODBC call: an error throws EDatabaseError with the
// handle's records (or one record naming the call when the driver gave none).
// Success with info is success: its records are not read.
SQLRETURN Check(SQLRETURN ret, const OdbcHandle& handle, const char* call);

// A UTF-16 text as the driver manager's wide string argument (or buffer).
inline SQLWCHAR* Wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(&text[0]); }

}  // namespace qj
