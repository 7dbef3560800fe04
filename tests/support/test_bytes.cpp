#include <fstream>
#include <stdexcept>
#include <utility>

#include "platform/text_util.h"
#include "support/test_support.h"

namespace qjtest {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
  qj::FileBytes file = qj::ReadWholeFile(path);
  if (!file.opened) throw std::runtime_error("cannot read " + path);
  return std::move(file.bytes);
}

}  // namespace qjtest
