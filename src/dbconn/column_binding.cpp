#include "dbconn/column_binding.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace qj {

namespace {

// The double nearest to the shortest decimal that reads back as f (7 to 9
// significant digits): 0.1f gives 0.1, not 0.100000001490116, and 16777216f
// stays 16777216.
double SinglePrecisionValue(float f) {
  if (!std::isfinite(f)) return f;
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, f);
  double d = f;
  std::from_chars(text, r.ptr, d);
  return d;
}

SQLLEN RoundUp8(SQLLEN bytes) { return (bytes + 7) / 8 * 8; }

// Bytes for the text of a typed value bound as text: every plain form fits.
constexpr SQLLEN kPlainTextBytes = 64;

void SetFixed(BoundColumn& c, ValueKind kind, SQLSMALLINT cType, SQLLEN bytes) {
  c.kind = kind;
  c.binding = Binding::Fixed;
  c.cType = cType;
  c.elementBytes = bytes;
}

void SetPlainText(BoundColumn& c) {
  c.binding = Binding::PlainText;
  c.cType = SQL_C_CHAR;
  c.elementBytes = kPlainTextBytes;
}

// The C type stays for the driver's conversion of a value not in plain form.
void SetNumberText(BoundColumn& c) {
  c.binding = Binding::NumberText;
  c.elementBytes = kPlainTextBytes;
}

}  // namespace

// For fixed-length C types the driver steps through the rows by the size of
// the C type, so that size is exact; text and binary buffers step by their
// buffer length.
void ChooseBinding(BoundColumn& c, bool driverText, bool datesAsText, bool numbersAsText) {
  switch (c.sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      SetFixed(c, ValueKind::Integer, c.isUnsigned ? SQL_C_UBIGINT : SQL_C_SBIGINT, sizeof(SQLBIGINT));
      if (!driverText && numbersAsText && !c.isUnsigned) return SetNumberText(c);
      break;
    case SQL_REAL:
      SetFixed(c, ValueKind::Float, SQL_C_FLOAT, sizeof(SQLREAL));
      break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      SetFixed(c, ValueKind::Float, SQL_C_DOUBLE, sizeof(SQLDOUBLE));
      if (!driverText && numbersAsText) return SetNumberText(c);
      break;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      SetFixed(c, ValueKind::Date, SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT));
      if (!driverText && datesAsText) return SetPlainText(c);
      break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      SetFixed(c, ValueKind::Time, SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT));
      if (!driverText) return SetPlainText(c);
      break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      SetFixed(c, ValueKind::Timestamp, SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT));
      if (!driverText && datesAsText) return SetPlainText(c);
      break;
    case SQL_BIT:
      SetFixed(c, ValueKind::Boolean, SQL_C_BIT, 1);
      return;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
      c.kind = ValueKind::Binary;
      c.binding = Binding::Binary;
      c.cType = SQL_C_BINARY;
      const SQLULEN bytes = c.declaredSize > 0 && c.declaredSize < kMaxBoundBytes ? c.declaredSize : kMaxBoundBytes;
      c.elementBytes = RoundUp8(static_cast<SQLLEN>(bytes));
      return;
    }
    default: {  // character data and everything else arrives as text
      c.kind = ValueKind::Text;
      const auto chars = static_cast<SQLLEN>(
          c.declaredSize > 0 && c.declaredSize < kMaxBoundChars ? c.declaredSize : kMaxBoundChars);
      if (driverText) {
        c.binding = Binding::DriverText;
        c.cType = SQL_C_CHAR;
        c.elementBytes = RoundUp8(chars * 3 + 1);  // up to three UTF-8 bytes a character
      } else {
        c.binding = Binding::WideText;
        c.cType = SQL_C_WCHAR;
        c.elementBytes = RoundUp8((chars + 1) * static_cast<SQLLEN>(sizeof(char16_t)));
      }
      return;
    }
  }
  if (driverText) {
    c.binding = Binding::TypedText;
    c.cType = SQL_C_CHAR;
    c.elementBytes = kPlainTextBytes;
  }
}

bool MayOutgrowBuffer(const BoundColumn& c) {
  switch (c.binding) {
    case Binding::WideText:
    case Binding::DriverText:
      return c.declaredSize == 0 || c.declaredSize >= kMaxBoundChars;
    case Binding::Binary:
      return c.declaredSize == 0 || c.declaredSize > kMaxBoundBytes;
    case Binding::TypedText:
    case Binding::NumberText:
      return true;  // a text not in plain form goes to the driver's conversion
    default:
      return false;
  }
}

SQLLEN ValueRoom(const BoundColumn& c) {
  if (c.cType == SQL_C_WCHAR) return c.elementBytes - static_cast<SQLLEN>(sizeof(char16_t));
  return c.cType == SQL_C_CHAR ? c.elementBytes - 1 : c.elementBytes;
}

void FillFixedValue(ValueKind kind, SQLSMALLINT cType, const unsigned char* element, ColumnValue& v) {
  v.isUnsigned = false;
  switch (kind) {
    case ValueKind::Integer:
      if (cType == SQL_C_UBIGINT) {
        SQLUBIGINT n;
        std::memcpy(&n, element, sizeof(n));
        v.isUnsigned = true;
        v.unsignedInteger = n;
        v.integer = static_cast<int64_t>(n);
      } else {
        SQLBIGINT n;
        std::memcpy(&n, element, sizeof(n));
        v.integer = n;
      }
      break;
    case ValueKind::Float:
      if (cType == SQL_C_FLOAT) {
        SQLREAL f;
        std::memcpy(&f, element, sizeof(f));
        v.real = SinglePrecisionValue(f);
      } else {
        std::memcpy(&v.real, element, sizeof(v.real));
      }
      break;
    case ValueKind::Date: {
      SQL_DATE_STRUCT d;
      std::memcpy(&d, element, sizeof(d));
      v.year = d.year;
      v.month = d.month;
      v.day = d.day;
      break;
    }
    case ValueKind::Time: {
      SQL_TIME_STRUCT t;
      std::memcpy(&t, element, sizeof(t));
      v.hour = t.hour;
      v.minute = t.minute;
      v.second = t.second;
      break;
    }
    case ValueKind::Timestamp: {
      SQL_TIMESTAMP_STRUCT ts;
      std::memcpy(&ts, element, sizeof(ts));
      v.year = ts.year;
      v.month = ts.month;
      v.day = ts.day;
      v.hour = ts.hour;
      v.minute = ts.minute;
      v.second = ts.second;
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
