// The temporary directories and file test of test_support.h for the Windows
// build; running programs is left to the Linux build's end-to-end tests.
#include <windows.h>

#include <filesystem>
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

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace qjtest
