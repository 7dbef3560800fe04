// The sort collation ignores letter case whatever the locale name carries:
// en_US_POSIX's capitals-first tailoring and case keywords of the name must
// not make "a" and "A" differ.

#include "platform/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/locale_env.h"

namespace {

// The letters sorted by the collation of the POSIX locale name, stably, so
// that letters equal to the collation keep their given order.
std::string Sorted(const std::string& posixName, std::u16string letters) {
  const qj::Collation collation(qj::IcuLocaleName(posixName));
  std::stable_sort(letters.begin(), letters.end(), [&collation](char16_t a, char16_t b) {
    return collation.Compare(std::u16string(1, a), std::u16string(1, b)) < 0;
  });
  return std::string(letters.begin(), letters.end());
}

TEST(Collation, LetterCaseIgnoredForEveryLocaleName) {
  for (const char* name : {"", "C", "de_DE.UTF-8", "en_US", "en_US_POSIX", "en-US-POSIX", "en_US_POSIX.UTF-8",
                           "de-DE-u-kc-true", "en-u-ks-level3", "de-DE-u-kc-true-ks-level3", "sv_SE"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Sorted(name, u"bABacC"), "AabBcC");
    const qj::Collation collation(qj::IcuLocaleName(name));
    EXPECT_EQ(collation.Compare(u"Zander", u"zANDER"), 0);
    EXPECT_LT(collation.Compare(u"apfel", u"Birne"), 0);
    // Accents still count.
    EXPECT_NE(collation.Compare(u"a", u"\u00e4"), 0);
    std::vector<uint8_t> upper, lower;
    collation.AppendSortKey(u"MEIER", upper);
    collation.AppendSortKey(u"meier", lower);
    EXPECT_EQ(upper, lower);
  }
}

}  // namespace
