#include "dbconn/odbc_engine.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "dbconn/connect_login.h"
#include "dbconn/plain_value.h"
#include "platform/code_page.h"

namespace qj {

namespace {

// Bound text columns hold at most this many characters per row, binary ones
// this many bytes; longer values are read whole with SQLGetData.
constexpr SQLULEN kMaxBoundChars = 512;
constexpr SQLULEN kMaxBoundBytes = 1024;
// A fetch block aims at this many buffer bytes, within the row limits below.
constexpr SQLULEN kBlockBytes = 1 << 20;
constexpr SQLULEN kMinRowset = 32;
constexpr SQLULEN kMaxRowset = 512;
// Piece size when a long value is read with SQLGetData.
constexpr size_t kChunkChars = 8192;

SQLWCHAR* Wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(&text[0]); }

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
    if (line.compare(0, prefix.size(), prefix) == 0) {
      value = line.substr(prefix.size());
      return true;
    }
  }
  return false;
}

SQLLEN RoundUp8(SQLLEN bytes) { return (bytes + 7) / 8 * 8; }

// Bytes for the text of a typed value bound as text: every plain form fits.
constexpr SQLLEN kPlainTextBytes = 64;

// How a column of an SQL type is fetched: its value kind, C type and the
// bytes one row of its bound buffer takes. For fixed-length C types the driver
// steps through the rows by the size of the C type, so that size is exact;
// text and binary buffers step by their buffer length.
//
// With a driver that keeps its values as UTF-8 text (driverText), text and
// typed values are bound as that text (SQL_C_CHAR): text needs no conversion
// by the driver manager, and typed values are parsed here, as the driver
// would parse them, keeping their own C type for the texts that are not in
// plain form. Booleans and binary values keep their C types.
void ChooseBinding(BoundColumn& c, bool driverText) {
  c.typedCType = 0;
  switch (c.sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      c.kind = ValueKind::Integer;
      c.cType = SQL_C_SBIGINT;
      c.elementBytes = sizeof(SQLBIGINT);
      break;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      c.kind = ValueKind::Float;
      c.cType = SQL_C_DOUBLE;
      c.elementBytes = sizeof(SQLDOUBLE);
      break;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      c.kind = ValueKind::Date;
      c.cType = SQL_C_TYPE_DATE;
      c.elementBytes = sizeof(SQL_DATE_STRUCT);
      break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      c.kind = ValueKind::Time;
      c.cType = SQL_C_TYPE_TIME;
      c.elementBytes = sizeof(SQL_TIME_STRUCT);
      break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      c.kind = ValueKind::Timestamp;
      c.cType = SQL_C_TYPE_TIMESTAMP;
      c.elementBytes = sizeof(SQL_TIMESTAMP_STRUCT);
      break;
    case SQL_BIT:
      c.kind = ValueKind::Boolean;
      c.cType = SQL_C_BIT;
      c.elementBytes = 1;
      break;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
      c.kind = ValueKind::Binary;
      c.cType = SQL_C_BINARY;
      const SQLULEN bytes = c.declaredSize > 0 && c.declaredSize < kMaxBoundBytes ? c.declaredSize : kMaxBoundBytes;
      c.elementBytes = RoundUp8(static_cast<SQLLEN>(bytes));
      break;
    }
    default: {  // character data and everything else arrives as text
      c.kind = ValueKind::Text;
      const auto chars = static_cast<SQLLEN>(
          c.declaredSize > 0 && c.declaredSize < kMaxBoundChars ? c.declaredSize : kMaxBoundChars);
      if (driverText) {
        c.cType = SQL_C_CHAR;
        c.elementBytes = RoundUp8(chars * 3 + 1);  // up to three UTF-8 bytes a character
      } else {
        c.cType = SQL_C_WCHAR;
        c.elementBytes = RoundUp8((chars + 1) * static_cast<SQLLEN>(sizeof(char16_t)));
      }
      return;
    }
  }
  const bool typed = c.kind != ValueKind::Boolean && c.kind != ValueKind::Binary;
  if (driverText && typed) {
    c.typedCType = c.cType;
    c.typed.assign(static_cast<size_t>(c.elementBytes), 0);
    c.cType = SQL_C_CHAR;
    c.elementBytes = kPlainTextBytes;
  }
}

// The bytes a bound buffer holds for a value: text keeps room for its
// terminator.
SQLLEN ValueRoom(const BoundColumn& c) {
  if (c.cType == SQL_C_WCHAR) return c.elementBytes - static_cast<SQLLEN>(sizeof(char16_t));
  return c.cType == SQL_C_CHAR ? c.elementBytes - 1 : c.elementBytes;
}

