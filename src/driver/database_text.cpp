#include "driver/database_text.h"

#include "platform/code_page.h"
#include "platform/locale_env.h"

namespace qj {

namespace {

// "UTF-8", "utf8", "UTF8" ...: letters and digits of the codeset, folded.
bool IsUtf8Codeset(std::string_view codeset) {
  std::string folded;
  for (char c : codeset) {
    if (c >= 'A' && c <= 'Z') folded.push_back(static_cast<char>(c - 'A' + 'a'));
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) folded.push_back(c);
  }
  return folded == "utf8";
}

}  // namespace

bool ConsoleUsesUtf8() {
  const char* locale = EnvironmentLocale("LC_CTYPE");
  const std::string name = locale != nullptr ? locale : "";
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return false;
  const std::string_view codeset = std::string_view(name).substr(dot + 1);
  return IsUtf8Codeset(codeset.substr(0, codeset.find('@')));
}

std::string DatabaseText(std::string_view cp1252) {
  return ConsoleUsesUtf8() ? Cp1252ToUtf8(cp1252) : std::string(cp1252);
}

}  // namespace qj
