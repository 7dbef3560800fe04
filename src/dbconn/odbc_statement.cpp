#include <algorithm>
#include <utility>

#include "dbconn/odbc_engine.h"
#include "dbconn/plain_value.h"
#include "platform/code_page.h"
#include "platform/text_util.h"

namespace qj {

namespace {

// A fetch block aims at this many buffer bytes, within the row limits below.
constexpr SQLULEN kBlockBytes = 1 << 20;
constexpr SQLULEN kMinRowset = 32;
constexpr SQLULEN kMaxRowset = 512;
// First piece size when a long value is read with SQLGetData.
constexpr size_t kChunkChars = 8192;

// A declared type of character data, by SQLite's rule for text affinity.
bool CharacterTypeName(const std::string& upperName) {
  for (const char* word : {"CHAR", "TEXT", "CLOB", "STRING"}) {
    if (upperName.find(word) != std::string::npos) return true;
  }
  return false;
}

// A time (on PostgreSQL and MariaDB also a date or timestamp) as the
// driver's text. A duration beyond the day (MariaDB's 838:59:59,
// -00:00:01), a date the driver could not read (psqlODBC's 0000-00-00 for
// 'infinity'): its text.
void PlainTextValue(ValueKind kind, std::string_view text, ColumnValue& v) {
  if (ParsePlainValue(kind, text, v)) {
    v.kind = kind;
    return;
  }
  v.kind = ValueKind::Text;
  v.bytes.clear();
  AppendUtf8AsCp1252(text, v.bytes);
}

// A typed value as the SQLite driver's text. Any value in any column: one
// not in the column's plain form is given as stored, a number in the number
// form, anything else as its text.
void TypedTextValue(ValueKind kind, std::string_view text, ColumnValue& v) {
  v.kind = kind;
  if (ParsePlainValue(kind, text, v)) return;
  if (ParsePlainNumber(text, v)) return;
  v.kind = ValueKind::Text;
  v.bytes.clear();
  AppendUtf8AsCp1252(text, v.bytes);
}

// Whether a value is longer than its bound buffer and needs the driver
// again. A fixed type never is; a plain text (a date or a time) keeps what
// fits.
bool OutgrowsBuffer(const BoundColumn& c, SQLLEN indicator) {
  return c.binding != Binding::Fixed && c.binding != Binding::PlainText && Truncated(indicator, ValueRoom(c));
}

// Where the value of a row of the fetch block lies in its column's buffer,
// and its bytes (UTF-16 ones for WideText).
struct BoundElement {
  const void* data;
  size_t bytes;
};
BoundElement ElementOf(const BoundColumn& c, size_t position, SQLLEN indicator) {
  const size_t offset = static_cast<size_t>(c.elementBytes) * position;
  const size_t bytes = c.binding == Binding::Fixed ? static_cast<size_t>(c.elementBytes)
                                                   : static_cast<size_t>(Received(indicator, ValueRoom(c)));
  if (c.binding == Binding::WideText) return {c.wide.data() + offset / sizeof(char16_t), bytes};
  return {c.data.data() + offset, bytes};
}

// The value of a bound element that needs nothing more of the driver: not
// NULL and, but for fixed types and plain texts, not longer than its buffer.
// False, with the value unfinished, for a number text in no plain form: the
// driver converts that one. Reads nothing of the column but its description.
bool BuildFromElement(const BoundColumn& c, const void* element, size_t length, ColumnValue& v) {
  const std::string_view text(static_cast<const char*>(element), length);
  v.kind = c.kind;
  switch (c.binding) {
    case Binding::Fixed:
      FillFixedValue(c.kind, c.cType, static_cast<const unsigned char*>(element), v);
      return true;
    case Binding::NumberText:
      v.isUnsigned = false;
      return ParsePlainValue(c.kind, text, v);
    case Binding::TypedText:
      TypedTextValue(c.kind, text, v);
      return true;
    case Binding::PlainText:
      PlainTextValue(c.kind, text, v);
      return true;
    case Binding::WideText:
      v.bytes.clear();
      AppendUtf16AsCp1252(std::u16string_view(static_cast<const char16_t*>(element), length / sizeof(char16_t)),
                          v.bytes);
      return true;
    case Binding::DriverText:
      v.bytes.clear();
      if (!c.numbersAsStored || !ParseSqliteNumber(text, v)) AppendUtf8AsCp1252(text, v.bytes);
      return true;
    case Binding::Binary:
      v.bytes.assign(text.data(), text.size());
      return true;
  }
  return true;
}

}  // namespace

OdbcStatement::OdbcStatement(OdbcConnection& connection, const FetchOptions& options)
    : connection_(connection), stmt_(SQL_HANDLE_STMT, connection.Handle().get()) {
  // Bound buffers need SQLGetData on bound columns, in any order, for values
  // longer than their buffer; blocks of more than one row need it for a row
  // of the block as well. A driver without that gets every value through
  // SQLGetData alone.
  const SQLUINTEGER extensions = connection.GetDataExtensions();
  const SQLUINTEGER boundNeeds = SQL_GD_BOUND | SQL_GD_ANY_ORDER | SQL_GD_ANY_COLUMN;
  bindCapable_ = options.bindColumns && (extensions & boundNeeds) == boundNeeds;
  blockCapable_ = bindCapable_ && options.blockFetch && (extensions & SQL_GD_BLOCK) != 0;
  driverText_ = bindCapable_ && options.driverText && connection.KeepsValuesAsText();
}

void OdbcStatement::Prepare(std::string_view statement) {
  connection_.BeginReadOnlyStatement();
  std::u16string text = Cp1252ToUtf16(statement);
  Check(SQLPrepareW(stmt_.get(), Wide(text), static_cast<SQLINTEGER>(text.size())), stmt_, "SQLPrepare");
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
  Check(SQLExecute(stmt_.get()), stmt_, "SQLExecute");
  executed_ = true;
  try {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(stmt_.get(), &count), stmt_, "SQLNumResultCols");
    if (count <= 0) ThrowOwnError("07005", "Die Anweisung liefert keine Ergebnisspalten");
    DescribeAndBind(count);
  } catch (const EDatabaseError&) {
    // No half-open result: the cursor closes and the error goes on.
    CloseCursor();
    columns_.clear();
    throw;
  }
}

