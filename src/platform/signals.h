#pragma once
// Signal dispositions of the process and the signals that end a run while
// the download file is written.

namespace qj {

#ifndef _WIN32
// SIGPIPE and SIGXFSZ are ignored: a broken pipe on the console and a write
// beyond the file size limit fail with EPIPE and EFBIG instead of killing the
// process.
void IgnoreWriteSignals();

// SIGTERM, SIGINT and SIGHUP are held back between these two calls while the
// download file is written, so that the run can put the old content back
// before it ends. Release lets one that is still pending take effect.
void HoldTerminationSignals();
void ReleaseTerminationSignals();

// One of the held signals that has arrived (and is taken), or 0.
int ArrivedTerminationSignal();
#else
// Windows has neither SIGPIPE nor SIGXFSZ. Termination is not held back
// here: Ctrl+C, Ctrl+Break or a closed console end the run at once (replace
// mode keeps the old file, as nothing has been moved yet; an append may stay
// partly written).
inline void IgnoreWriteSignals() {}
inline void HoldTerminationSignals() {}
inline void ReleaseTerminationSignals() {}
inline int ArrivedTerminationSignal() { return 0; }
#endif

}  // namespace qj
