#include "extract/sort_lines.h"

#include <numeric>

#include "extract/weight_table_sort.h"
#include "platform/code_page.h"

namespace qj {

LineSortKeys::LineSortKeys(const LineList& lines, const Collation& collation) {
  offsets_.reserve(lines.size() + 1);
  size_t bytes = 0;
  for (const LineList::Ref& line : lines.Refs()) bytes += line.size;
  keys_.reserve(bytes * 2 + lines.size() * 8);
  std::u16string text;
  offsets_.push_back(0);
  for (const LineList::Ref& line : lines.Refs()) {
    text.clear();
    Cp1252ToUtf16(line.View(), text);
    collation.AppendSortKey(text, keys_);
    offsets_.push_back(keys_.size());
  }
}

void SortLines(LineList& lines, const Collation& collation, SortKeyKind kind) {
  // Keys computed beside are those of the weight table, which orders the
  // lines exactly as the collator's keys do.
  const std::unique_ptr<WeightTableSort> beside = lines.TakeSortKeys();
  if (lines.size() < 2) return;
  if (beside && kind != SortKeyKind::CollatorKeys) {
    beside->Sort(lines);
    return;
  }
  if (kind == SortKeyKind::WeightTable || (kind == SortKeyKind::Automatic && lines.size() >= kWeightTableLines)) {
    if (SortByWeightTable(lines, collation)) return;
  }
  const LineSortKeys keys(lines, collation);
  std::vector<size_t> order(lines.size());
  std::iota(order.begin(), order.end(), size_t{0});
  QuickSortOrder(order, 0, static_cast<ptrdiff_t>(order.size()) - 1,
                 [&keys](size_t a, size_t b) { return keys.Compare(a, b); });
  std::vector<LineList::Ref> sorted;
  sorted.reserve(lines.size());
  for (size_t index : order) sorted.push_back(lines.Refs()[index]);
  lines.Refs().swap(sorted);
}

}  // namespace qj
