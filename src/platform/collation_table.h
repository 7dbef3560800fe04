#pragma once
// The collation weights of the 256 Windows-1252 characters, taken once from
// an ICU collator, so that lines of Windows-1252 bytes can be compared and
// given key prefixes without converting them and without asking ICU per line.
//
// A collator at secondary strength orders two texts by the sequences of the
// primary weights of their characters, then by the sequences of their
// secondary weights. For most collators a Windows-1252 text's sequences are
// simply the concatenation of the weights of its characters, taken one by
// one, or of a few two-character contractions (the root collation weighs
// "l" with a following middle dot together). The table holds those weights
// as small ranks in the collator's order. It is only built for collators
// where that holds (no numeric, French or case-level rule, no script
// reordering, punctuation not ignorable, no longer contractions among these
// characters) and when a check against the collator's own sort keys agrees.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct UCollator;

namespace qj {

class CollationTable {
 public:
  // The most weights of one level a single character may have.
  static constexpr size_t kMaxWeights = 6;

  // The table of a collator, or nullptr when the collator does not order
  // Windows-1252 texts character by character, or when the weights disagree
  // with the collator's own sort keys for any pair of single characters.
  static std::unique_ptr<CollationTable> Build(const UCollator* collator);

  // Negative, zero or positive as line a sorts before, equal to or after
  // line b, exactly as the collator compares their UTF-16 forms.
  int Compare(std::string_view a, std::string_view b) const;

  // Writes the first n primary weights of the line to out, each a byte from
  // 1 upwards, and 0 bytes after the line's last weight. Two lines whose
  // prefixes differ compare as their prefixes do (memcmp).
  void PrimaryPrefix(std::string_view line, uint8_t* out, size_t n) const;

 private:
  struct Weights {
    uint8_t count = 0;
    std::array<uint8_t, kMaxWeights> rank{};
  };
  // Two bytes that the collator weighs together (a contraction such as
  // "l" and a middle dot in the root collation).
  struct Pair {
    uint8_t first = 0;
    uint8_t second = 0;
    Weights level[2];
  };
  class Cursor;

  CollationTable() = default;
  // The weights of the piece of s at i on a level (0 primary, 1 secondary):
  // one byte, or a pair; moves i past the piece.
  const Weights& Piece(int level, std::string_view s, size_t& i) const;
  int CompareLevel(int level, std::string_view a, std::string_view b) const;

  std::array<Weights, 256> single_[2];
  std::vector<Pair> pairs_;
  std::array<bool, 256> pairFirst_{};
  // A byte's primary weight where it is the byte's only one and the byte
  // starts no pair; 0 for every other byte.
  std::array<uint8_t, 256> plainPrimary_{};
};

#ifdef _WIN32
// The Windows collation is the system's, not ICU's: lines are always sorted
// by their own sort keys.
inline std::unique_ptr<CollationTable> CollationTable::Build(const UCollator*) { return nullptr; }
#endif

}  // namespace qj
