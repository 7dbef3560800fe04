#include "extract/format_beside.h"

#include <climits>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "dbconn/data_module.h"
#include "driver/run_context.h"
#include "extract/record_format.h"

namespace qj {

namespace {

// Rows handed over at a time, and the batches in flight: one lock per batch,
// and the fetch at most a few batches ahead of the formatting.
constexpr size_t kBatchRows = 256;
constexpr size_t kBatches = 4;

// The used columns of one row as the engine delivered them: copied as they
// lie in the engine's buffers where it can, their values built by the
// formatting thread, else read here. A value that could not be read keeps
// its failure, which the formatting meets at that column, as it would have
// met it reading the engine.
class CopiedRow final : public RowSource {
 public:
  void Fill(TQuery& query, const std::vector<int>& usedColumns) {
    query_ = &query;
    columns_ = query.FieldCount();
    failedAt_ = INT_MAX;
    failure_ = nullptr;
    if (values_.size() < static_cast<size_t>(columns_)) {
      values_.resize(static_cast<size_t>(columns_));
      captured_.resize(static_cast<size_t>(columns_));
      held_.resize(static_cast<size_t>(columns_));
    }
    for (const int index : usedColumns) {
      if (index >= columns_) return;
      const auto i = static_cast<size_t>(index);
      try {
        held_[i] = query.CaptureField(index, captured_[i]) ? Held::Captured : Held::Value;
        if (held_[i] == Held::Value) values_[i] = query.Field(index);
      } catch (...) {  // kept for the formatting, which rethrows it in its place
        failure_ = std::current_exception();
        failedAt_ = index;
        return;
      }
    }
  }
  int ColumnCount() override { return columns_; }
  const ColumnValue& Column(int index) override {
    if (index >= failedAt_) std::rethrow_exception(failure_);
    const auto i = static_cast<size_t>(index);
    if (held_[i] == Held::Captured) {
      query_->BuildCapturedField(captured_[i], values_[i]);
      held_[i] = Held::Value;
    }
    return values_[i];
  }

 private:
  enum class Held : unsigned char { Value, Captured };
  TQuery* query_ = nullptr;
  int columns_ = 0;
  int failedAt_ = INT_MAX;
  std::exception_ptr failure_;
  std::vector<ColumnValue> values_;
  std::vector<CapturedValue> captured_;
  std::vector<Held> held_;
};

struct Batch {
  std::vector<CopiedRow> rows = std::vector<CopiedRow>(kBatchRows);
  size_t count = 0;
  bool last = false;                // the pass ends with these rows
  std::exception_ptr fetchFailure;  // ... and then with this failure of the fetch
};

class FormatThread {
 public:
  explicit FormatThread(void (*addRecordLine)()) : addRecordLine_(addRecordLine), batches_(kBatches) {
    for (Batch& batch : batches_) free_.push_back(&batch);
    thread_ = std::thread([this] { Run(); });
  }
  // A formatting left before its last batch is told to end.
  ~FormatThread() {
    if (!thread_.joinable()) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  FormatThread(const FormatThread&) = delete;
  FormatThread& operator=(const FormatThread&) = delete;

  // A batch to fill; nullptr once the formatting has failed.
  Batch* Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || failure_; });
    if (failure_) return nullptr;
    Batch* batch = free_.front();
    free_.pop_front();
    batch->count = 0;
    batch->last = false;
    batch->fetchFailure = nullptr;
    return batch;
  }
  void Hand(Batch* batch) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      full_.push_back(batch);
    }
    changed_.notify_all();
  }
  // Waits for the formatting to end and rethrows its failure.
  void Finish() {
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  void Run() {
    for (;;) {
      Batch* batch = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !full_.empty() || abandoned_; });
        if (full_.empty()) return;
        batch = full_.front();
        full_.pop_front();
      }
      try {
        for (size_t i = 0; i < batch->count; ++i) {
          FormatRecordFrom(batch->rows[i]);
          addRecordLine_();
          ++ctx.RecordCount;
        }
        if (batch->fetchFailure) std::rethrow_exception(batch->fetchFailure);
      } catch (...) {  // the pass's failure, rethrown by Finish on the fetching thread
        {
          const std::lock_guard<std::mutex> lock(mutex_);
          failure_ = std::current_exception();
        }
        changed_.notify_all();
        return;
      }
      const bool last = batch->last;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(batch);
      }
      changed_.notify_all();
      if (last) return;
    }
  }

  void (*addRecordLine_)();
  std::vector<Batch> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch*> free_;
  std::deque<Batch*> full_;
  std::exception_ptr failure_;
  bool abandoned_ = false;
  std::thread thread_;
};

std::vector<int> UsedColumns() {
  std::vector<int> used;
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    if (!ctx.Field(slot).Name.empty()) used.push_back(slot - 1);
  }
  return used;
}

}  // namespace

bool FormatPassBeside(int (*readNext)(), void (*addRecordLine)()) {
  std::unique_ptr<FormatThread> formatter;
  try {
    formatter = std::make_unique<FormatThread>(addRecordLine);
  } catch (const std::system_error&) {
    return false;
  }
  TQuery& query = ctx.dm1->Qry1;
  const std::vector<int> used = UsedColumns();
  bool more = true;
  while (more) {
    Batch* batch = formatter->Take();
    if (batch == nullptr) break;
    while (batch->count < kBatchRows) {
      try {
        batch->rows[batch->count].Fill(query, used);
        ++batch->count;
        ctx.ResultCode = readNext();
      } catch (...) {  // the fetch's failure, met by the formatting after the rows before it
        batch->fetchFailure = std::current_exception();
        ctx.ResultCode = -1;
      }
      if (ctx.ResultCode != 0) break;
    }
    more = ctx.ResultCode == 0;
    batch->last = !more;
    formatter->Hand(batch);
  }
  formatter->Finish();
  return true;
}

}  // namespace qj
