#include "platform/collation_table.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#include "platform/code_page.h"

namespace qj {

namespace {

// One collation element as the collator compares it: a 32-bit primary and a
// 16-bit secondary weight (tertiary weights play no part at secondary strength).
struct Element {
  uint32_t primary = 0;
  uint32_t secondary = 0;
};

// The collation elements of a text. The iterator hands out 32-bit halves:
// the first holds the upper halves of primary and secondary, a continuation
// (low bits 0xC0) the lower halves.
bool TextElements(const UCollator* collator, std::u16string_view text, std::vector<Element>& out) {
  out.clear();
  UErrorCode status = U_ZERO_ERROR;
  UCollationElements* it = ucol_openElements(collator, reinterpret_cast<const UChar*>(text.data()),
                                             static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return false;
  for (;;) {
    const int32_t order = ucol_next(it, &status);
    if (U_FAILURE(status) || order == UCOL_NULLORDER) break;
    const auto half = static_cast<uint32_t>(order);
    if ((half & 0xC0) == 0xC0 && !out.empty()) {
      out.back().primary |= half >> 16;
      out.back().secondary |= (half >> 8) & 0xFF;
    } else {
      out.push_back({half & 0xFFFF0000u, half & 0xFF00u});
    }
  }
  ucol_closeElements(it);
  return U_SUCCESS(status);
}

std::string AllBytes() {
  std::string bytes(256, '\0');
  for (int b = 0; b < 256; ++b) bytes[static_cast<size_t>(b)] = static_cast<char>(b);
  return bytes;
}

bool CollatorIsPlain(const UCollator* collator) {
  UErrorCode status = U_ZERO_ERROR;
  const bool plain = ucol_getStrength(collator) == UCOL_SECONDARY &&
                     ucol_getAttribute(collator, UCOL_FRENCH_COLLATION, &status) == UCOL_OFF &&
                     ucol_getAttribute(collator, UCOL_ALTERNATE_HANDLING, &status) == UCOL_NON_IGNORABLE &&
                     ucol_getAttribute(collator, UCOL_CASE_LEVEL, &status) == UCOL_OFF &&
                     ucol_getAttribute(collator, UCOL_NUMERIC_COLLATION, &status) == UCOL_OFF;
  if (U_FAILURE(status) || !plain) return false;
  int32_t codes[8];
  const int32_t reorderCodes = ucol_getReorderCodes(collator, codes, 8, &status);
  return U_SUCCESS(status) && reorderCodes == 0;
}

// The contractions and contexts of the collator that consist of
// Windows-1252 characters only, as byte strings; false when the collator
// cannot tell them.
bool Cp1252Contractions(const UCollator* collator, const std::u16string& characters, std::vector<std::string>& out) {
  UErrorCode status = U_ZERO_ERROR;
  USet* contractions = uset_openEmpty();
  ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
  std::u16string text;
  const int32_t items = U_SUCCESS(status) ? uset_getItemCount(contractions) : 0;
  for (int32_t i = 0; U_SUCCESS(status) && i < items; ++i) {
    UChar32 start = 0, end = 0;
    text.resize(64);
    int32_t length = uset_getItem(contractions, i, &start, &end, reinterpret_cast<UChar*>(&text[0]),
                                  static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      status = U_ZERO_ERROR;
      text.resize(static_cast<size_t>(length));
      length = uset_getItem(contractions, i, &start, &end, reinterpret_cast<UChar*>(&text[0]),
                            static_cast<int32_t>(text.size()), &status);
    }
    if (U_FAILURE(status) || length == 0) continue;  // a range of single code points is no contraction
    std::string bytes;
    for (int32_t k = 0; k < length; ++k) {
      const size_t at = characters.find(text[static_cast<size_t>(k)]);
      if (at == std::u16string::npos) break;
      bytes.push_back(static_cast<char>(at));
    }
    if (bytes.size() == static_cast<size_t>(length)) out.push_back(bytes);
  }
  uset_close(contractions);
  return U_SUCCESS(status);
}

// Dense ranks from 1 upwards for the distinct non-zero weights, in order.
std::vector<uint32_t> DistinctWeights(std::vector<uint32_t> weights) {
  weights.erase(std::remove(weights.begin(), weights.end(), 0u), weights.end());
  std::sort(weights.begin(), weights.end());
  weights.erase(std::unique(weights.begin(), weights.end()), weights.end());
  return weights;
}

uint8_t RankOf(const std::vector<uint32_t>& distinct, uint32_t weight) {
  return static_cast<uint8_t>(std::lower_bound(distinct.begin(), distinct.end(), weight) - distinct.begin() + 1);
}

int Sign(int v) { return (v > 0) - (v < 0); }

// The texts the table is checked on: the empty text, every text of one and
// two bytes, and every text of three bytes over the given bytes.
std::vector<std::string> CheckTexts(const std::string& threeByteAlphabet) {
  std::vector<std::string> texts;
  texts.reserve(1 + 256 + 256 * 256 + threeByteAlphabet.size() * threeByteAlphabet.size() * threeByteAlphabet.size());
  texts.emplace_back();
  for (int a = 0; a < 256; ++a) {
    texts.emplace_back(1, static_cast<char>(a));
    for (int b = 0; b < 256; ++b) texts.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  for (char a : threeByteAlphabet) {
    for (char b : threeByteAlphabet) {
      for (char c : threeByteAlphabet) texts.push_back({a, b, c});
    }
  }
  return texts;
}

}  // namespace

std::unique_ptr<CollationTable> CollationTable::Build(const UCollator* collator) {
  if (collator == nullptr || !CollatorIsPlain(collator)) return nullptr;
  const std::string bytes = AllBytes();
  const std::u16string characters = Cp1252ToUtf16(bytes);
  std::vector<std::string> contractions;
  if (!Cp1252Contractions(collator, characters, contractions)) return nullptr;

  std::unique_ptr<CollationTable> table(new CollationTable());
  // The pieces: every byte, and every two-byte contraction. A byte that ends
  // a contraction must not start one, so that pieces never overlap.
  std::vector<std::string> pieces;
  for (char b : bytes) pieces.emplace_back(1, b);
  std::array<bool, 256> pairSecond{};
  for (const std::string& c : contractions) {
    if (c.size() != 2) return nullptr;
    pieces.push_back(c);
    table->pairFirst_[static_cast<unsigned char>(c[0])] = true;
    pairSecond[static_cast<unsigned char>(c[1])] = true;
  }
  for (size_t b = 0; b < 256; ++b) {
    if (table->pairFirst_[b] && pairSecond[b]) return nullptr;
  }

  std::vector<std::vector<Element>> elements(pieces.size());
  std::vector<uint32_t> primaries;
  std::vector<uint32_t> secondaries;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (!TextElements(collator, Cp1252ToUtf16(pieces[i]), elements[i])) return nullptr;
    for (const Element& e : elements[i]) {
      primaries.push_back(e.primary);
      secondaries.push_back(e.secondary);
    }
  }
  primaries = DistinctWeights(std::move(primaries));
  secondaries = DistinctWeights(std::move(secondaries));
  if (primaries.size() > 255 || secondaries.size() > 255) return nullptr;

  for (size_t i = 0; i < pieces.size(); ++i) {
    Weights levels[2];
    for (const Element& e : elements[i]) {
      const uint32_t weight[2] = {e.primary, e.secondary};
      const std::vector<uint32_t>* distinct[2] = {&primaries, &secondaries};
      for (int level = 0; level < 2; ++level) {
        if (weight[level] == 0) continue;
        Weights& w = levels[level];
        if (w.count == kMaxWeights) return nullptr;
        w.rank[w.count++] = RankOf(*distinct[level], weight[level]);
      }
    }
    const std::string& piece = pieces[i];
    if (piece.size() == 1) {
      for (int level = 0; level < 2; ++level) table->single_[level][static_cast<unsigned char>(piece[0])] = levels[level];
    } else {
      table->pairs_.push_back({static_cast<uint8_t>(piece[0]), static_cast<uint8_t>(piece[1]), {levels[0], levels[1]}});
    }
  }

  for (size_t b = 0; b < 256; ++b) {
    const Weights& w = table->single_[0][b];
    if (w.count == 1 && !table->pairFirst_[b]) table->plainPrimary_[b] = w.rank[0];
  }

  // The check: every text of up to two bytes, and of three bytes around the
  // contractions, ordered by the collator's own sort keys, must be ordered
  // the same by the table; both orders being total, agreeing on each
  // neighbouring pair makes them equal.
  std::string alphabet = " -.0aAzZ\xB7\xE4\xC4\xDF";
  alphabet.push_back('\0');
  for (const std::string& c : contractions) alphabet += c;
  std::sort(alphabet.begin(), alphabet.end());
  alphabet.erase(std::unique(alphabet.begin(), alphabet.end()), alphabet.end());
  const std::vector<std::string> texts = CheckTexts(alphabet);
  std::vector<uint8_t> keys;
  std::vector<size_t> offsets{0};
  keys.reserve(texts.size() * 16);
  std::u16string wide;
  for (const std::string& text : texts) {
    Cp1252ToUtf16(text, wide);
    uint8_t buffer[256];
    const int32_t length = ucol_getSortKey(collator, reinterpret_cast<const UChar*>(wide.data()),
                                           static_cast<int32_t>(wide.size()), buffer, sizeof buffer);
    if (length <= 0 || length > static_cast<int32_t>(sizeof buffer)) return nullptr;
    keys.insert(keys.end(), buffer, buffer + length);
    offsets.push_back(keys.size());
  }
  auto keyCompare = [&](size_t x, size_t y) {
    const size_t lx = offsets[x + 1] - offsets[x];
    const size_t ly = offsets[y + 1] - offsets[y];
    return Sign(std::memcmp(keys.data() + offsets[x], keys.data() + offsets[y], std::min(lx, ly)));
  };
  std::vector<size_t> order(texts.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return keyCompare(x, y) < 0; });
  for (size_t i = 1; i < order.size(); ++i) {
    if (Sign(table->Compare(texts[order[i - 1]], texts[order[i]])) != keyCompare(order[i - 1], order[i])) {
      return nullptr;
    }
  }
  return table;
}

}  // namespace qj
