#pragma once
// Text conversions of the Windows platform files: file names between the
// ANSI code page of the narrow C runtime calls and the wide system calls,
// and the ASCII locale names of the tool.

#include <string>
#include <string_view>

namespace qj {

// A file name as the narrow C runtime calls take it (ANSI code page), in UTF-16.
std::wstring AnsiToWide(std::string_view name);

// A UTF-16 file name in the ANSI code page. Throws std::runtime_error naming
// what when a character has no exact form there: an approximate name would
// name another file.
std::string WideToAnsi(std::wstring_view name, const char* what);

// Locale names ("de-DE") are ASCII.
std::wstring AsciiToWide(std::string_view text);
std::string WideToAscii(std::wstring_view text);

}  // namespace qj
