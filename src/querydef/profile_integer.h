#pragma once
// Integer values of the query definition file (the FLEN keys).

#include <cstdint>
#include <optional>
#include <string_view>

namespace qj {

// Converts a text to a signed 32-bit integer. Leading blanks are skipped; the
// rest must be exactly a decimal number with optional sign inside the 32-bit
// range, or a hexadecimal number after "$", "x", "X", "0x" or "0X" with at most
// eight significant digits, whose 32 bits are taken as signed. Anything else,
// a trailing blank included, gives no value.
std::optional<int32_t> ConvertProfileInteger(std::string_view text);

// The integer read of a value: a text longer than two characters that starts
// with "0x" or "0X" has these two replaced by "$" first; nothing when the
// text does not convert.
std::optional<int32_t> ReadProfileInteger(std::string_view text);

// The integer read of a value, or the default when it does not convert.
int32_t ProfileInteger(std::string_view text, int32_t defaultValue);

}  // namespace qj
