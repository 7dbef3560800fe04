#pragma once
// Signal dispositions of the process and the signals that end a run while
// the download file is written.

#include <csignal>

namespace qj {

// SIGPIPE and SIGXFSZ are ignored: a broken pipe on the console and a write
// beyond the file size limit fail with EPIPE and EFBIG instead of killing the
// process.
void IgnoreWriteSignals();

// SIGTERM, SIGINT and SIGHUP are held back while the download file is being
// written, so that the run can put the old content back before it ends.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld();
  ~TerminationSignalsHeld();
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

  // One of the held signals that has arrived (and is taken), or 0.
  static int Arrived();

 private:
  sigset_t previous_;
};

}  // namespace qj