// A buffer's share of a length indicator: the full length is reported for a
// truncated value, so it is clamped to what the buffer holds.
bool Truncated(SQLLEN indicator, SQLLEN room) { return indicator == SQL_NO_TOTAL || indicator > room; }

// The bytes of a piece that a buffer of room bytes received.
SQLLEN Received(SQLLEN indicator, SQLLEN room) {
  if (Truncated(indicator, room)) return room;
  return indicator < 0 ? 0 : indicator;
}

[[noreturn]] void ThrowOwn(const char* state, const std::string& text) {
  throw EDatabaseError(std::vector<DiagnosticRecord>{{state, 0, text}});
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

void OdbcConnection::Connect(const ConnectTarget& target) {
  env_ = OdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  Check(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), env_,
        "SQLSetEnvAttr", &warnings_);
  dbc_ = OdbcHandle(SQL_HANDLE_DBC, env_.get());
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
  Check(ret, dbc_, target.connectionString ? "SQLDriverConnect" : "SQLConnect", &warnings_);
  dbc_.SetConnected(true);
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc_.get(), SQL_GETDATA_EXTENSIONS, &getDataExtensions_, sizeof(getDataExtensions_),
                                nullptr))) {
    getDataExtensions_ = 0;
  }
  SQLCHAR driverName[256] = {0};
  SQLSMALLINT nameLength = 0;
  keepsValuesAsText_ =
      SQL_SUCCEEDED(SQLGetInfo(dbc_.get(), SQL_DRIVER_NAME, driverName, sizeof driverName, &nameLength)) &&
      std::string_view(reinterpret_cast<const char*>(driverName)).find("sqlite3odbc") != std::string_view::npos;
}

FetchOptions& DefaultFetchOptions() {
  static FetchOptions options;
  return options;
}

OdbcStatement::OdbcStatement(OdbcConnection& connection)
    : connection_(connection), stmt_(SQL_HANDLE_STMT, connection.Handle().get()) {
  // Bound buffers need SQLGetData on bound columns, in any order, for values
  // longer than their buffer; blocks of more than one row need it for a row
  // of the block as well. A driver without that gets every value through
  // SQLGetData alone.
  const SQLUINTEGER extensions = connection.GetDataExtensions();
  const SQLUINTEGER boundNeeds = SQL_GD_BOUND | SQL_GD_ANY_ORDER | SQL_GD_ANY_COLUMN;
  bindCapable_ = DefaultFetchOptions().bindColumns && (extensions & boundNeeds) == boundNeeds;
  blockCapable_ = bindCapable_ && DefaultFetchOptions().blockFetch && (extensions & SQL_GD_BLOCK) != 0;
  driverText_ = bindCapable_ && DefaultFetchOptions().driverText && connection.KeepsValuesAsText();
}

void OdbcStatement::Prepare(std::string_view statement) {
  std::u16string text = Cp1252ToUtf16(statement);
  Check(SQLPrepareW(stmt_.get(), Wide(text), static_cast<SQLINTEGER>(text.size())), stmt_, "SQLPrepare",
        &connection_.Warnings());
}

void OdbcStatement::CloseCursor() {
  if (executed_) SQLFreeStmt(stmt_.get(), SQL_CLOSE);
  executed_ = false;
  hasRow_ = false;
  endReached_ = false;
  rowsRead_ = false;
  rowsFetched_ = 0;
  position_ = 0;
}

void OdbcStatement::Execute() {
  CloseCursor();
  Check(SQLExecute(stmt_.get()), stmt_, "SQLExecute", &connection_.Warnings());
  executed_ = true;
  try {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(stmt_.get(), &count), stmt_, "SQLNumResultCols", &connection_.Warnings());
    if (count <= 0) ThrowOwn("07005", "Die Anweisung liefert keine Ergebnisspalten");
    DescribeAndBind(count);
  } catch (const EDatabaseError&) {
    // No half-open result: the cursor closes and the error goes on.
    CloseCursor();
    columns_.clear();
    throw;
  }
}