std::string OdbcStatement::ColumnText(int columnNumber, SQLUSMALLINT field) {
  SQLWCHAR name[128] = {0};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLColAttributeW(stmt_.get(), static_cast<SQLUSMALLINT>(columnNumber), field, name,
                                      sizeof name, &length, nullptr))) {
    return "";
  }
  std::string out;
  for (size_t i = 0; i < 127 && name[i] != 0; ++i) {
    const auto c = static_cast<char16_t>(name[i]);
    out += c < 128 ? UpperAscii(static_cast<char>(c)) : '?';
  }
  return out;
}

void OdbcStatement::DescribeAndBind(SQLSMALLINT count) {
  SQLFreeStmt(stmt_.get(), SQL_UNBIND);
  columns_.resize(static_cast<size_t>(count));
  SQLULEN rowBytes = 0;
  bool longReads = false;
  for (SQLSMALLINT i = 0; i < count; ++i) {
    BoundColumn& c = columns_[static_cast<size_t>(i)];
    SQLWCHAR name[256];
    SQLSMALLINT nameLength = 0, digits = 0, nullable = 0;
    Check(SQLDescribeColW(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), name, 256, &nameLength, &c.sqlType,
                          &c.declaredSize, &digits, &nullable),
          stmt_, "SQLDescribeCol");
    c.isUnsigned = false;
    if (c.sqlType == SQL_TINYINT || c.sqlType == SQL_SMALLINT || c.sqlType == SQL_INTEGER || c.sqlType == SQL_BIGINT) {
      SQLLEN isUnsigned = SQL_FALSE;
      Check(SQLColAttributeW(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), SQL_DESC_UNSIGNED, nullptr, 0, nullptr,
                             &isUnsigned),
            stmt_, "SQLColAttribute");
      c.isUnsigned = isUnsigned == SQL_TRUE;
    }
    ChooseBinding(c, driverText_, connection_.ReadsDatesAsText(), connection_.ReadsNumbersAsText());
    c.numbersAsStored = c.binding == Binding::DriverText && (!CharacterTypeName(ColumnText(i + 1, SQL_DESC_TYPE_NAME)) ||
                                                             ColumnText(i + 1, SQL_DESC_TABLE_NAME).empty());
    c.valueRow = 0;
    longReads = longReads || MayOutgrowBuffer(c);
    rowBytes += static_cast<SQLULEN>(c.elementBytes) + sizeof(SQLLEN);
  }

  rowsetSize_ = 1;
  boundMode_ = bindCapable_;
  // Values longer than their buffer are read on the row of the block only
  // where the connection found that to work.
  if (blockCapable_ && (!longReads || connection_.ReadsLongValuesOfBlockRows())) {
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
  if (rowsetSize_ == 1) {
    Check(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0), stmt_,
          "SQLSetStmtAttr");
  }

  rowStatus_.assign(rowsetSize_, SQL_ROW_NOROW);
  for (size_t i = 0; i < columns_.size(); ++i) {
    BoundColumn& c = columns_[i];
    const size_t bytes = static_cast<size_t>(c.elementBytes) * rowsetSize_;
    c.indicators.assign(rowsetSize_, 0);
    SQLPOINTER buffer;
    if (c.binding == Binding::WideText) {
      c.wide.resize(bytes / sizeof(char16_t));
      buffer = c.wide.data();
    } else {
      c.data.resize(bytes);
      buffer = c.data.data();
    }
    if (boundMode_) {
      Check(SQLBindCol(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), BoundCType(c), buffer, c.elementBytes,
                       c.indicators.data()),
            stmt_, "SQLBindCol");
    }
  }
  if (boundMode_) {
    Check(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0), stmt_, "SQLSetStmtAttr");
    Check(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0), stmt_, "SQLSetStmtAttr");
  }
}

