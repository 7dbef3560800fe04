#include "platform/locale_env.h"

namespace qj {

LocaleChoice LocaleChoiceFor(LocaleCategory category) {
  if (const LocaleChoice* fixed = FixedLocale()) return LocaleChoice{IcuLocaleName(fixed->Name), fixed->Origin};
  const char* variable = nullptr;
  if (const char* value = EnvironmentLocale(LocaleCategoryVariable(category), &variable)) {
    return LocaleChoice{IcuLocaleName(value), variable};
  }
  // A batch job (cron) runs without a locale in its environment: the locale
  // the system is configured with counts before the root locale.
  LocaleChoice system = SystemLocale(category, {"/etc/default/locale", "/etc/locale.conf"});
  if (!system.Name.empty()) return LocaleChoice{IcuLocaleName(system.Name), system.Origin};
  return LocaleChoice{"root", "keine Angabe"};
}

}  // namespace qj
