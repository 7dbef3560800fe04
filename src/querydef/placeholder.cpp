#include "querydef/placeholder.h"

#include <limits>
#include <optional>
#include <vector>

namespace qj {

namespace {

// Every occurrence replaced once, left to right; the inserted values are not
// searched again.
std::string ReplaceOnce(std::string_view text, std::string_view placeholder, std::string_view value) {
  std::string result;
  size_t from = 0;
  for (size_t at = text.find(placeholder); at != std::string_view::npos; at = text.find(placeholder, from)) {
    result.append(text.substr(from, at - from));
    result.append(value);
    from = at + placeholder.size();
  }
  result.append(text.substr(from));
  return result;
}

// The replacement that searches again from the start of the changed text
// after every replacement. The text before a found occurrence holds no
// occurrence, and a new one can only begin in its last characters, so the
// text is streamed once into the result: whenever the result ends with the
// placeholder, the placeholder is dropped and the value is streamed next,
// ahead of the rest. That finds exactly the occurrences the restarting search
// finds, in the same order.
//
// Some values keep forming new placeholders from their own characters and
// their surroundings forever. The work is bounded; beyond the bound there is
// no result.
std::optional<std::string> ReplaceRestarting(std::string_view text, std::string_view placeholder,
                                             std::string_view value) {
  // Room for every occurrence of the text replaced several times over.
  const size_t occurrencesBound = text.size() / placeholder.size() + 1;
  const size_t limit = std::numeric_limits<size_t>::max() / 8;
  size_t budget = limit;
  if (value.size() == 0 || occurrencesBound <= (limit - text.size()) / value.size()) {
    budget = 4 * (text.size() + occurrencesBound * value.size()) + (size_t{1} << 22);
  }

  std::string result;
  result.reserve(text.size());
  size_t textPos = 0;
  // Read positions in the values still being streamed, innermost last.
  std::vector<size_t> valuePos;
  const char last = placeholder.back();

  for (;;) {
    while (!valuePos.empty() && valuePos.back() == value.size()) valuePos.pop_back();
    char c;
    if (!valuePos.empty()) {
      c = value[valuePos.back()++];
    } else if (textPos < text.size()) {
      c = text[textPos++];
    } else {
      return result;
    }
    if (budget-- == 0) return std::nullopt;
    result.push_back(c);
    if (c == last && result.size() >= placeholder.size() &&
        result.compare(result.size() - placeholder.size(), placeholder.size(), placeholder) == 0) {
      result.resize(result.size() - placeholder.size());
      while (!valuePos.empty() && valuePos.back() == value.size()) valuePos.pop_back();
      valuePos.push_back(0);
    }
  }
}

}  // namespace

bool ReplacePlaceholder(std::string& text, std::string_view placeholder, std::string_view value) {
  if (placeholder.empty() || text.find(placeholder) == std::string::npos) return false;

  // A value that holds its own placeholder would be replaced without end.
  if (value.find(placeholder) != std::string_view::npos) {
    text = ReplaceOnce(text, placeholder, value);
    return true;
  }
  std::optional<std::string> restarted = ReplaceRestarting(text, placeholder, value);
  text = restarted ? std::move(*restarted) : ReplaceOnce(text, placeholder, value);
  return true;
}

}  // namespace qj
