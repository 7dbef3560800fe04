#include "platform/locale_env.h"

#include <cstdlib>

namespace qj {

namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : nullptr;
}

}  // namespace

LocaleChoice LocaleChoiceFor(LocaleCategory category) {
  if (const LocaleChoice* fixed = FixedLocale()) return LocaleChoice{IcuLocaleName(fixed->Name), fixed->Origin};
  for (const char* variable : {"LC_ALL", LocaleCategoryVariable(category), "LANG"}) {
    if (const char* value = NonEmptyEnv(variable)) return LocaleChoice{IcuLocaleName(value), variable};
  }
  // A batch job (cron) runs without a locale in its environment: the locale
  // the system is configured with counts before the root locale.
  LocaleChoice system = SystemLocale(category, {"/etc/default/locale", "/etc/locale.conf"});
  if (!system.Name.empty()) return LocaleChoice{IcuLocaleName(system.Name), system.Origin};
  return LocaleChoice{"root", "keine Angabe"};
}

}  // namespace qj
