#pragma once
// Signal dispositions of the process and the signals that end a run while
// the download file is written.

namespace qj {

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

}  // namespace qj
