#pragma once
// The user's locale: on Linux from the POSIX locale environment, as a name
// for ICU; on Windows the user's locale of the system.

#include <string>

namespace qj {

// The locale categories the tool formats or sorts by.
enum class LocaleCategory { Numeric, Time, Collate };

// The environment variable of a category: "LC_NUMERIC", "LC_TIME", "LC_COLLATE".
const char* LocaleCategoryVariable(LocaleCategory category);

// The ICU locale name for a POSIX locale name: the ".codeset" and "@modifier"
// parts are dropped ("de_DE.UTF-8@euro" gives "de_DE"); the empty name, "C",
// "POSIX" and every "C.<codeset>" give "root". glibc modifiers such as
// "@euro" are no ICU keywords, so they are not handed on.
std::string IcuLocaleName(const std::string& posixName);

// Linux: the first non-empty of LC_ALL, the category's own variable and LANG,
// as an ICU locale name (see IcuLocaleName). Windows: the user's locale name
// ("de-DE") for every category.
std::string LocaleForCategory(LocaleCategory category);

}  // namespace qj
