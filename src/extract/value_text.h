#pragma once
// The text form of a column value, in the user's locale.

#include <string>

#include "dbconn/column_value.h"

namespace qj {

// Appends the text form of the value to out (Windows-1252 bytes).
void AppendValueText(const ColumnValue& value, std::string& out);
std::string ValueText(const ColumnValue& value);

}  // namespace qj
