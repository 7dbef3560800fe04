#include "platform/collation_table.h"

#include <algorithm>
#include <cstring>

namespace qj {

class CollationTable::Cursor {
 public:
  Cursor(const CollationTable& table, int level, std::string_view s) : table_(table), level_(level), s_(s) {}

  // The next weight, or 0 after the last one.
  uint8_t Next() {
    while (k_ == piece_->count) {
      if (i_ == s_.size()) return 0;
      piece_ = &table_.Piece(level_, s_, i_);
      k_ = 0;
    }
    return piece_->rank[k_++];
  }

 private:
  static constexpr Weights kNone{};
  const CollationTable& table_;
  const int level_;
  const std::string_view s_;
  size_t i_ = 0;
  const Weights* piece_ = &kNone;
  size_t k_ = 0;
};

const CollationTable::Weights& CollationTable::Piece(int level, std::string_view s, size_t& i) const {
  const auto b = static_cast<unsigned char>(s[i]);
  if (pairFirst_[b] && i + 1 < s.size()) {
    const auto next = static_cast<uint8_t>(s[i + 1]);
    for (const Pair& pair : pairs_) {
      if (pair.first == b && pair.second == next) {
        i += 2;
        return pair.level[level];
      }
    }
  }
  ++i;
  return single_[level][b];
}

int CollationTable::CompareLevel(int level, std::string_view a, std::string_view b) const {
  Cursor ca(*this, level, a);
  Cursor cb(*this, level, b);
  for (;;) {
    const uint8_t wa = ca.Next();
    const uint8_t wb = cb.Next();
    if (wa != wb) return wa < wb ? -1 : 1;
    if (wa == 0) return 0;
  }
}

int CollationTable::Compare(std::string_view a, std::string_view b) const {
  // Equal leading bytes give equal weights on both levels, as long as the
  // cut does not fall inside a contraction: a byte that may start one always
  // starts a piece, so the cut moves before it.
  const size_t common = std::min(a.size(), b.size());
  size_t same = 0;
  while (same + 8 <= common) {
    uint64_t wa, wb;
    std::memcpy(&wa, a.data() + same, 8);
    std::memcpy(&wb, b.data() + same, 8);
    if (wa != wb) break;
    same += 8;
  }
  while (same < common && a[same] == b[same]) ++same;
  if (same > 0 && pairFirst_[static_cast<unsigned char>(a[same - 1])]) --same;
  a.remove_prefix(same);
  b.remove_prefix(same);
  const int primary = CompareLevel(0, a, b);
  return primary != 0 ? primary : CompareLevel(1, a, b);
}

void CollationTable::PrimaryPrefix(std::string_view line, uint8_t* out, size_t n) const {
  size_t written = 0;
  size_t i = 0;
  while (written < n && i < line.size()) {
    const uint8_t plain = plainPrimary_[static_cast<unsigned char>(line[i])];
    if (plain != 0) {  // most bytes: one weight of their own
      out[written++] = plain;
      ++i;
      continue;
    }
    const Weights& piece = Piece(0, line, i);
    for (size_t k = 0; k < piece.count && written < n; ++k) out[written++] = piece.rank[k];
  }
  std::memset(out + written, 0, n - written);
}

}  // namespace qj