void OdbcStatement::DescribeAndBind(SQLSMALLINT count) {
  SQLFreeStmt(stmt_.get(), SQL_UNBIND);
  columns_.resize(static_cast<size_t>(count));
  SQLULEN rowBytes = 0;
  for (SQLSMALLINT i = 0; i < count; ++i) {
    BoundColumn& c = columns_[static_cast<size_t>(i)];
    SQLWCHAR name[256];
    SQLSMALLINT nameLength = 0, digits = 0, nullable = 0;
    Check(SQLDescribeColW(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), name, 256, &nameLength, &c.sqlType,
                          &c.declaredSize, &digits, &nullable),
          stmt_, "SQLDescribeCol", &connection_.Warnings());
    ChooseBinding(c, driverText_);
    c.valueRow = 0;
    rowBytes += static_cast<SQLULEN>(c.elementBytes) + sizeof(SQLLEN);
  }

  rowsetSize_ = 1;
  boundMode_ = bindCapable_;
  if (blockCapable_) {
    SQLULEN wanted = std::clamp<SQLULEN>(kBlockBytes / std::max<SQLULEN>(rowBytes, 1), kMinRowset, kMaxRowset);
    const SQLRETURN ret = SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(wanted), 0);
    if (SQL_SUCCEEDED(ret)) {
      SQLULEN actual = 0;
      if (SQL_SUCCEEDED(SQLGetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE, &actual, 0, nullptr)) && actual >= 1 &&
          actual <= wanted) {
        rowsetSize_ = actual;
      }
    }
  }
  if (rowsetSize_ == 1) SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);

  rowStatus_.assign(rowsetSize_, SQL_ROW_NOROW);
  for (size_t i = 0; i < columns_.size(); ++i) {
    BoundColumn& c = columns_[i];
    const size_t bytes = static_cast<size_t>(c.elementBytes) * rowsetSize_;
    c.indicators.assign(rowsetSize_, 0);
    SQLPOINTER buffer;
    if (c.cType == SQL_C_WCHAR) {
      c.wide.resize(bytes / sizeof(char16_t));
      buffer = c.wide.data();
    } else {
      c.data.resize(bytes);
      buffer = c.data.data();
    }
    if (boundMode_) {
      Check(SQLBindCol(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), c.cType, buffer, c.elementBytes,
                       c.indicators.data()),
            stmt_, "SQLBindCol", &connection_.Warnings());
    }
  }
  if (boundMode_) {
    Check(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0), stmt_, "SQLSetStmtAttr",
          &connection_.Warnings());
    Check(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0), stmt_, "SQLSetStmtAttr",
          &connection_.Warnings());
  }
}

bool OdbcStatement::First() {
  if (!executed_) ThrowOwn("24000", "Die Abfrage ist nicht geoeffnet");
  if (rowsRead_) Execute();
  return Next();
}

bool OdbcStatement::Next() {
  if (!executed_) ThrowOwn("24000", "Die Abfrage ist nicht geoeffnet");
  rowsRead_ = true;
  if (hasRow_ && boundMode_ && position_ + 1 < rowsFetched_) {
    ++position_;
  } else {
    hasRow_ = false;
    if (endReached_) return false;
    if (!(boundMode_ ? FetchBlock() : (LoadSingleRow(), hasRow_))) {
      endReached_ = true;
      return false;
    }
    position_ = 0;
  }
  if (boundMode_) {
    const SQLUSMALLINT status = rowStatus_[position_];
    if (status == SQL_ROW_NOROW) {
      hasRow_ = false;
      endReached_ = true;
      return false;
    }
    if (status == SQL_ROW_ERROR) {
      hasRow_ = false;
      endReached_ = true;
      std::vector<DiagnosticRecord> records = blockRecords_;
      if (records.empty()) records.push_back({"HY000", 0, "Fehler beim Lesen einer Zeile"});
      throw EDatabaseError(std::move(records));
    }
  }
  hasRow_ = true;
  ++rowSerial_;
  return true;
}

bool OdbcStatement::FetchBlock() {
  constexpr SQLULEN kNotReported = ~SQLULEN{0};
  rowsFetched_ = kNotReported;
  blockRecords_.clear();
  std::fill(rowStatus_.begin(), rowStatus_.end(), static_cast<SQLUSMALLINT>(SQL_ROW_SUCCESS));
  const SQLRETURN ret = SQLFetch(stmt_.get());
  if (ret == SQL_NO_DATA) return false;
  if (ret == SQL_SUCCESS_WITH_INFO) {
    // Truncation (01004) of a bound value is expected and repaired when the
    // value is read; other warnings are kept, and go with a row's error.
    blockRecords_ = ReadDiagnostics(SQL_HANDLE_STMT, stmt_.get());
    std::vector<DiagnosticRecord> kept;
    for (const DiagnosticRecord& r : blockRecords_) {
      if (r.SqlState != "01004") kept.push_back(r);
    }
    connection_.Warnings().Add(std::move(kept));
  } else {
    Check(ret, stmt_, "SQLFetch", nullptr);
  }
  if (rowsFetched_ == kNotReported) {
    // A successful single-row fetch delivered its row; for a block the count
    // is needed.
    if (rowsetSize_ > 1) ThrowOwn("HY000", "Der Treiber meldet die Zahl der gelesenen Zeilen nicht");
    rowsFetched_ = 1;
  }
  rowsFetched_ = std::min(rowsFetched_, rowsetSize_);
  return rowsFetched_ > 0;
}

