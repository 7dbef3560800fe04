#include "platform/executable_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace qj {

namespace {

// An executable replaced while it runs (a package upgrade) is reported with
// this suffix; its name then belongs to the new file beside the same query
// definition files. A file that really bears the suffix exists under it.
std::string WithoutDeletedSuffix(std::string path) {
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.size() <= kDeleted.size() || path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) != 0) {
    return path;
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) return path;
  path.resize(path.size() - kDeleted.size());
  return path;
}

}  // namespace

std::string ExecutablePath() {
  // readlink does not say whether it had to cut the path, so grow the buffer
  // until the answer fits with room to spare.
  for (size_t size = 4096; size <= (size_t{1} << 20); size *= 4) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      throw std::runtime_error(std::string("Pfad des Programms nicht lesbar: ") + std::strerror(errno));
    }
    if (static_cast<size_t>(length) < buffer.size()) {
      return WithoutDeletedSuffix(std::string(buffer.data(), static_cast<size_t>(length)));
    }
  }
  throw std::runtime_error("Pfad des Programms zu lang");
}

}  // namespace qj
