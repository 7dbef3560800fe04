#pragma once
// The locale's case-insensitive collation of whole lines: on Linux an ICU
// collator at secondary strength (letter case ignored, accents not), on
// Windows the system's collation of the locale with its case ignored.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace qj {

class Collation {
 public:
  // Opens the collator of a locale name (ICU's on Linux, "root" for the C
  // locale; the system's on Windows). Throws std::runtime_error naming the
  // locale when it cannot be opened.
  explicit Collation(const std::string& locale);
  ~Collation();
  Collation(const Collation&) = delete;
  Collation& operator=(const Collation&) = delete;

  // Negative, zero or positive as a sorts before, equal to or after b.
  int Compare(std::u16string_view a, std::u16string_view b) const;

  // Appends the sort key of text, with its terminating 0 byte, to keys.
  // Two keys compare by memcmp exactly as their texts compare by Compare.
  void AppendSortKey(std::u16string_view text, std::vector<uint8_t>& keys) const;

  // The ICU collator itself, for the Windows-1252 weight table; nullptr
  // where the collation is the system's (Windows).
  const UCollator* Collator() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qj