void OdbcStatement::LoadSingleRow() {
  hasRow_ = false;
  const SQLRETURN ret = SQLFetch(stmt_.get());
  if (ret == SQL_NO_DATA) return;
  Check(ret, stmt_, "SQLFetch", &connection_.Warnings());
  const uint64_t serial = rowSerial_ + 1;
  for (size_t i = 0; i < columns_.size(); ++i) {
    BoundColumn& c = columns_[i];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    bool isNull = false;
    if (c.kind == ValueKind::Text) {
      ReadWholeText(number, longText_, isNull);
      c.value.bytes.clear();
      if (!isNull) AppendUtf16AsCp1252(longText_, c.value.bytes);
    } else if (c.kind == ValueKind::Binary) {
      ReadWholeBinary(number, c.value.bytes, isNull);
    } else {
      SQLLEN indicator = 0;
      Check(SQLGetData(stmt_.get(), number, c.cType, c.data.data(), c.elementBytes, &indicator), stmt_, "SQLGetData",
            &connection_.Warnings());
      isNull = indicator == SQL_NULL_DATA;
      if (!isNull) BuildFixedValue(c, c.data.data());
    }
    if (isNull) {
      c.value.kind = ValueKind::Null;
    } else {
      c.value.kind = c.kind;
    }
    c.valueRow = serial;
  }
  hasRow_ = true;
}

void OdbcStatement::ReadWholeText(SQLUSMALLINT columnNumber, std::u16string& out, bool& isNull) {
  out.clear();
  isNull = false;
  chunk_.resize(kChunkChars);
  const auto room = static_cast<SQLLEN>((kChunkChars - 1) * sizeof(char16_t));
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN ret = SQLGetData(stmt_.get(), columnNumber, SQL_C_WCHAR, chunk_.data(),
                                     static_cast<SQLLEN>(kChunkChars * sizeof(char16_t)), &indicator);
    if (ret == SQL_NO_DATA) return;
    Check(ret, stmt_, "SQLGetData", nullptr);
    if (indicator == SQL_NULL_DATA) {
      isNull = true;
      return;
    }
    const SQLLEN bytes = Received(indicator, room);
    out.append(chunk_.data(), static_cast<size_t>(bytes) / sizeof(char16_t));
    if (ret == SQL_SUCCESS || bytes == 0) return;
  }
}

void OdbcStatement::ReadWholeBinary(SQLUSMALLINT columnNumber, std::string& out, bool& isNull) {
  out.clear();
  isNull = false;
  chunk_.resize(kChunkChars);
  const auto room = static_cast<SQLLEN>(kChunkChars * sizeof(char16_t));
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN ret = SQLGetData(stmt_.get(), columnNumber, SQL_C_BINARY, chunk_.data(), room, &indicator);
    if (ret == SQL_NO_DATA) return;
    Check(ret, stmt_, "SQLGetData", nullptr);
    if (indicator == SQL_NULL_DATA) {
      isNull = true;
      return;
    }
    const SQLLEN bytes = Received(indicator, room);
    out.append(reinterpret_cast<const char*>(chunk_.data()), static_cast<size_t>(bytes));
    if (ret == SQL_SUCCESS || bytes == 0) return;
  }
}

const ColumnValue& OdbcStatement::Value(int index) {
  if (index < 0 || static_cast<size_t>(index) >= columns_.size()) {
    ThrowOwn("07009", "Spaltenindex " + std::to_string(index) + " ausserhalb der Ergebnisspalten (0 bis " +
                          std::to_string(static_cast<long>(columns_.size()) - 1) + ")");
  }
  if (!hasRow_) ThrowOwn("24000", "Kein aktueller Datensatz");
  BoundColumn& c = columns_[static_cast<size_t>(index)];
  if (c.valueRow != rowSerial_) BuildValue(c, index);
  return c.value;
}

