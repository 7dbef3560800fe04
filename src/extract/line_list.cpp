#include "extract/line_list.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace qj {

namespace {

// Blocks are 4 MB, aligned to and advised for huge pages where the system
// grants them on request: a large download's bytes are touched once when
// written, and ordinary pages would cost a page fault per 4 KB. A line longer
// than a block gets a block of its own size.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kBlockBytes = 2 * kHugePage;

char* NewBlock(size_t bytes) {
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* block = std::aligned_alloc(kHugePage, rounded);
  if (block == nullptr) throw std::bad_alloc();
  ::madvise(block, rounded, MADV_HUGEPAGE);  // only a wish: ordinary pages otherwise
  return static_cast<char*>(block);
}

}  // namespace

void LineList::BlockDeleter::operator()(char* block) const { std::free(block); }

LineList::LineList(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) Add(line);
}

LineList::LineList(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) Add(line);
}

void LineList::Add(std::string_view line) {
  if (line.size() > room_) {
    const size_t bytes = line.size() > kBlockBytes ? line.size() : kBlockBytes;
    blocks_.emplace_back(NewBlock(bytes));
    free_ = blocks_.back().get();
    room_ = bytes;
  }
  if (!line.empty()) std::memcpy(free_, line.data(), line.size());
  refs_.push_back(Ref{free_, line.size()});
  free_ += line.size();
  room_ -= line.size();
}

void LineList::Clear() {
  refs_.clear();
  blocks_.clear();
  free_ = nullptr;
  room_ = 0;
}

std::vector<std::string> LineList::Strings() const {
  std::vector<std::string> lines;
  lines.reserve(refs_.size());
  for (const Ref& ref : refs_) lines.emplace_back(ref.View());
  return lines;
}

}  // namespace qj
