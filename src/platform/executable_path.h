#pragma once

#include <string>

namespace qj {

// The full path of the running executable, as the kernel reports it in
// /proc/self/exe (without the " (deleted)" of an executable replaced while it
// runs). Throws std::runtime_error when it cannot be read.
std::string ExecutablePath();

}  // namespace qj
