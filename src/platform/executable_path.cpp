#include "platform/executable_path.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace qj {

std::string ExecutablePath() {
  // readlink does not say whether it had to cut the path, so grow the buffer
  // until the answer fits with room to spare.
  for (size_t size = 4096; size <= (size_t{1} << 20); size *= 4) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      throw std::runtime_error(std::string("Pfad des Programms nicht lesbar: ") + std::strerror(errno));
    }
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(length));
  }
  throw std::runtime_error("Pfad des Programms zu lang");
}

}  // namespace qj
