#include "extract/sort_keys_beside.h"

#include <exception>
#include <utility>

#include "extract/weight_table_sort.h"
#include "platform/collation.h"

namespace qj {

SortKeysBeside::SortKeysBeside(std::string collationLocale, KeysThread where, size_t mostPending)
    : locale_(std::move(collationLocale)), mostPending_(mostPending) {
  if (where == KeysThread::Own) thread_ = std::thread([this] { Run(); });
}

SortKeysBeside::~SortKeysBeside() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

bool SortKeysBeside::HandOver(const LineList::Ref* lines, size_t count) {
  if (count == 0 || failed_.load(std::memory_order_relaxed)) return true;
  if (!thread_.joinable()) {
    if (!Add(lines, count)) failed_ = true;
    return true;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.size() > mostPending_) return false;
    pending_.insert(pending_.end(), lines, lines + count);
  }
  wake_.notify_one();
  return true;
}

std::unique_ptr<WeightTableSort> SortKeysBeside::Finish(const LineList::Ref* rest, size_t count) {
  if (!thread_.joinable()) {
    HandOver(rest, count);
    return failed_.load() ? nullptr : std::move(sort_);
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
    rest_ = rest;
    restCount_ = count;
  }
  wake_.notify_one();
  thread_.join();
  if (failed_.load()) return nullptr;
  return std::move(sort_);
}

// Any failure here leaves the sort to the end of the run, on the thread that
// reports failures: it opens the collation and allocates its entries again
// and meets the same failure there.
bool SortKeysBeside::Add(const LineList::Ref* lines, size_t count) {
  try {
    if (!sort_) {
      const Collation collation(locale_);
      sort_ = WeightTableSort::For(collation);
      if (!sort_) return false;
    }
    if (sort_->Add(lines, count)) return true;
  } catch (const std::exception&) {
    // met again, and reported, by the sort at the end
  }
  sort_.reset();
  return false;
}

void SortKeysBeside::Run() {
  std::vector<LineList::Ref> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || finishing_ || !pending_.empty(); });
      if (stopping_) return;
      batch.swap(pending_);
      if (batch.empty()) break;  // finishing, and every line handed over is added
    }
    if (!Add(batch.data(), batch.size())) {
      failed_ = true;
      return;
    }
    batch.clear();
  }
  if (restCount_ > 0 && !Add(rest_, restCount_)) failed_ = true;
}

}  // namespace qj
