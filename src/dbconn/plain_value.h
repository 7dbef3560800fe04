#pragma once
// Reading a typed value from the plain text a driver gives for it: integers
// as digits, floating values as a decimal number, dates "yyyy-mm-dd", times
// "hh:mm:ss[.fraction]" and timestamps "yyyy-mm-dd hh:mm[:ss[.fraction]]". Anything else
// is left to the driver's own conversion: a text is only read when its
// meaning is beyond doubt.

#include <string_view>

#include "dbconn/column_value.h"

namespace qj {

// Fills the value's fields for its kind (Integer, Float, Date, Time or
// Timestamp) from the text. False, with the value unspecified, when the
// text is not in the plain form of that kind or out of range.
bool ParsePlainValue(ValueKind kind, std::string_view text, ColumnValue& value);

// An integer, or else a floating value, from its plain text; sets the
// value's kind. False when the text is neither.
bool ParsePlainNumber(std::string_view text, ColumnValue& value);

// As ParsePlainNumber, but only for a text as SQLite writes its own numbers:
// integers without leading zeros, reals whose fraction ends in a digit other
// than 0 (save ".0") and an exponent "e+dd" or "e-dd". A text such as '0100'
// or '1.50' is no value SQLite would write for a number, so it stays text.
bool ParseSqliteNumber(std::string_view text, ColumnValue& value);

}  // namespace qj