bool OdbcStatement::First() {
  if (!executed_) ThrowOwnError("24000", "Die Abfrage ist nicht geoeffnet");
  if (rowsRead_) Execute();
  return Next();
}

bool OdbcStatement::Next() {
  if (!executed_) ThrowOwnError("24000", "Die Abfrage ist nicht geoeffnet");
  rowsRead_ = true;
  if (hasRow_ && boundMode_ && position_ + 1 < rowsFetched_) {
    ++position_;
  } else {
    hasRow_ = false;
    if (endReached_) return false;
    const bool fetched = boundMode_ ? FetchBlock() : LoadSingleRow();
    if (!fetched) {
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
    // value is read; the records go with a row's error.
    blockRecords_ = ReadDiagnostics(SQL_HANDLE_STMT, stmt_.get());
  } else {
    Check(ret, stmt_, "SQLFetch");
  }
  if (rowsFetched_ == kNotReported) {
    // A successful single-row fetch delivered its row; for a block the count
    // is needed.
    if (rowsetSize_ > 1) ThrowOwnError("HY000", "Der Treiber meldet die Zahl der gelesenen Zeilen nicht");
    rowsFetched_ = 1;
  }
  rowsFetched_ = std::min(rowsFetched_, rowsetSize_);
  return rowsFetched_ > 0;
}

bool OdbcStatement::LoadSingleRow() {
  const SQLRETURN ret = SQLFetch(stmt_.get());
  if (ret == SQL_NO_DATA) return false;
  Check(ret, stmt_, "SQLFetch");
  const uint64_t serial = rowSerial_ + 1;
  for (size_t i = 0; i < columns_.size(); ++i) {
    BoundColumn& c = columns_[i];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    bool isNull = false;
    if (c.kind == ValueKind::Text || c.kind == ValueKind::Binary) {
      isNull = !ReadWhole(c, number, c.kind == ValueKind::Text, false);
    } else if (c.binding == Binding::PlainText) {
      SQLLEN indicator = 0;
      Check(SQLGetData(stmt_.get(), number, SQL_C_CHAR, c.data.data(), c.elementBytes, &indicator), stmt_,
            "SQLGetData");
      isNull = indicator == SQL_NULL_DATA;
      if (isNull) c.value.kind = ValueKind::Null;
      if (!isNull) {
        PlainTextValue(c.kind, std::string_view(reinterpret_cast<const char*>(c.data.data()),
                                                static_cast<size_t>(Received(indicator, ValueRoom(c)))),
                       c.value);
      }
      c.valueRow = serial;
      continue;
    } else {
      SQLLEN indicator = 0;
      Check(SQLGetData(stmt_.get(), number, c.cType, c.data.data(), c.elementBytes, &indicator), stmt_, "SQLGetData");
      isNull = indicator == SQL_NULL_DATA;
      if (!isNull) FillFixedValue(c.kind, c.cType, c.data.data(), c.value);
    }
    c.value.kind = isNull ? ValueKind::Null : c.kind;
    c.valueRow = serial;
  }
  return true;
}

bool OdbcStatement::ReadWhole(BoundColumn& c, SQLUSMALLINT columnNumber, bool text, bool longerThanBound) {
  // The SQLite driver keeps text as UTF-8 and has no wide entry points: its
  // own bytes spare the driver manager's conversion of every piece.
  const bool utf8 = text && connection_.KeepsValuesAsText();
  const SQLSMALLINT cType = utf8 ? SQL_C_CHAR : text ? SQL_C_WCHAR : SQL_C_BINARY;
  // A text piece keeps room for its terminator.
  const size_t terminator = utf8 ? 1 : text ? sizeof(char16_t) : 0;
  // The pieces land one after the other in one buffer. Each call gets all
  // that the driver says is left, and at least as much as was read so far:
  // drivers that convert the value from its start on every call (the SQLite
  // and MariaDB drivers) then take few calls and linear time.
  size_t received = 0;
  size_t pieceBytes = kChunkChars * sizeof(char16_t);
  c.value.bytes.clear();
  for (bool first = true;; first = false) {
    const size_t bufferBytes = received + pieceBytes;
    if (chunk_.size() * sizeof(char16_t) < bufferBytes) chunk_.resize((bufferBytes + 1) / sizeof(char16_t));
    char* piece = reinterpret_cast<char*>(chunk_.data()) + received;
    SQLLEN indicator = 0;
    const SQLRETURN ret =
        SQLGetData(stmt_.get(), columnNumber, cType, piece, static_cast<SQLLEN>(pieceBytes), &indicator);
    if (ret == SQL_NO_DATA && first && longerThanBound) {
      // The bound buffer holds a longer value: nothing here is another
      // row's value or a lost one, never a valid empty value.
      ThrowOwnError("HY000", "Der Treiber liefert den langen Wert der Spalte " + std::to_string(columnNumber) +
                            " nicht (SQLGetData ohne Daten)");
    }
    if (ret == SQL_NO_DATA) break;
    Check(ret, stmt_, "SQLGetData");
    if (indicator == SQL_NULL_DATA) return false;
    const SQLLEN room = static_cast<SQLLEN>(pieceBytes - terminator);
    const auto bytes = static_cast<size_t>(Received(indicator, room));
    received += bytes;
    if (ret == SQL_SUCCESS || bytes == 0) break;
    size_t left = 0;
    if (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) > bytes) {
      left = static_cast<size_t>(indicator) - bytes;
    }
    pieceBytes = std::max(left, received) + terminator;
  }
  if (utf8) {
    AppendUtf8AsCp1252(std::string_view(reinterpret_cast<const char*>(chunk_.data()), received), c.value.bytes);
  } else if (text) {
    AppendUtf16AsCp1252(std::u16string_view(chunk_.data(), received / sizeof(char16_t)), c.value.bytes);
  } else {
    c.value.bytes.assign(reinterpret_cast<const char*>(chunk_.data()), received);
  }
  // A long value's buffer is not kept for the next row.
  if (chunk_.size() > kChunkChars * 16) std::vector<char16_t>().swap(chunk_);
  return true;
}

