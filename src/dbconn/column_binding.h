#pragma once
// How one result column is fetched: its binding (C type and bytes per row of
// the bound buffer), the rowset's buffers, and the value built from them.

#ifdef _WIN32
#include <windows.h>  // the ODBC headers build on its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <vector>

#include "dbconn/column_value.h"

namespace qj {

// Bound text columns hold at most this many characters per row, binary ones
// this many bytes; longer values are read whole with SQLGetData.
constexpr SQLULEN kMaxBoundChars = 512;
constexpr SQLULEN kMaxBoundBytes = 1024;

enum class Binding {
  WideText,    // text as UTF-16 (SQL_C_WCHAR)
  DriverText,  // text as the driver's own UTF-8 (SQL_C_CHAR)
  TypedText,   // a typed value as the driver's text, parsed here; a text not in plain form stays text
  Fixed,       // a fixed-length C type: integers, floating values, dates, times, booleans
  PlainText,   // a time (and on PostgreSQL a date or timestamp) as the driver's text:
               // a value not in plain form (838:59:59, 0000-00-00) stays that text
  NumberText,  // an integer or floating value as the driver's text, parsed here; one not
               // in plain form (NaN, a long decimal) is the driver's own conversion (cType)
  Binary,      // raw bytes (SQL_C_BINARY)
};

struct BoundColumn {
  SQLSMALLINT sqlType = 0;
  SQLULEN declaredSize = 0;
  bool isUnsigned = false;          // SQL_DESC_UNSIGNED of an integer column
  // DriverText of a column whose type name is no character type (a decimal
  // column or an expression the driver reports as text): a number stays one.
  bool numbersAsStored = false;
  ValueKind kind = ValueKind::Text;
  Binding binding = Binding::WideText;
  SQLSMALLINT cType = SQL_C_WCHAR;  // the C type bound (SQL_C_CHAR for NumberText), or read by SQLGetData
  SQLLEN elementBytes = 0;          // bytes per row in the bound buffer
  std::vector<char16_t> wide;       // WideText: the rowset's buffers
  std::vector<unsigned char> data;  // all other bindings
  std::vector<SQLLEN> indicators;   // one length indicator per row
  ColumnValue value;
  uint64_t valueRow = 0;            // row serial that value was built for
};

// Chooses kind, binding, C type and element size from the column's SQL type
// and declared size. driverText: bind text and typed values as the driver's
// own UTF-8 text (booleans and binary values keep their C types).
// datesAsText: dates and timestamps as PlainText, where the database has
// values the ODBC structs cannot hold. numbersAsText: signed integers and
// double values as NumberText, where the driver's own conversion of its
// text costs more than reading the text here.
void ChooseBinding(BoundColumn& column, bool driverText, bool datesAsText = false, bool numbersAsText = false);

// The C type a column's buffer is bound with.
inline SQLSMALLINT BoundCType(const BoundColumn& column) {
  return column.binding == Binding::NumberText ? SQLSMALLINT{SQL_C_CHAR} : column.cType;
}

// The bytes a bound buffer holds for a value: text keeps room for its
// terminator.
SQLLEN ValueRoom(const BoundColumn& column);

// A buffer's share of a length indicator: the full length is reported for a
// truncated value, so it is clamped to what the buffer holds.
inline bool Truncated(SQLLEN indicator, SQLLEN room) { return indicator == SQL_NO_TOTAL || indicator > room; }
inline SQLLEN Received(SQLLEN indicator, SQLLEN room) {
  if (Truncated(indicator, room)) return room;
  return indicator < 0 ? 0 : indicator;
}

// Whether a value of the column may be longer than its bound buffer and then
// needs SQLGetData.
bool MayOutgrowBuffer(const BoundColumn& column);

// Fills the value's fields for its kind from one element of the C type.
// Single-precision values are taken from their shortest decimal form.
void FillFixedValue(ValueKind kind, SQLSMALLINT cType, const unsigned char* element, ColumnValue& value);

}  // namespace qj
