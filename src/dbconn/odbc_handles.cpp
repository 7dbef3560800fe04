#include "dbconn/odbc_handles.h"

#include <utility>

#include "platform/code_page.h"

namespace qj {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
  const SQLRETURN ret = SQLAllocHandle(type, parent, &handle_);
  if (!SQL_SUCCEEDED(ret)) {
    std::vector<DiagnosticRecord> records;
    if (parent != SQL_NULL_HANDLE) {
      const SQLSMALLINT parentType = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
      records = ReadDiagnostics(parentType, parent);
    }
    if (records.empty()) records.push_back({"HY001", 0, "ODBC-Handle konnte nicht angelegt werden"});
    handle_ = SQL_NULL_HANDLE;
    throw EDatabaseError(std::move(records));
  }
}

OdbcHandle::~OdbcHandle() { reset(); }

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, static_cast<SQLHANDLE>(nullptr))),
      connected_(std::exchange(other.connected_, false)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    reset();
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, static_cast<SQLHANDLE>(nullptr));
    connected_ = std::exchange(other.connected_, false);
  }
  return *this;
}

void OdbcHandle::reset() {
  if (handle_ == SQL_NULL_HANDLE) return;
  if (type_ == SQL_HANDLE_DBC && connected_) {
    // Whatever a statement may have changed is never committed; a driver
    // also refuses to disconnect with a transaction open.
    SQLEndTran(SQL_HANDLE_DBC, handle_, SQL_ROLLBACK);
    SQLDisconnect(handle_);
  }
  SQLFreeHandle(type_, handle_);
  handle_ = SQL_NULL_HANDLE;
  connected_ = false;
}

std::vector<DiagnosticRecord> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<DiagnosticRecord> records;
  std::u16string text(512, u'\0');
  for (SQLSMALLINT recNo = 1;; ++recNo) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT textLength = 0;
    SQLRETURN ret = SQLGetDiagRecW(type, handle, recNo, state, &native, reinterpret_cast<SQLWCHAR*>(&text[0]),
                                   static_cast<SQLSMALLINT>(text.size()), &textLength);
    if (ret == SQL_SUCCESS_WITH_INFO && textLength >= static_cast<SQLSMALLINT>(text.size())) {
      // The message did not fit: read it again with room for all of it.
      text.assign(static_cast<size_t>(textLength) + 1, u'\0');
      ret = SQLGetDiagRecW(type, handle, recNo, state, &native, reinterpret_cast<SQLWCHAR*>(&text[0]),
                           static_cast<SQLSMALLINT>(text.size()), &textLength);
    }
    if (!SQL_SUCCEEDED(ret)) break;
    DiagnosticRecord record;
    std::u16string stateText;
    for (SQLWCHAR c : state) {
      if (c == 0) break;
      stateText.push_back(static_cast<char16_t>(c));
    }
    record.SqlState = Utf16ToCp1252(stateText);
    record.NativeError = native;
    size_t length = textLength < 0 ? 0 : static_cast<size_t>(textLength);
    if (length >= text.size()) length = text.size() - 1;
    record.Text = Utf16ToCp1252(std::u16string_view(text.data(), length));
    records.push_back(std::move(record));
  }
  return records;
}

SQLRETURN Check(SQLRETURN ret, const OdbcHandle& handle, const char* call) {
  if (SQL_SUCCEEDED(ret) || ret == SQL_NO_DATA) return ret;
  std::vector<DiagnosticRecord> records;
  if (ret != SQL_INVALID_HANDLE) records = ReadDiagnostics(handle.type(), handle.get());
  if (records.empty()) {
    records.push_back({"HY000", 0, std::string(call) + " fehlgeschlagen (Rueckgabewert " + std::to_string(ret) + ")"});
  }
  throw EDatabaseError(std::move(records));
}

}  // namespace qj
