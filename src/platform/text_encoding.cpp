#include "platform/text_encoding.h"

#include <algorithm>
#include <cstdint>

#include "platform/code_page.h"

namespace qj {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool HoldsNonAscii(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    uint32_t min;
    uint32_t cp;
    if ((b & 0xE0) == 0xC0) {
      length = 2, min = 0x80, cp = b & 0x1Fu;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, min = 0x800, cp = b & 0x0Fu;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, cp = b & 0x07u;
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      if (!IsContinuation(s[i + k])) return false;
      cp = (cp << 6) | (s[i + k] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::string Utf8TextAsCp1252(std::string_view utf8, size_t& replaced) {
  std::string converted = Utf8ToCp1252(utf8);
  // Every character gives one byte, and a "?" of the text stays a "?".
  replaced = static_cast<size_t>(std::count(converted.begin(), converted.end(), '?') -
                                 std::count(utf8.begin(), utf8.end(), '?'));
  return converted;
}

std::string WordAsCp1252(std::string_view word, size_t& replaced) {
  replaced = 0;
  if (!HoldsNonAscii(word) || !IsValidUtf8(word)) return std::string(word);
  return Utf8TextAsCp1252(word, replaced);
}

std::string_view WithoutByteOrderMark(std::string_view bytes) {
  if (bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  return bytes;
}

bool StoredTextIsUtf8(std::string_view bytes) {
  return bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark ||
         (HoldsNonAscii(bytes) && IsValidUtf8(bytes));
}

std::string StoredTextAsCp1252(std::string_view bytes) {
  if (!StoredTextIsUtf8(bytes)) return std::string(bytes);
  return Utf8ToCp1252(WithoutByteOrderMark(bytes));
}

}  // namespace qj
