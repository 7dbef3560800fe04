#include "extract/sort_keys_beside.h"

#include <exception>
#include <utility>

#include "extract/weight_table_sort.h"
#include "platform/collation.h"

namespace qj {

SortKeysBeside::SortKeysBeside(std::string collationLocale)
    : locale_(std::move(collationLocale)), thread_([this] { Run(); }) {}

SortKeysBeside::~SortKeysBeside() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void SortKeysBeside::HandOver(const LineList::Ref* lines, size_t count) {
  if (count == 0 || failed_.load(std::memory_order_relaxed)) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_.insert(pending_.end(), lines, lines + count);
  }
  wake_.notify_one();
}

std::unique_ptr<WeightTableSort> SortKeysBeside::Finish() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
  }
  wake_.notify_one();
  thread_.join();
  if (failed_.load()) return nullptr;
  return std::move(sort_);
}

void SortKeysBeside::Run() {
  std::unique_ptr<WeightTableSort> sort;
  std::vector<LineList::Ref> batch;
  // Any failure here leaves the sort to the end of the run, on the thread
  // that reports failures: it opens the collation and allocates its entries
  // again and meets the same failure there.
  try {
    const Collation collation(locale_);
    sort = WeightTableSort::For(collation);
    if (!sort) {
      failed_ = true;
      return;
    }
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || finishing_ || !pending_.empty(); });
        if (stopping_) return;
        batch.swap(pending_);
        if (batch.empty()) break;  // finishing, and every line is added
      }
      if (!sort->Add(batch.data(), batch.size())) {
        failed_ = true;
        return;
      }
      batch.clear();
    }
  } catch (const std::exception&) {
    failed_ = true;
    return;
  }
  sort_ = std::move(sort);
}

}  // namespace qj
