#pragma once
// Windows-1252, the code page of every text of the tool, to and from UTF-16 at
// the boundaries to the database driver and to ICU.

#include <string>
#include <string_view>

namespace qj {

// Every Windows-1252 byte has a character, so this never fails.
std::u16string Cp1252ToUtf16(std::string_view bytes);
void Cp1252ToUtf16(std::string_view bytes, std::u16string& out);

// A character that Windows-1252 cannot hold becomes "?".
void AppendUtf16AsCp1252(std::u16string_view text, std::string& out);
inline std::string Utf16ToCp1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf16AsCp1252(text, out);
  return out;
}

// UTF-8 (driver messages, ICU formatting results) to Windows-1252, "?" for what it cannot hold.
void AppendUtf8AsCp1252(std::string_view text, std::string& out);
inline std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8AsCp1252(text, out);
  return out;
}

// Windows-1252 to UTF-8 (console lines under a UTF-8 locale); never fails.
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace qj
