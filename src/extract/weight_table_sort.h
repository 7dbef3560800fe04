#pragma once
// The output sort through the Windows-1252 weight table (collation_table.h)
// for long lists: each line gets a key of its first 32 primary weights,
// computed once; the quicksort compares keys and only goes to the lines
// when two keys tie. The order is exactly that of the sort through the
// collator's own sort keys: the same quicksort over comparisons with the
// same results.

#include <cstddef>
#include <string>
#include <vector>

#include "extract/line_list.h"
#include "platform/collation.h"

namespace qj {

// From this many lines on, building the weight table (some 50 ms with its
// check against the collator) costs less than the collator's sort keys, and
// a second thread pays for itself.
constexpr size_t kWeightTableLines = 50000;

// Sorts the lines through the weight table of the collation. False, with
// the lines untouched, when the collation has no weight table.
bool SortByWeightTable(LineList& lines, const Collation& collation);

}  // namespace qj
