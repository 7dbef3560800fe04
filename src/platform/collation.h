#pragma once
// The locale's case-insensitive collation of whole lines, through an ICU
// collator at secondary strength (letter case ignored, accents not).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace qj {

class Collation {
 public:
  // Opens the collator of an ICU locale name; "root" (the C locale) gives the
  // root collation. Throws std::runtime_error naming the locale when ICU
  // cannot open it.
  explicit Collation(const std::string& locale);
  ~Collation();
  Collation(const Collation&) = delete;
  Collation& operator=(const Collation&) = delete;

  // Negative, zero or positive as a sorts before, equal to or after b.
  int Compare(std::u16string_view a, std::u16string_view b) const;

  // Appends the sort key of text, with its terminating 0 byte, to keys.
  // Two keys compare by memcmp exactly as their texts compare by Compare.
  void AppendSortKey(std::u16string_view text, std::vector<uint8_t>& keys) const;

  // The ICU collator itself, for the Windows-1252 weight table.
  const UCollator* Icu() const { return collator_.get(); }

 private:
  struct Closer {
    void operator()(UCollator* collator) const;
  };
  std::unique_ptr<UCollator, Closer> collator_;
};

}  // namespace qj
