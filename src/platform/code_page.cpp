#include "platform/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace qj {

namespace {

// The table of Windows-1252 and its inverse, built once from ICU's "cp1252"
// converter. Bytes that the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same value, as Windows does.
struct Cp1252Tables {
  std::array<char16_t, 256> toUnicode{};
  // Reverse lookup for U+0080..U+FFFF outside Latin-1; 0 means "not held".
  std::array<unsigned char, 0x10000> fromUnicode{};

  Cp1252Tables() {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("cp1252", &status);
    if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU converter cp1252: ") + u_errorName(status));
    for (int b = 0; b < 256; ++b) {
      const char in = static_cast<char>(b);
      UChar out[4];
      UErrorCode st = U_ZERO_ERROR;
      ucnv_reset(conv);
      const int32_t n = ucnv_toUChars(conv, out, 4, &in, 1, &st);
      char16_t c = static_cast<char16_t>(b);
      if (U_SUCCESS(st) && n == 1 && out[0] != 0xFFFD && out[0] != 0x1A) c = out[0];
      toUnicode[static_cast<size_t>(b)] = c;
    }
    ucnv_close(conv);
    for (int b = 0; b < 256; ++b) fromUnicode[toUnicode[static_cast<size_t>(b)]] = static_cast<unsigned char>(b);
  }
};

const Cp1252Tables& Tables() {
  static const Cp1252Tables tables;
  return tables;
}

// The Windows-1252 byte of a code point, '?' when the code page has none.
inline char Cp1252Byte(UChar32 cp, const Cp1252Tables& t) {
  if (cp < 0x80) return static_cast<char>(cp);
  if (cp <= 0xFFFF) {
    const unsigned char b = t.fromUnicode[static_cast<size_t>(cp)];
    if (b != 0 && t.toUnicode[b] == cp) return static_cast<char>(b);
  }
  return '?';
}

}  // namespace

void Cp1252ToUtf16(std::string_view bytes, std::u16string& out) {
  const Cp1252Tables& t = Tables();
  out.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = t.toUnicode[static_cast<unsigned char>(bytes[i])];
}

std::u16string Cp1252ToUtf16(std::string_view bytes) {
  std::u16string out;
  Cp1252ToUtf16(bytes, out);
  return out;
}

void AppendUtf16AsCp1252(std::u16string_view text, std::string& out) {
  const Cp1252Tables& t = Tables();
  const size_t n = text.size();
  // Each character gives one byte, a pair of surrogates too: the text never
  // needs more bytes than it has code units.
  const size_t start = out.size();
  out.resize(start + n);
  char* to = &out[start];
  size_t i = 0;
  while (i < n) {
    const char16_t u = text[i];
    if (u < 0x80) {
      *to++ = static_cast<char>(u);
      ++i;
      continue;
    }
    UChar32 cp;
    U16_NEXT(text.data(), i, n, cp);
    *to++ = Cp1252Byte(cp, t);
  }
  out.resize(static_cast<size_t>(to - out.data()));
}

void AppendUtf8AsCp1252(std::string_view text, std::string& out) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  // Plain ASCII, the common case, is copied as it is; it is found eight
  // bytes at a time.
  size_t ascii = 0;
  for (uint64_t word; ascii + 8 <= n; ascii += 8) {
    std::memcpy(&word, s + ascii, 8);
    if ((word & 0x8080808080808080u) != 0) break;
  }
  while (ascii < n && s[ascii] < 0x80) ++ascii;
  out.append(text.data(), ascii);
  if (ascii == n) return;
  // Each character, and each broken sequence, gives one byte: the rest
  // never needs more bytes than it has.
  const size_t start = out.size();
  out.resize(start + (n - ascii));
  char* to = &out[start];
  const Cp1252Tables& t = Tables();
  auto i = static_cast<int32_t>(ascii);
  const auto length = static_cast<int32_t>(n);
  while (i < length) {
    if (s[i] < 0x80) {
      *to++ = static_cast<char>(s[i++]);
      continue;
    }
    UChar32 cp;
    U8_NEXT(s, i, length, cp);
    *to++ = cp < 0 ? '?' : Cp1252Byte(cp, t);  // a malformed sequence is one '?'
  }
  out.resize(static_cast<size_t>(to - out.data()));
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  const Cp1252Tables& t = Tables();
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (char b : bytes) {
    const char16_t u = t.toUnicode[static_cast<unsigned char>(b)];
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

}  // namespace qj
