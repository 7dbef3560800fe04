#include "platform/locale_env.h"

namespace qj {

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

}  // namespace qj
