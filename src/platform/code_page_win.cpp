#include "platform/code_page.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace qj {

namespace {

constexpr UINT kCp1252 = 1252;

int Length(size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) throw std::length_error("Text zu lang fuer die Zeichensatzumwandlung");
  return static_cast<int>(size);
}

size_t AsciiPrefix(std::u16string_view text) {
  size_t n = 0;
  while (n < text.size() && text[n] < 0x80) ++n;
  return n;
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// A pair of surrogates is one character, which the code page cannot hold:
// it becomes one "?", not one per half.
std::u16string PairsAsOneCharacter(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out.push_back(u'?');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

void Cp1252ToUtf16(std::string_view bytes, std::u16string& out) {
  out.resize(bytes.size());
  if (bytes.empty()) return;
  // Every byte is one character; the five bytes the code page leaves
  // undefined come back as the C1 controls of the same value.
  const int n = MultiByteToWideChar(kCp1252, 0, bytes.data(), Length(bytes.size()),
                                    reinterpret_cast<wchar_t*>(&out[0]), Length(out.size()));
  if (n != static_cast<int>(bytes.size())) throw std::runtime_error("Umwandlung aus Windows-1252 fehlgeschlagen");
}

std::u16string Cp1252ToUtf16(std::string_view bytes) {
  std::u16string out;
  Cp1252ToUtf16(bytes, out);
  return out;
}

void AppendUtf16AsCp1252(std::u16string_view text, std::string& out) {
  const size_t ascii = AsciiPrefix(text);
  out.append(text.begin(), text.begin() + static_cast<ptrdiff_t>(ascii));
  text.remove_prefix(ascii);
  if (text.empty()) return;
  std::u16string unpaired;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (IsHigh(text[i]) && IsLow(text[i + 1])) {
      unpaired = PairsAsOneCharacter(text);
      text = unpaired;
      break;
    }
  }
  // At most one byte per UTF-16 unit; no best fit, so "?" stands for every
  // character the code page does not hold.
  const size_t start = out.size();
  out.resize(start + text.size());
  const int n = WideCharToMultiByte(kCp1252, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(text.data()),
                                    Length(text.size()), &out[start], Length(text.size()), "?", nullptr);
  if (n <= 0) throw std::runtime_error("Umwandlung nach Windows-1252 fehlgeschlagen");
  out.resize(start + static_cast<size_t>(n));
}

void AppendUtf8AsCp1252(std::string_view text, std::string& out) {
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  out.append(text.data(), ascii);
  text.remove_prefix(ascii);
  if (text.empty()) return;
  // A malformed sequence becomes U+FFFD and then "?".
  std::u16string wide(text.size(), u'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), Length(text.size()),
                                    reinterpret_cast<wchar_t*>(&wide[0]), Length(wide.size()));
  if (n <= 0) throw std::runtime_error("Umwandlung aus UTF-8 fehlgeschlagen");
  wide.resize(static_cast<size_t>(n));
  AppendUtf16AsCp1252(wide, out);
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  if (bytes.empty()) return out;
  const std::u16string wide = Cp1252ToUtf16(bytes);
  const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
  out.resize(wide.size() * 3);
  const int n = WideCharToMultiByte(CP_UTF8, 0, source, Length(wide.size()), &out[0], Length(out.size()), nullptr,
                                    nullptr);
  if (n <= 0) throw std::runtime_error("Umwandlung nach UTF-8 fehlgeschlagen");
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace qj
