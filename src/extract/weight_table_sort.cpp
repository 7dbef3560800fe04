#include "extract/weight_table_sort.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "extract/sort_lines.h"
#include "platform/collation_table.h"
#include "platform/page_block.h"

namespace qj {

namespace {

// A line's place in the sort: its first 28 primary weights, in three
// big-endian words and a fourth half word, so that most comparisons never
// touch the line itself, and its position in the list, through which those
// that do find it. 32 bytes a line: a million entries take 32 MB beside the
// lines themselves.
constexpr size_t kPrefixWords = 3;
constexpr size_t kPrefixBytes = kPrefixWords * 8 + 4;
struct PrefixEntry {
  uint64_t prefix[kPrefixWords];
  uint32_t prefixTail;
  uint32_t index;  // the line's position before the sort: two entries are one line when these match
};
static_assert(sizeof(PrefixEntry) == 32, "an entry is four words");

// The entries, in memory that grows in place: its pages move on growth
// instead of being copied, so growing while lines are added beside never
// holds the old and the new entries at once.
class EntryVector {
 public:
  EntryVector() = default;
  ~EntryVector() { Release(); }
  EntryVector(const EntryVector&) = delete;
  EntryVector& operator=(const EntryVector&) = delete;

  size_t size() const { return size_; }
  PrefixEntry* data() { return data_; }
  PrefixEntry& operator[](size_t i) { return data_[i]; }
  const PrefixEntry& operator[](size_t i) const { return data_[i]; }

  // Entries added by growing are left for the caller to fill. The first
  // growth takes exactly what is asked for, later ones at least double.
  void resize(size_t count) {
    if (count > capacity_) Grow(capacity_ == 0 || count > 2 * capacity_ ? count : 2 * capacity_);
    size_ = count;
  }

