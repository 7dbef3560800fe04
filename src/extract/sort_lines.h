#pragma once
// Sorting the output lines by the locale's collation: one sort key per line,
// computed once into one buffer, and the tool's quicksort over an index
// array, the pivot following its line when it is swapped.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "extract/line_list.h"
#include "platform/collation.h"

namespace qj {

// The sort keys of a list of Windows-1252 lines, back to back in one arena.
class LineSortKeys {
 public:
  LineSortKeys(const LineList& lines, const Collation& collation);

  // Negative, zero or positive as line a sorts before, equal to or after line b.
  int Compare(size_t a, size_t b) const {
    const size_t lengthA = offsets_[a + 1] - offsets_[a];
    const size_t lengthB = offsets_[b + 1] - offsets_[b];
    // Keys end in their only 0 byte, so a shorter key never matches a longer
    // one over the common length; equal keys have equal lengths.
    return std::memcmp(keys_.data() + offsets_[a], keys_.data() + offsets_[b], std::min(lengthA, lengthB));
  }

 private:
  std::vector<uint8_t> keys_;
  std::vector<size_t> offsets_;  // line i's key is [offsets_[i], offsets_[i + 1])
};

// One partition step of the quicksort on the range lo..hi of order, with
// compare(x, y) on the entries of order (negative, zero, positive): the
// pivot is the entry at the middle index and follows its entry when that is
// swapped. i and j end where the steps leave them; lo..j and i..hi remain.
template <typename Order, typename Compare>
void PartitionOrder(Order& order, ptrdiff_t lo, ptrdiff_t hi, const Compare& compare, ptrdiff_t& i, ptrdiff_t& j) {
  i = lo;
  j = hi;
  ptrdiff_t p = lo + (hi - lo) / 2;
  do {
    while (compare(order[static_cast<size_t>(i)], order[static_cast<size_t>(p)]) < 0) ++i;
    while (compare(order[static_cast<size_t>(j)], order[static_cast<size_t>(p)]) > 0) --j;
    if (i <= j) {
      std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(j)]);
      if (p == i) {
        p = j;
      } else if (p == j) {
        p = i;
      }
      ++i;
      --j;
    }
  } while (i <= j);
}

// The quicksort over the range lo..hi of order. Lines that compare equal keep
// the order these steps give them. The two parts left by a partition are
// disjoint and sorted independently, so taking the smaller one first changes
// no result; it only bounds the recursion depth by log2 of the line count.
template <typename Order, typename Compare>
void QuickSortOrder(Order& order, ptrdiff_t lo, ptrdiff_t hi, const Compare& compare) {
  while (lo < hi) {
    ptrdiff_t i;
    ptrdiff_t j;
    PartitionOrder(order, lo, hi, compare, i, j);
    if (j - lo < hi - i) {
      if (lo < j) QuickSortOrder(order, lo, j, compare);
      lo = i;
    } else {
      if (i < hi) QuickSortOrder(order, i, hi, compare);
      hi = j;
    }
  }
}

// Which sort keys SortLines uses; both give exactly the same order.
// Automatic takes the Windows-1252 weight table for long lists when the
// collator allows one (weight_table_sort.h), the collator's keys otherwise.
enum class SortKeyKind { Automatic, CollatorKeys, WeightTable };

// Sorts the lines by the collation; keys computed beside
// (LineList::ComputeSortKeysBeside, by this same collation) are used unless
// kind asks for the collator's keys.
void SortLines(LineList& lines, const Collation& collation,
               SortKeyKind kind = SortKeyKind::Automatic);

}  // namespace qj
