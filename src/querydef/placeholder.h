#pragma once

#include <string>
#include <string_view>

namespace qj {

inline constexpr std::string_view kTerminalPlaceholder = "$parm01";
inline constexpr std::string_view kCompanyPlaceholder = "$parm02";

// Replaces every occurrence of the placeholder, the leftmost first, searching
// again from the start after each replacement. Returns whether anything was replaced.
bool ReplacePlaceholder(std::string& text, std::string_view placeholder, std::string_view value);

}  // namespace qj
