#include "platform/signals.h"

// Windows has neither SIGPIPE nor SIGXFSZ, and a console break ends the
// process without a signal that could be held back.
namespace qj {

void IgnoreWriteSignals() {}
void HoldTerminationSignals() {}
void ReleaseTerminationSignals() {}
int ArrivedTerminationSignal() { return 0; }

}  // namespace qj