const ColumnValue& OdbcStatement::Value(int index) {
  if (index < 0 || static_cast<size_t>(index) >= columns_.size()) {
    ThrowOwnError("07009", "Spaltenindex " + std::to_string(index) + " ausserhalb der Ergebnisspalten (0 bis " +
                          std::to_string(static_cast<long>(columns_.size()) - 1) + ")");
  }
  if (!hasRow_) ThrowOwnError("24000", "Kein aktueller Datensatz");
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
  const auto columnNumber = static_cast<SQLUSMALLINT>(index + 1);
  if (OutgrowsBuffer(c, indicator)) {
    if (c.binding == Binding::NumberText) {
      ReadConverted(c, columnNumber);
      return;
    }
    // Read whole by SQLGetData; a typed value comes as its text.
    PositionOnRow();
    const bool typed = c.binding == Binding::TypedText;
    const bool read = ReadWhole(c, columnNumber, typed || c.kind == ValueKind::Text, true);
    c.value.kind = !read ? ValueKind::Null : typed ? ValueKind::Text : c.kind;
    return;
  }
  const BoundElement element = ElementOf(c, position_, indicator);
  if (!BuildFromElement(c, element.data, element.bytes, c.value)) ReadConverted(c, columnNumber);
}

// What a row of a fetch block needs of the driver beyond its buffer (a long
// value, a number the driver converts) is read by Value on the fetching
// thread; every other value is copied as it lies.
bool OdbcStatement::Capture(int index, CapturedValue& out) {
  if (!boundMode_ || !hasRow_ || index < 0 || static_cast<size_t>(index) >= columns_.size()) return false;
  const BoundColumn& c = columns_[static_cast<size_t>(index)];
  if (c.valueRow == rowSerial_ || c.binding == Binding::NumberText) return false;
  const SQLLEN indicator = c.indicators[position_];
  out.index = index;
  out.null = indicator == SQL_NULL_DATA;
  if (out.null) return true;
  if (OutgrowsBuffer(c, indicator)) return false;
  const BoundElement element = ElementOf(c, position_, indicator);
  if (c.binding == Binding::WideText) {
    out.wide.assign(static_cast<const char16_t*>(element.data), element.bytes / sizeof(char16_t));
  } else {
    out.element.assign(static_cast<const char*>(element.data), element.bytes);
  }
  return true;
}

