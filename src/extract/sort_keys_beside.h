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
  // At most mostPending lines wait for a thread of its own.
  explicit SortKeysBeside(std::string collationLocale, KeysThread where = KeysThread::Own,
                          size_t mostPending = kMostPendingLines);
  // Stops the thread where it stands and waits for it.
  ~SortKeysBeside();
  SortKeysBeside(const SortKeysBeside&) = delete;
  SortKeysBeside& operator=(const SortKeysBeside&) = delete;

  // Hands over the next lines of the list; false, with nothing handed over,
  // while the thread has more than mostPending lines still to take: the
  // owner hands them over later, with the lines after them.
  bool HandOver(const LineList::Ref* lines, size_t count);

  // Hands over the last lines, which are read where they lie (the owner
  // changes nothing while it waits), waits until every line is added and
  // ends the thread.
  // The sort, or nullptr when there is none: the collation has no
  // weight table or cannot be opened, or the lines outgrew the entries. The
  // sort at the end then goes its own way and meets the same conditions.
  std::unique_ptr<WeightTableSort> Finish(const LineList::Ref* rest, size_t count);

 private:
  void Run();
  // Adds lines to the sort, made at the first call; false when that fails.
  bool Add(const LineList::Ref* lines, size_t count);

  const std::string locale_;
  const size_t mostPending_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<LineList::Ref> pending_;  // handed over, not yet taken by the thread
  bool finishing_ = false;
  const LineList::Ref* rest_ = nullptr;  // the last lines, once finishing
  size_t restCount_ = 0;
  bool stopping_ = false;
  std::atomic<bool> failed_{false};        // gave up: nothing more to hand over
  std::unique_ptr<WeightTableSort> sort_;  // the thread's until it ends
  std::thread thread_;                     // last: starts once the rest is there; none when HandingOver
};

}  // namespace qj
