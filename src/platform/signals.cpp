#include "platform/signals.h"

#include <csignal>
#include <ctime>
#include <initializer_list>

namespace qj {

namespace {

sigset_t g_previous;

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, sig);
  return set;
}

}  // namespace

void IgnoreWriteSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void HoldTerminationSignals() {
  const sigset_t set = TerminationSet();
  sigprocmask(SIG_BLOCK, &set, &g_previous);
}

void ReleaseTerminationSignals() { sigprocmask(SIG_SETMASK, &g_previous, nullptr); }

int ArrivedTerminationSignal() {
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
