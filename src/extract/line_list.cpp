#include "extract/line_list.h"

#include <cstdlib>
#include <cstring>

#include "platform/huge_pages.h"

namespace qj {

namespace {

// Blocks of 4 MB in huge pages: a large download's bytes are touched once
// when added. A line longer than a block gets a block of its own size.
constexpr size_t kBlockBytes = size_t{4} << 20;

}  // namespace

void LineList::BlockDeleter::operator()(char* block) const { std::free(block); }

LineList::LineList(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) Add(line);
}

void LineList::Add(std::string_view line) {
  if (line.size() > room_) {
    const size_t bytes = HugePagesRounded(line.size() > kBlockBytes ? line.size() : kBlockBytes);
    blocks_.emplace_back(static_cast<char*>(AllocateHugePages(bytes)));
    free_ = blocks_.back().get();
    room_ = bytes;
  }
  if (!line.empty()) std::memcpy(free_, line.data(), line.size());
  refs_.push_back(Ref{free_, line.size()});
  free_ += line.size();
  room_ -= line.size();
}

std::vector<std::string> LineList::Strings() const {
  std::vector<std::string> lines;
  lines.reserve(refs_.size());
  for (const Ref& ref : refs_) lines.emplace_back(ref.View());
  return lines;
}

}  // namespace qj
