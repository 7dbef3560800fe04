#include "platform/process_setup.h"

#include <windows.h>

namespace qj {

// A batch run must never wait at a system dialog (a drive without a medium, a
// crash report): a failure shows in the exit code instead.
void PrepareProcess() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX); }

}  // namespace qj

namespace qj {

// A Windows process without standard handles gets no others in their place:
// nothing to do.
void KeepStandardDescriptorsOpen() {}

}  // namespace qj
