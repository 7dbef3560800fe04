#pragma once
// The output lines of a run: the records' bytes back to back in large
// blocks, and one reference per line in the order of the list. Adding a
// line allocates nothing but a new block now and then, and reordering the
// list moves references, never bytes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qj {

class LineList {
 public:
  // Where one line's bytes lie.
  struct Ref {
    const char* data;
    size_t size;
    std::string_view View() const { return {data, size}; }
  };

  LineList() = default;
  explicit LineList(const std::vector<std::string>& lines);

  void Add(std::string_view line);

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

  std::vector<Block> blocks_;
  char* free_ = nullptr;  // the unused rest of the newest block
  size_t room_ = 0;
  std::vector<Ref> refs_;
};

}  // namespace qj
