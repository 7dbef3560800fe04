#pragma once
// The output lines of a run: the records' bytes back to back in large
// blocks, and one reference per line in the order of the list. Adding a
// line allocates nothing but a new block now and then, and reordering the
// list moves references, never bytes. A long list can have the sort keys of
// its lines computed on a second thread while lines are still being added.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qj {

class SortKeysBeside;
class WeightTableSort;

// Where the sort keys computed beside are computed: on a thread of their
// own, or on the thread that adds the lines.
enum class KeysThread { Own, HandingOver };

// From this many lines on, a list whose keys are asked for beside computes
// them on a second thread: the sort of such a list takes the weight table
// (weight_table_sort.h, from fewer lines on already), whose building then
// also happens beside.
constexpr size_t kSortKeysBesideLines = 50000;

// The most lines waiting for a keys thread of their own as copies of their
// references: a thread held up on a busy machine must not make the run hold
// a second list of references beside the list's own.
constexpr size_t kMostPendingLines = 65536;

class LineList {
 public:
  // Where one line's bytes lie.
  struct Ref {
    const char* data;
    size_t size;
    std::string_view View() const { return {data, size}; }
  };

  LineList();
  explicit LineList(const std::vector<std::string>& lines);
  ~LineList();
  LineList(LineList&&) noexcept;
  LineList& operator=(LineList&&) noexcept;

  void Add(std::string_view line) {
    AddBytes(line);
    if (refs_.size() >= nextHandOver_) HandOver();
  }

  // Once the list holds startLines lines, the sort keys of its lines are
  // computed by the collation of the locale named while more lines are
  // added: on a thread of their own, or by Add itself when the lines are
  // added beside the fetch already. The sort must then be by that same
  // collation; it takes the keys (TakeSortKeys). Asking again changes nothing.
  // mostPending bounds the lines waiting for a thread of their own.
  void ComputeSortKeysBeside(const std::string& collationLocale, size_t startLines = kSortKeysBesideLines,
                             KeysThread where = KeysThread::Own, size_t mostPending = kMostPendingLines);

  // The keys computed beside, complete for every line of the list, and the
  // end of the second thread; nullptr when there are none (never started,
  // no weight table, no thread to be had). Lines added afterwards get no
  // keys beside.
  std::unique_ptr<WeightTableSort> TakeSortKeys();

  size_t size() const { return refs_.size(); }
  bool empty() const { return refs_.empty(); }

  // The references in list order; a sort reorders them in place.
  std::vector<Ref>& Refs() { return refs_; }
  const std::vector<Ref>& Refs() const { return refs_; }

  // A copy of the lines, for comparisons in tests and tools.
  std::vector<std::string> Strings() const;

  friend bool operator==(const LineList& list, const std::vector<std::string>& lines) {
    return list.Strings() == lines;
  }

 private:
  struct BlockDeleter {
    void operator()(char* block) const;
  };
  using Block = std::unique_ptr<char[], BlockDeleter>;

  void AddBytes(std::string_view line);
  // Starts the second thread or hands it the lines added since the last time.
  void HandOver();

  std::vector<Block> blocks_;
  char* free_ = nullptr;  // the unused rest of the newest block
  size_t room_ = 0;
  std::vector<Ref> refs_;

  // The keys beside: the locale asked for, the size at which Add next
  // hands over lines (never without a request), the lines handed over.
  std::string besideLocale_;
  KeysThread besideThread_ = KeysThread::Own;
  size_t nextHandOver_ = SIZE_MAX;
  size_t handedOver_ = 0;
  size_t mostPending_ = kMostPendingLines;
  std::unique_ptr<SortKeysBeside> beside_;
};

}  // namespace qj
