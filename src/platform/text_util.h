#pragma once
// Small text and file helpers shared by the subsystems.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qj {

inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cases the ASCII letters in place; every other byte stays.
void UpperCaseAscii(std::string& text);

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Everything up to and including the last of the separator characters; empty
// when the path holds none.
std::string DirectoryPart(const std::string& path, const char* separators);

// Appends the decimal digits of value, zero-filled on the left to at least
// minDigits digits.
inline void AppendDigits(uint64_t value, size_t minDigits, std::string& out) {
  char buffer[24];
  char* const end = buffer + sizeof buffer;
  char* p = end;
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  const size_t digits = static_cast<size_t>(end - p);
  if (minDigits > digits) out.append(minDigits - digits, '0');
  out.append(p, digits);
}

// The bytes of a file. opened: the file could be opened; complete: also read
// to its end without a read error (bytes then holds the whole file, else what
// was read before the error).
struct FileBytes {
  bool opened = false;
  bool complete = false;
  std::string bytes;
};
FileBytes ReadWholeFile(const std::string& path);

}  // namespace qj
