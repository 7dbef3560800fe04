#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qj {

// Builds RecordLine from the current row by the field definitions.
void FormatRecord();

// Appends one formatted field to RecordLine.
void FormatField(std::string_view value, int32_t length, const std::string& type);

}  // namespace qj
