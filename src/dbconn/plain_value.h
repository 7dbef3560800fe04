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

}  // namespace qj
