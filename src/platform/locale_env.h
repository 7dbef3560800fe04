#pragma once
// The user's locale: on Linux from the POSIX locale environment, as a name
// for ICU; on Windows the user's locale of the system.

#include <string>
#include <string_view>
#include <vector>

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

// The locale of a category and where it came from, for the trace.
struct LocaleChoice {
  std::string Name;    // for ICU ("de_DE", "root"); on Windows a locale name ("de-DE")
  std::string Origin;  // "LANG", "LOCALE in <file>", "/etc/default/locale LANG", ...
};

// Fixes the locale of every category for the rest of the process ahead of
// everything else (a download's own locale); origin says where it was
// written. An empty name lifts it again.
void FixLocale(const std::string& posixName, const std::string& origin);

// The locale a download's LOCALE setting fixed, or nullptr.
const LocaleChoice* FixedLocale();

// The locale the environment names for a category variable ("LC_CTYPE",
// "LC_NUMERIC", ...): the first non-empty of LC_ALL, that variable and LANG,
// or nullptr. `variable` receives the name of the variable that answered.
const char* EnvironmentLocale(const char* categoryVariable, const char** variable = nullptr);

// The locale a system configuration file in shell form (/etc/default/locale)
// names for a category: the value of LC_ALL, else of the category's
// variable, else of LANG, as a POSIX name with its quotes removed; the last
// assignment of a variable counts. Empty when it names none. `variable`
// receives the name of the variable that answered.
std::string SystemLocaleFromText(std::string_view text, LocaleCategory category, std::string* variable = nullptr);

// The first of the files that names a locale for the category; an empty
// name when none does (or none can be read).
LocaleChoice SystemLocale(LocaleCategory category, const std::vector<std::string>& files);

// Linux: the fixed locale; else the first non-empty of LC_ALL, the
// category's own variable and LANG; else the locale the system is
// configured with (/etc/default/locale, /etc/locale.conf); else the root
// locale; as an ICU locale name (see IcuLocaleName). Windows: the fixed
// locale, else the user's locale name ("de-DE") for every category.
LocaleChoice LocaleChoiceFor(LocaleCategory category);

// The name of LocaleChoiceFor.
std::string LocaleForCategory(LocaleCategory category);

// The locale of every category with its origin on one line: "de_DE (LANG)"
// when all three agree, else each by its purpose.
std::string LocaleSummary();

}  // namespace qj
