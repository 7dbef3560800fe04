#include "platform/signals.h"

#include <ctime>
#include <initializer_list>

namespace qj {

namespace {

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void IgnoreWriteSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

TerminationSignalsHeld::TerminationSignalsHeld() {
  const sigset_t set = TerminationSet();
  sigprocmask(SIG_BLOCK, &set, &previous_);
}

TerminationSignalsHeld::~TerminationSignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

int TerminationSignalsHeld::Arrived() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return 0;
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    if (sigismember(&pending, sig) == 1) {
      const timespec now{0, 0};
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, sig);
      return sigtimedwait(&one, nullptr, &now) == sig ? sig : 0;
    }
  }
  return 0;
}

}  // namespace qj
