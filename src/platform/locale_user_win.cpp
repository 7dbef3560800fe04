#include "platform/locale_env.h"

#include <windows.h>

#include <stdexcept>

#include "platform/windows_text.h"

namespace qj {

// Windows keeps one user locale for numbers, dates and sorting alike.
std::string LocaleForCategory(LocaleCategory) {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  const int length = GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  if (length <= 1) throw std::runtime_error("Gebietsschema des Benutzers nicht lesbar");
  return WideToAscii(std::wstring_view(name, static_cast<size_t>(length - 1)));
}

}  // namespace qj
