#pragma once
// The sort keys of a growing list of lines, computed on a second thread while
// the run goes on fetching and formatting: the owner hands over the
// references of finished lines in list order, the thread builds the weight
// table of the collation and adds the lines' entries to a WeightTableSort.
// The thread only reads the lines' bytes, which never move once added; it
// prints nothing and touches no state of the run.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "extract/line_list.h"

namespace qj {

class WeightTableSort;

class SortKeysBeside {
 public:
  // Starts the thread for the collation of a locale name. Throws
  // std::system_error when no thread can be had.
  explicit SortKeysBeside(std::string collationLocale);
  // Stops the thread where it stands and waits for it.
  ~SortKeysBeside();
  SortKeysBeside(const SortKeysBeside&) = delete;
  SortKeysBeside& operator=(const SortKeysBeside&) = delete;

  // Hands over the next lines of the list.
  void HandOver(const LineList::Ref* lines, size_t count);

  // Waits until the thread has added every line handed over and ends it.
  // The sort, or nullptr when the thread made none: the collation has no
  // weight table or cannot be opened, or the lines outgrew the entries. The
  // sort at the end then goes its own way and meets the same conditions.
  std::unique_ptr<WeightTableSort> Finish();

 private:
  void Run();

  const std::string locale_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<LineList::Ref> pending_;  // handed over, not yet taken by the thread
  bool finishing_ = false;
  bool stopping_ = false;
  std::atomic<bool> failed_{false};        // the thread gave up: nothing more to hand over
  std::unique_ptr<WeightTableSort> sort_;  // the thread's until it ends
  std::thread thread_;                     // last: starts once the rest is there
};

}  // namespace qj
