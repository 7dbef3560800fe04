// The file helpers of test_support.h for the Windows build; running programs
// is left to the Linux build's end-to-end tests.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/test_support.h"

namespace qjtest {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path dir = fs::temp_directory_path() / ("qjtest-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                      std::to_string(++counter));
    if (fs::create_directory(dir)) {
      path_ = dir.string();
      return;
    }
  }
  throw std::runtime_error("no temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace qjtest
