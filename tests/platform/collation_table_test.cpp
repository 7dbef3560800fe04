// The Windows-1252 collation table against the ICU collator it was taken
// from: random lines of letters in both cases, umlauts, blanks, digits,
// punctuation, control characters and contractions must compare exactly as
// the collator compares their UTF-16 forms.

#include "platform/collation_table.h"

#include <gtest/gtest.h>
#include <unicode/ucol.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace {

using qj::CollationTable;

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// A collator as the tool's sort opens it: the locale's rules at secondary strength.
CollatorPtr OpenSecondary(const char* locale) {
  UErrorCode status = U_ZERO_ERROR;
  CollatorPtr collator(ucol_open(locale, &status));
  EXPECT_TRUE(U_SUCCESS(status)) << locale;
  ucol_setStrength(collator.get(), UCOL_SECONDARY);
  return collator;
}

int Sign(int v) { return (v > 0) - (v < 0); }

int CollatorCompare(const UCollator* collator, const std::string& a, const std::string& b) {
  const std::u16string wa = qj::Cp1252ToUtf16(a);
  const std::u16string wb = qj::Cp1252ToUtf16(b);
  return static_cast<int>(ucol_strcoll(collator, reinterpret_cast<const UChar*>(wa.data()),
                                       static_cast<int32_t>(wa.size()), reinterpret_cast<const UChar*>(wb.data()),
                                       static_cast<int32_t>(wb.size())));
}

// Random lines from pieces that make collation interesting: letters of both
// cases, umlauts and sharp s, blanks, digits, punctuation, control bytes,
// symbols that expand (ellipsis, trade mark, one quarter, ae), and the
// contractions of some locales (l with middle dot, ch).
class LineMaker {
 public:
  explicit LineMaker(unsigned seed) : random_(seed) {}

  std::string Line() {
    static const std::vector<std::string> pieces = {
        "a", "A", "b", "B", "c", "C", "h", "H", "l", "L", "o", "O", "s", "S", "u", "U", "z", "Z", "i", "I",
        "\xE4", "\xC4", "\xF6", "\xD6", "\xFC", "\xDC", "\xDF", "\xE9", "\xC9", "\xE5", "\xF1", "\xE6", "\xC6",
        " ", " ", "  ", "0", "1", "9", "-", ".", ",", ";", "'", "&", "/", "_", "(", "\t", "\n", "\r", "\x01",
        "\x7F", "\x81", "\xA0", "\xB7", "\x85", "\x99", "\xBC", "\x80", "\x8C", "\x9C", "\xFD", "\xFF",
        "ch", "Ch", "CH", "l\xB7", "L\xB7", "ll", "aa", "ss", "ae", "Mueller", "M\xFCller"};
    std::uniform_int_distribution<size_t> length(0, 12);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::string line;
    const size_t n = length(random_);
    for (size_t i = 0; i < n; ++i) line += pieces[pick(random_)];
    return line;
  }

