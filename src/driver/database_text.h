#pragma once
// Database text on the console: statements, engine messages and trace values
// are held as Windows-1252 and written in the character set of the user's
// locale. The tool's own texts are ASCII and need no conversion.

#include <string>
#include <string_view>

namespace qj {

// Whether the locale's character set, from the first non-empty of LC_ALL,
// LC_CTYPE and LANG, is UTF-8. The process's own LC_CTYPE setting is not what
// the terminal shows, so the environment decides.
bool ConsoleUsesUtf8();

// The Windows-1252 text for a console line: UTF-8 under a UTF-8 locale, the
// bytes as they are under any other.
std::string DatabaseText(std::string_view cp1252);

}  // namespace qj
