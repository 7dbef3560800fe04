#pragma once
// The sort keys of a growing list of lines, computed while the run goes on
// fetching and formatting: the owner hands over the references of finished
// lines in list order, and the weight table of the collation is built and
// the lines' entries added to a WeightTableSort, either on a thread of its
// own or at once on the thread that hands them over (when that thread is
// itself beside the fetch). The work only reads the lines' bytes, which never
// move once added; it prints nothing and touches no state of the run.

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
  // For the collation of a locale name; starts the thread of its own when
  // asked for, and throws std::system_error when none can be had.
  explicit SortKeysBeside(std::string collationLocale, KeysThread where = KeysThread::Own);
  // Stops the thread where it stands and waits for it.
  ~SortKeysBeside();
  SortKeysBeside(const SortKeysBeside&) = delete;
  SortKeysBeside& operator=(const SortKeysBeside&) = delete;

  // Hands over the next lines of the list.
  void HandOver(const LineList::Ref* lines, size_t count);

  // Waits until every line handed over is added and ends the thread.
  // The sort, or nullptr when there is none: the collation has no
  // weight table or cannot be opened, or the lines outgrew the entries. The
  // sort at the end then goes its own way and meets the same conditions.
  std::unique_ptr<WeightTableSort> Finish();

 private:
  void Run();
  // Adds lines to the sort, made at the first call; false when that fails.
  bool Add(const LineList::Ref* lines, size_t count);

  const std::string locale_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<LineList::Ref> pending_;  // handed over, not yet taken by the thread
  bool finishing_ = false;
  bool stopping_ = false;
  std::atomic<bool> failed_{false};        // gave up: nothing more to hand over
  std::unique_ptr<WeightTableSort> sort_;  // the thread's until it ends
  std::thread thread_;                     // last: starts once the rest is there; none when HandingOver
};

}  // namespace qj
