#include "platform/locale_env.h"

#include <cstdlib>

#include "platform/text_util.h"

namespace qj {

namespace {

LocaleChoice g_fixed;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

}  // namespace

void FixLocale(const std::string& posixName, const std::string& origin) {
  const std::string name(TrimBlanks(posixName));
  g_fixed = name.empty() ? LocaleChoice{} : LocaleChoice{name, origin};
}

const LocaleChoice* FixedLocale() { return g_fixed.Name.empty() ? nullptr : &g_fixed; }

const char* EnvironmentLocale(const char* categoryVariable, const char** variable) {
  for (const char* name : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    if (variable != nullptr) *variable = name;
    return value;
  }
  return nullptr;
}

std::string SystemLocaleFromText(std::string_view text, LocaleCategory category, std::string* variable) {
  const std::string_view wanted[] = {"LC_ALL", LocaleCategoryVariable(category), "LANG"};
  std::string values[3];
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (StartsWith(line, "export ")) line = TrimBlanks(line.substr(7));
    const size_t equals = line.find('=');
    if (line.empty() || line.front() == '#' || equals == std::string_view::npos) continue;
    std::string_view value = line.substr(equals + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    for (size_t i = 0; i < 3; ++i) {
      if (line.substr(0, equals) == wanted[i]) values[i] = std::string(value);
    }
  }
  for (size_t i = 0; i < 3; ++i) {
    if (values[i].empty()) continue;
    if (variable != nullptr) *variable = std::string(wanted[i]);
    return values[i];
  }
  return {};
}

LocaleChoice SystemLocale(LocaleCategory category, const std::vector<std::string>& files) {
  for (const std::string& path : files) {
    const FileBytes file = ReadWholeFile(path);
    if (!file.opened) continue;
    std::string variable;
    std::string name = SystemLocaleFromText(file.bytes, category, &variable);
    if (!name.empty()) return LocaleChoice{std::move(name), path + " " + variable};
  }
  return {};
}

std::string LocaleForCategory(LocaleCategory category) { return LocaleChoiceFor(category).Name; }

std::string LocaleSummary() {
  const LocaleCategory categories[] = {LocaleCategory::Numeric, LocaleCategory::Time, LocaleCategory::Collate};
  const char* purposes[] = {"Zahlen ", "Datum und Zeit ", "Sortierung "};
  std::string each[3];
  for (size_t i = 0; i < 3; ++i) {
    const LocaleChoice choice = LocaleChoiceFor(categories[i]);
    each[i] = choice.Name + " (" + choice.Origin + ")";
  }
  if (each[0] == each[1] && each[1] == each[2]) return each[0];
  return purposes[0] + each[0] + ", " + purposes[1] + each[1] + ", " + purposes[2] + each[2];
}

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
