#pragma once
// The short waits of the statement run. Tests replace the wait so that they
// do not really sleep.

namespace qj {

using PauseFunction = void (*)(int milliseconds);

// Blocks the thread for the given time (through the installed function).
void PauseMilliseconds(int milliseconds);

// Installs another wait and returns the one installed before; nullptr
// restores the real sleep.
PauseFunction SetPauseFunctionForTest(PauseFunction function);

}  // namespace qj
