// Fuzzes the placeholder replacement. Where the value does not hold its own
// placeholder, the result must be exactly that of the plain rule (replace the
// leftmost occurrence, search again from the start); otherwise the
// replacement must end, with every occurrence of the original text replaced.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "querydef/placeholder.h"

namespace {

// The plain rule; gives up (no value) after a bound on the rounds or once the
// text has grown far beyond its start (a value that keeps forming new
// placeholders with its surroundings).
std::optional<std::string> Reference(std::string text, std::string_view placeholder, std::string_view value,
                                     bool& replaced) {
  replaced = false;
  const size_t rounds = 4 * text.size() + 16;
  const size_t growth = 8 * text.size() + 1024;
  for (size_t round = 0; round < rounds && text.size() <= growth; ++round) {
    const size_t at = text.find(placeholder);
    if (at == std::string::npos) return text;
    text.replace(at, placeholder.size(), value);
    replaced = true;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view placeholder = (data[0] & 1) != 0 ? qj::kCompanyPlaceholder : qj::kTerminalPlaceholder;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  // The input holds the value and the text, split at the first NUL (or the
  // first 8 bytes as the value).
  size_t cut = rest.find('\0');
  if (cut == std::string_view::npos) cut = rest.size() < 8 ? rest.size() : 8;
  const std::string_view value = rest.substr(0, cut);
  const std::string_view original = rest.substr(cut < rest.size() ? cut + 1 : cut);

  std::string text(original);
  const bool replaced = qj::ReplacePlaceholder(text, placeholder, value);
  if (replaced != (original.find(placeholder) != std::string_view::npos)) std::abort();

  if (value.find(placeholder) == std::string_view::npos) {
    bool referenceReplaced = false;
    const auto expected = Reference(std::string(original), placeholder, value, referenceReplaced);
    if (expected && *expected != text) std::abort();
  } else if (!replaced && text != original) {
    std::abort();
  }
  return 0;
}
