#include "platform/windows_text.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace qj {

namespace {

int Length(size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) throw std::length_error("Text zu lang fuer die Zeichensatzumwandlung");
  return static_cast<int>(size);
}

}  // namespace

std::wstring AnsiToWide(std::string_view name) {
  std::wstring wide(name.size(), L'\0');
  if (name.empty()) return wide;
  const int n = MultiByteToWideChar(CP_ACP, 0, name.data(), Length(name.size()), &wide[0], Length(wide.size()));
  if (n <= 0) throw std::runtime_error("Dateiname nicht umwandelbar: " + std::string(name));
  wide.resize(static_cast<size_t>(n));
  return wide;
}

std::string WideToAnsi(std::wstring_view name, const char* what) {
  if (name.empty()) return std::string();
  const int length = Length(name.size());
  BOOL inexact = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), length, nullptr, 0, nullptr, &inexact);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size <= 0 || inexact ||
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), length, &bytes[0], size, nullptr, nullptr) != size) {
    throw std::runtime_error(std::string(what) + " nicht im ANSI-Zeichensatz darstellbar");
  }
  return bytes;
}

std::wstring AsciiToWide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

std::string WideToAscii(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace qj