  // The line with a few bytes changed to a near neighbour: other letter
  // case, an umlaut for its base letter, a blank for a tab; such lines tie
  // on the primary level or differ only on the secondary one.
  std::string Variant(std::string line) {
    std::uniform_int_distribution<size_t> pos(0, line.empty() ? 0 : line.size() - 1);
    for (int k = 0; k < 2 && !line.empty(); ++k) {
      char& c = line[pos(random_)];
      switch (c) {
        case 'a': c = '\xE4'; break;
        case '\xE4': c = 'A'; break;
        case 'u': c = '\xFC'; break;
        case 'o': c = 'O'; break;
        case '\t': c = ' '; break;
        case '\xB7': c = '.'; break;
        default:
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
          else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
    return line;
  }

 private:
  std::mt19937 random_;
};

void ExpectSameOrder(const char* locale) {
  SCOPED_TRACE(locale);
  CollatorPtr collator = OpenSecondary(locale);
  const std::unique_ptr<CollationTable> table = CollationTable::Build(collator.get());
  ASSERT_NE(table, nullptr);
  LineMaker maker(20261208);
  constexpr size_t kPrefix = 8;
  for (int i = 0; i < 20000; ++i) {
    const std::string a = maker.Line();
    const std::string b = i % 2 == 0 ? maker.Line() : maker.Variant(a);
    const int expected = Sign(CollatorCompare(collator.get(), a, b));
    ASSERT_EQ(Sign(table->Compare(a, b)), expected) << "'" << a << "' vs '" << b << "'";
    ASSERT_EQ(Sign(table->Compare(b, a)), -expected) << "'" << b << "' vs '" << a << "'";
    // Differing prefixes decide the order on their own.
    uint8_t pa[kPrefix], pb[kPrefix];
    table->PrimaryPrefix(a, pa, kPrefix);
    table->PrimaryPrefix(b, pb, kPrefix);
    const int prefixOrder = Sign(std::memcmp(pa, pb, kPrefix));
    if (prefixOrder != 0) {
      ASSERT_EQ(prefixOrder, expected) << "'" << a << "' vs '" << b << "'";
    }
  }
}

TEST(CollationTable, ComparesRandomLinesExactlyAsTheCollator) {
  for (const char* locale : {"root", "de_DE", "en_US", "sv_SE", "tr_TR", "es_ES", "ca_ES", "pl_PL"}) {
    ExpectSameOrder(locale);
  }
}

TEST(CollationTable, HandlesTwoCharacterContractions) {
  // Czech sorts "ch" as one letter after "h"; the root collation weighs "l"
  // with a middle dot together; German phone-book order expands umlauts.
  for (const char* locale : {"cs_CZ", "de_DE@collation=phonebook"}) ExpectSameOrder(locale);
  CollatorPtr czech = OpenSecondary("cs_CZ");
  const std::unique_ptr<CollationTable> table = CollationTable::Build(czech.get());
  ASSERT_NE(table, nullptr);
  EXPECT_GT(table->Compare("chata", "hrad"), 0);
  EXPECT_LT(table->Compare("cesta", "chata"), 0);
  // A common prefix that ends inside a contraction.
  EXPECT_GT(table->Compare("ach", "acz"), 0);
  EXPECT_EQ(table->Compare("Chata", "cHATA"), 0);
}

TEST(CollationTable, RefusesCollatorsThatDoNotOrderByCharacter) {
  // Canadian French compares accents from the end of the text; Danish has
  // the contraction "aa", whose letter both starts and ends it; numeric
  // collation and ignorable punctuation weigh runs of characters.
  EXPECT_EQ(CollationTable::Build(OpenSecondary("fr_CA").get()), nullptr);
  EXPECT_EQ(CollationTable::Build(OpenSecondary("da_DK").get()), nullptr);
  CollatorPtr numeric = OpenSecondary("de_DE");
  UErrorCode status = U_ZERO_ERROR;
  ucol_setAttribute(numeric.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  EXPECT_EQ(CollationTable::Build(numeric.get()), nullptr);
  CollatorPtr shifted = OpenSecondary("de_DE");
  ucol_setAttribute(shifted.get(), UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &status);
  EXPECT_EQ(CollationTable::Build(shifted.get()), nullptr);
  CollatorPtr tertiary = OpenSecondary("de_DE");
  ucol_setStrength(tertiary.get(), UCOL_TERTIARY);
  EXPECT_EQ(CollationTable::Build(tertiary.get()), nullptr);
  EXPECT_EQ(CollationTable::Build(nullptr), nullptr);
}

TEST(CollationTable, PrefixHoldsTheFirstPrimaryWeights) {
  CollatorPtr root = OpenSecondary("root");
  const std::unique_ptr<CollationTable> table = CollationTable::Build(root.get());
  ASSERT_NE(table, nullptr);
  uint8_t upper[6], lower[6], umlaut[6], shorter[6];
  table->PrimaryPrefix("MEIER", upper, 6);
  table->PrimaryPrefix("meier", lower, 6);
  table->PrimaryPrefix("m\xE9ier", umlaut, 6);  // accents are no primary difference
  table->PrimaryPrefix("Mei", shorter, 6);
  EXPECT_EQ(std::memcmp(upper, lower, 6), 0);
  EXPECT_EQ(std::memcmp(upper, umlaut, 6), 0);
  EXPECT_EQ(upper[5], 0);
  EXPECT_NE(upper[4], 0);
  EXPECT_EQ(shorter[3], 0);
  EXPECT_LT(std::memcmp(shorter, upper, 6), 0);
  // Control bytes weigh nothing; the expansion of sharp s weighs two.
  uint8_t controls[4], sharp[4], doubled[4];
  table->PrimaryPrefix(std::string("\x01\x02", 2), controls, 4);
  table->PrimaryPrefix("\xDF", sharp, 4);
  table->PrimaryPrefix("ss", doubled, 4);
  EXPECT_EQ(controls[0], 0);
  EXPECT_EQ(std::memcmp(sharp, doubled, 4), 0);
}

}  // namespace