  // Gives the memory back.
  void Release() {
    ResizePageBlock(data_, capacity_ * sizeof(PrefixEntry), 0);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  void Grow(size_t capacity) {
    if (capacity > SIZE_MAX / sizeof(PrefixEntry)) throw std::bad_alloc();
    data_ = static_cast<PrefixEntry*>(
        ResizePageBlock(data_, capacity_ * sizeof(PrefixEntry), capacity * sizeof(PrefixEntry)));
    capacity_ = capacity;
  }

  PrefixEntry* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Runs work(begin, end) over 0..count, the first half on a second thread.
template <typename Work>
void OnTwoCores(size_t count, const Work& work) {
  std::thread first;
  size_t split = count / 2;
  try {
    first = std::thread([&work, split] { work(size_t{0}, split); });
  } catch (const std::system_error&) {
    split = 0;  // no second thread to be had: all of it here
  }
  work(split, count);
  if (first.joinable()) first.join();
}

// Parts below this many entries are sorted on the thread at hand; three
// levels of partitions give up to eight parts at the same time.
constexpr ptrdiff_t kParallelGrain = 20000;
constexpr int kParallelLevels = 3;

constexpr uint32_t kMostLines = UINT32_MAX;

template <typename Word>
Word BigEndian(const uint8_t* bytes) {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if constexpr (sizeof(Word) == 8) {
    word = __builtin_bswap64(word);
  } else {
    word = __builtin_bswap32(word);
  }
#elif !defined(__BYTE_ORDER__)
  word = 0;
  for (size_t i = 0; i < sizeof(Word); ++i) word = static_cast<Word>(word << 8) | bytes[i];
#endif
  return word;
}

// The quicksort over the range lo..hi of the entries, on both cores. A
// partition leaves two disjoint parts, and the steps on one part do not
// depend on the other, so the two are sorted at the same time, the lower
// one on a thread of its own, down to a few levels of partitions: the parts
// of one partition are seldom of equal size, and a handful of them keeps
// both cores busy. The order is exactly that of the sort on one thread.
template <typename Compare>
void QuickSortOnTwoCores(EntryVector& entries, ptrdiff_t lo, ptrdiff_t hi, const Compare& compare, int levels) {
  if (levels == 0 || hi - lo < kParallelGrain) {
    QuickSortOrder(entries, lo, hi, compare);
    return;
  }
  ptrdiff_t i;
  ptrdiff_t j;
  PartitionOrder(entries, lo, hi, compare, i, j);
  std::thread lower;
  if (lo < j) {
    try {
      lower = std::thread([&entries, &compare, lo, j, levels] {
        QuickSortOnTwoCores(entries, lo, j, compare, levels - 1);
      });
    } catch (const std::system_error&) {
      QuickSortOrder(entries, lo, j, compare);  // no further thread to be had: one part after the other
    }
  }
  if (i < hi) QuickSortOnTwoCores(entries, i, hi, compare, levels - 1);
  if (lower.joinable()) lower.join();
}

void FillEntry(const CollationTable& weights, const LineList::Ref& line, size_t index, PrefixEntry& e) {
  uint8_t prefix[kPrefixBytes];
  weights.PrimaryPrefix(line.View(), prefix, sizeof prefix);
  for (size_t w = 0; w < kPrefixWords; ++w) e.prefix[w] = BigEndian<uint64_t>(prefix + 8 * w);
  e.prefixTail = BigEndian<uint32_t>(prefix + 8 * kPrefixWords);
  e.index = static_cast<uint32_t>(index);
}

// Whether entries can hold count more lines after the first before.
bool EntriesHold(size_t count, size_t before) { return count <= kMostLines - before; }

// Puts the lines into the order of the sorted entries. The entries are given
// back first, their positions kept in a quarter of their room, so that the
// new order never needs both at once.
void ReorderLines(std::vector<LineList::Ref>& refs, EntryVector& entries) {
  std::vector<uint32_t> order(entries.size());
  for (size_t k = 0; k < entries.size(); ++k) order[k] = entries[k].index;
  entries.Release();
  std::vector<LineList::Ref> sorted;
  sorted.reserve(order.size());
  for (const uint32_t from : order) sorted.push_back(refs[from]);
  refs.swap(sorted);
}

}  // namespace

struct WeightTableSort::Entries {
  EntryVector entries;
};

WeightTableSort::WeightTableSort(std::unique_ptr<CollationTable> table)
    : table_(std::move(table)), entries_(std::make_unique<Entries>()) {}

WeightTableSort::~WeightTableSort() = default;

std::unique_ptr<WeightTableSort> WeightTableSort::For(const Collation& collation) {
  std::unique_ptr<CollationTable> table = CollationTable::Build(collation.Collator());
  if (!table) return nullptr;
  return std::unique_ptr<WeightTableSort>(new WeightTableSort(std::move(table)));
}

size_t WeightTableSort::size() const { return entries_->entries.size(); }

bool WeightTableSort::Add(const LineList::Ref* lines, size_t count) {
  EntryVector& entries = entries_->entries;
  const size_t first = entries.size();
  if (!EntriesHold(count, first)) return false;
  entries.resize(first + count);
  for (size_t i = 0; i < count; ++i) FillEntry(*table_, lines[i], first + i, entries[first + i]);
  return true;
}

bool WeightTableSort::AddOnTwoCores(const std::vector<LineList::Ref>& lines) {
  EntryVector& entries = entries_->entries;
  const size_t first = entries.size();
  if (!EntriesHold(lines.size(), first)) return false;
  entries.resize(first + lines.size());
  const CollationTable& weights = *table_;
  OnTwoCores(lines.size(), [&weights, &lines, &entries, first](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) FillEntry(weights, lines[i], first + i, entries[first + i]);
  });
  return true;
}

void WeightTableSort::Sort(LineList& lines) {
  EntryVector& entries = entries_->entries;
  const CollationTable& weights = *table_;
  const std::vector<LineList::Ref>& refs = lines.Refs();
  const auto compare = [&weights, &refs](const PrefixEntry& a, const PrefixEntry& b) {
    for (size_t w = 0; w < kPrefixWords; ++w) {
      if (a.prefix[w] != b.prefix[w]) return a.prefix[w] < b.prefix[w] ? -1 : 1;
    }
    if (a.prefixTail != b.prefixTail) return a.prefixTail < b.prefixTail ? -1 : 1;
    // The pivot meets itself in every partition: no need to read the line.
    if (a.index == b.index) return 0;
    return weights.Compare(refs[a.index].View(), refs[b.index].View());
  };
  QuickSortOnTwoCores(entries, 0, static_cast<ptrdiff_t>(entries.size()) - 1, compare, kParallelLevels);
  ReorderLines(lines.Refs(), entries);
}

bool SortByWeightTable(LineList& lines, const Collation& collation) {
  const std::unique_ptr<WeightTableSort> sort = WeightTableSort::For(collation);
  if (!sort || !sort->AddOnTwoCores(lines.Refs())) return false;
  sort->Sort(lines);
  return true;
}

}  // namespace qj
