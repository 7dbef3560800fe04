#include "platform/locale_env.h"

#include <windows.h>

#include <stdexcept>

#include "platform/windows_text.h"

namespace qj {

// Windows keeps one user locale for numbers, dates and sorting alike. A
// download's own locale ("de_DE") becomes the Windows name ("de-DE"); the
// root locale the invariant one (the empty name).
LocaleChoice LocaleChoiceFor(LocaleCategory) {
  if (const LocaleChoice* fixed = FixedLocale()) {
    std::string name = IcuLocaleName(fixed->Name);
    if (name == "root") name.clear();
    for (char& c : name) {
      if (c == '_') c = '-';
    }
    return LocaleChoice{name, fixed->Origin};
  }
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  const int length = GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  if (length <= 1) throw std::runtime_error("Gebietsschema des Benutzers nicht lesbar");
  return LocaleChoice{WideToAscii(std::wstring_view(name, static_cast<size_t>(length - 1))), "Benutzereinstellung"};
}

}  // namespace qj
