#include "platform/locale_env.h"

#include <cstdlib>

namespace qj {

namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : nullptr;
}

}  // namespace

const char* LocaleCategoryVariable(LocaleCategory category) {
  switch (category) {
    case LocaleCategory::Numeric:
      return "LC_NUMERIC";
    case LocaleCategory::Time:
      return "LC_TIME";
    case LocaleCategory::Collate:
      return "LC_COLLATE";
  }
  return "LC_ALL";
}

std::string IcuLocaleName(const std::string& posixName) {
  const size_t end = posixName.find_first_of(".@");
  const std::string base = posixName.substr(0, end);
  if (base.empty() || base == "C" || base == "POSIX") return "root";
  return base;
}

std::string LocaleForCategory(LocaleCategory category) {
  const char* value = NonEmptyEnv("LC_ALL");
  if (value == nullptr) value = NonEmptyEnv(LocaleCategoryVariable(category));
  if (value == nullptr) value = NonEmptyEnv("LANG");
  return IcuLocaleName(value != nullptr ? value : "");
}

}  // namespace qj
