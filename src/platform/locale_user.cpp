#include "platform/locale_env.h"

#include <cstdlib>

namespace qj {

namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : nullptr;
}

}  // namespace

std::string LocaleForCategory(LocaleCategory category) {
  const char* value = NonEmptyEnv("LC_ALL");
  if (value == nullptr) value = NonEmptyEnv(LocaleCategoryVariable(category));
  if (value == nullptr) value = NonEmptyEnv("LANG");
  return IcuLocaleName(value != nullptr ? value : "");
}

}  // namespace qj