void OdbcStatement::BuildCaptured(const CapturedValue& captured, ColumnValue& out) const {
  const BoundColumn& c = columns_[static_cast<size_t>(captured.index)];
  if (captured.null) {
    out.kind = ValueKind::Null;
    out.bytes.clear();
  } else if (c.binding == Binding::WideText) {
    BuildFromElement(c, captured.wide.data(), captured.wide.size() * sizeof(char16_t), out);
  } else {
    BuildFromElement(c, captured.element.data(), captured.element.size(), out);
  }
}

void OdbcStatement::ReadConverted(BoundColumn& c, SQLUSMALLINT columnNumber) {
  PositionOnRow();
  unsigned char element[sizeof(SQLDOUBLE) > sizeof(SQLBIGINT) ? sizeof(SQLDOUBLE) : sizeof(SQLBIGINT)] = {};
  SQLLEN indicator = 0;
  Check(SQLGetData(stmt_.get(), columnNumber, c.cType, element, sizeof element, &indicator), stmt_, "SQLGetData");
  if (indicator == SQL_NULL_DATA) {
    c.value.kind = ValueKind::Null;
    return;
  }
  FillFixedValue(c.kind, c.cType, element, c.value);
}

void OdbcStatement::PositionOnRow() {
  if (rowsetSize_ == 1) return;
  Check(SQLSetPos(stmt_.get(), static_cast<SQLSETPOSIROW>(position_ + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), stmt_,
        "SQLSetPos");
}

}  // namespace qj
