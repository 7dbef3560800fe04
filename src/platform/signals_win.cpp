#include "platform/signals.h"

// Windows has neither SIGPIPE nor SIGXFSZ. Termination is not held back
// here: Ctrl+C, Ctrl+Break or a closed console end the run at once (replace
// mode keeps the old file, as nothing has been moved yet; an append may stay
// partly written).
namespace qj {

void IgnoreWriteSignals() {}
void HoldTerminationSignals() {}
void ReleaseTerminationSignals() {}
int ArrivedTerminationSignal() { return 0; }

}  // namespace qj
