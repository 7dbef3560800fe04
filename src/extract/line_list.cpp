#include "extract/line_list.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "extract/sort_keys_beside.h"
#include "extract/weight_table_sort.h"

namespace qj {

namespace {

// Blocks of 4 MB, each in a mapping of its own (process_setup.h) that the
// system fills with cleared pages as the bytes arrive. A line longer than a
// block gets a block of its own size.
constexpr size_t kBlockBytes = size_t{4} << 20;

// Lines handed to the second thread at a time: one lock per this many lines.
constexpr size_t kHandOverLines = 8192;

}  // namespace

void LineList::BlockDeleter::operator()(char* block) const { std::free(block); }

LineList::LineList() = default;
LineList::~LineList() = default;
LineList::LineList(LineList&&) noexcept = default;
LineList& LineList::operator=(LineList&&) noexcept = default;

LineList::LineList(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) Add(line);
}

void LineList::AddBytes(std::string_view line) {
  if (line.size() > room_) {
    const size_t bytes = line.size() > kBlockBytes ? line.size() : kBlockBytes;
    char* block = static_cast<char*>(std::malloc(bytes));
    if (block == nullptr) throw std::bad_alloc();
    blocks_.emplace_back(block);
    free_ = blocks_.back().get();
    room_ = bytes;
  }
  if (!line.empty()) std::memcpy(free_, line.data(), line.size());
  refs_.push_back(Ref{free_, line.size()});
  free_ += line.size();
  room_ -= line.size();
}

void LineList::ComputeSortKeysBeside(const std::string& collationLocale, size_t startLines, KeysThread where,
                                     size_t mostPending) {
  if (nextHandOver_ != SIZE_MAX || beside_) return;
  besideLocale_ = collationLocale;
  besideThread_ = where;
  mostPending_ = mostPending;
  nextHandOver_ = startLines > refs_.size() ? startLines : refs_.size();
}

void LineList::HandOver() {
  if (!beside_) {
    try {
      beside_ = std::make_unique<SortKeysBeside>(besideLocale_, besideThread_, mostPending_);
    } catch (const std::system_error&) {
      nextHandOver_ = SIZE_MAX;  // no second thread: the sort computes its keys at the end
      return;
    }
  }
  if (beside_->HandOver(refs_.data() + handedOver_, refs_.size() - handedOver_)) handedOver_ = refs_.size();
  nextHandOver_ = refs_.size() + kHandOverLines;
}

std::unique_ptr<WeightTableSort> LineList::TakeSortKeys() {
  nextHandOver_ = SIZE_MAX;
  if (!beside_) return nullptr;
  std::unique_ptr<WeightTableSort> sort = beside_->Finish(refs_.data() + handedOver_, refs_.size() - handedOver_);
  handedOver_ = refs_.size();
  beside_.reset();
  if (sort && sort->size() != refs_.size()) return nullptr;
  return sort;
}

std::vector<std::string> LineList::Strings() const {
  std::vector<std::string> lines;
  lines.reserve(refs_.size());
  for (const Ref& ref : refs_) lines.emplace_back(ref.View());
  return lines;
}

}  // namespace qj