void OdbcStatement::BuildValue(BoundColumn& c, int index) {
  const SQLLEN indicator = c.indicators[position_];
  c.valueRow = rowSerial_;
  if (indicator == SQL_NULL_DATA) {
    c.value.kind = ValueKind::Null;
    c.value.bytes.clear();
    return;
  }
  c.value.kind = c.kind;
  const auto columnNumber = static_cast<SQLUSMALLINT>(index + 1);
  const size_t offset = static_cast<size_t>(c.elementBytes) * position_;
  const SQLLEN room = ValueRoom(c);
  if (c.typedCType != 0) {
    const auto* text = reinterpret_cast<const char*>(c.data.data() + offset);
    BuildFromText(c, index, std::string_view(text, static_cast<size_t>(Received(indicator, room))),
                  Truncated(indicator, room));
    return;
  }
  if (c.kind == ValueKind::Text || c.kind == ValueKind::Binary) {
    if (Truncated(indicator, room)) {
      // Longer than its bound buffer: read it whole.
      PositionOnRow();
      bool isNull = false;
      if (c.kind == ValueKind::Text) {
        ReadWholeText(columnNumber, longText_, isNull);
        c.value.bytes.clear();
        AppendUtf16AsCp1252(longText_, c.value.bytes);
      } else {
        ReadWholeBinary(columnNumber, c.value.bytes, isNull);
      }
      if (isNull) c.value.kind = ValueKind::Null;
      return;
    }
    const auto length = static_cast<size_t>(Received(indicator, room));
    c.value.bytes.clear();
    if (c.cType == SQL_C_WCHAR) {
      const char16_t* text = c.wide.data() + offset / sizeof(char16_t);
      AppendUtf16AsCp1252(std::u16string_view(text, length / sizeof(char16_t)), c.value.bytes);
    } else if (c.cType == SQL_C_CHAR) {
      AppendUtf8AsCp1252(std::string_view(reinterpret_cast<const char*>(c.data.data() + offset), length),
                         c.value.bytes);
    } else {
      c.value.bytes.assign(reinterpret_cast<const char*>(c.data.data() + offset), length);
    }
    return;
  }
  BuildFixedValue(c, c.data.data() + offset);
}

void OdbcStatement::PositionOnRow() {
  if (rowsetSize_ == 1) return;
  Check(SQLSetPos(stmt_.get(), static_cast<SQLSETPOSIROW>(position_ + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), stmt_,
        "SQLSetPos", nullptr);
}

void OdbcStatement::BuildFromText(BoundColumn& c, int index, std::string_view text, bool truncated) {
  if (!truncated && ParsePlainValue(c.kind, text, c.value)) return;
  // Not a plain form: the driver's own conversion decides.
  PositionOnRow();
  SQLLEN indicator = 0;
  Check(SQLGetData(stmt_.get(), static_cast<SQLUSMALLINT>(index + 1), c.typedCType, c.typed.data(),
                   static_cast<SQLLEN>(c.typed.size()), &indicator),
        stmt_, "SQLGetData", &connection_.Warnings());
  if (indicator == SQL_NULL_DATA) {
    c.value.kind = ValueKind::Null;
    return;
  }
  BuildFixedValue(c, c.typed.data());
}

void OdbcStatement::BuildFixedValue(BoundColumn& c, const unsigned char* element) {
  ColumnValue& v = c.value;
  switch (c.kind) {
    case ValueKind::Integer: {
      SQLBIGINT n;
      std::memcpy(&n, element, sizeof(n));
      v.integer = n;
      break;
    }
    case ValueKind::Float:
      std::memcpy(&v.real, element, sizeof(v.real));
      break;
    case ValueKind::Date: {
      SQL_DATE_STRUCT d;
      std::memcpy(&d, element, sizeof(d));
      v.year = d.year, v.month = d.month, v.day = d.day;
      break;
    }
    case ValueKind::Time: {
      SQL_TIME_STRUCT t;
      std::memcpy(&t, element, sizeof(t));
      v.hour = t.hour, v.minute = t.minute, v.second = t.second;
      break;
    }
    case ValueKind::Timestamp: {
      SQL_TIMESTAMP_STRUCT ts;
      std::memcpy(&ts, element, sizeof(ts));
      v.year = ts.year, v.month = ts.month, v.day = ts.day;
      v.hour = ts.hour, v.minute = ts.minute, v.second = ts.second;
      break;
    }
    case ValueKind::Boolean:
      v.boolean = element[0] != 0;
      break;
    default:
      break;
  }
}

}  // namespace qj
