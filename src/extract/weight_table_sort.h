#pragma once
// The output sort through the Windows-1252 weight table (collation_table.h)
// for long lists: each line gets a key of its first 28 primary weights,
// computed once; the quicksort compares keys and only goes to the lines
// when two keys tie. The order is exactly that of the sort through the
// collator's own sort keys: the same quicksort over comparisons with the
// same results.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extract/line_list.h"
#include "platform/collation.h"

namespace qj {

class CollationTable;

// From this many lines on, building the weight table (some 240 million
// instructions with its check against the collator) costs less than the
// collator's sort keys, which take some 21,000 instructions a line more than
// the table's prefixes.
constexpr size_t kWeightTableLines = 12000;

// The sort of a list through a weight table, in two steps: the entries of
// the lines (their key prefixes) are added in list order, in as many pieces
// as the caller likes and on whichever thread it likes; Sort then orders
// the list by them.
class WeightTableSort {
 public:
  // The sort by the collation's weight table; nullptr when it has none.
  static std::unique_ptr<WeightTableSort> For(const Collation& collation);
  ~WeightTableSort();
  WeightTableSort(const WeightTableSort&) = delete;
  WeightTableSort& operator=(const WeightTableSort&) = delete;

  // Adds the entries of the next lines of the list. False, with nothing
  // added, when the list grows beyond what an entry can hold (4 G lines):
  // such a list sorts by the collator's keys.
  bool Add(const LineList::Ref* lines, size_t count);
  // Adds the entries of all lines at once, half of them on a second thread.
  bool AddOnTwoCores(const std::vector<LineList::Ref>& lines);

  // Lines whose entries are added.
  size_t size() const;

  // Sorts the lines; the entries must be those of exactly these lines, in
  // list order. The entries' memory is given back before it returns.
  void Sort(LineList& lines);

 private:
  struct Entries;
  explicit WeightTableSort(std::unique_ptr<CollationTable> table);

  std::unique_ptr<CollationTable> table_;
  std::unique_ptr<Entries> entries_;
};

// Sorts the lines through the weight table of the collation. False, with
// the lines untouched, when the collation has no weight table.
bool SortByWeightTable(LineList& lines, const Collation& collation);

}  // namespace qj
