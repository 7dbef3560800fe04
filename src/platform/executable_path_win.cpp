#include "platform/executable_path.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "platform/windows_text.h"

namespace qj {

std::string ExecutablePath() {
  // A path that fills the buffer completely may have been cut, so grow the
  // buffer until the answer fits with room to spare.
  for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) {
      throw std::runtime_error("Pfad des Programms nicht lesbar (Fehler " + std::to_string(GetLastError()) + ")");
    }
    if (length < size) return WideToAnsi(std::wstring_view(buffer.data(), length), "Pfad des Programms");
  }
  throw std::runtime_error("Pfad des Programms zu lang");
}

}  // namespace qj
