// The output sort: the quicksort over precomputed sort keys against a straight
// transcription of its steps over plain collator comparisons.

#include "extract/sort_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/collation.h"

namespace {

using qj::Collation;
using Lines = std::vector<std::string>;

int Compare(const Collation& c, const std::string& a, const std::string& b) {
  return c.Compare(qj::Cp1252ToUtf16(a), qj::Cp1252ToUtf16(b));
}

// The sort exactly as the steps describe it, on the lines themselves.
void ReferenceSort(Lines& lines, const Collation& c, long l, long r) {
  const auto at = [&lines](long k) -> std::string& { return lines[static_cast<size_t>(k)]; };
  for (;;) {
    long i = l, j = r, p = (l + r) / 2;  // p follows the pivot line when it is swapped
    do {
      while (Compare(c, at(i), at(p)) < 0) ++i;
      while (Compare(c, at(j), at(p)) > 0) --j;
      if (i <= j) {
        std::swap(at(i), at(j));
        p = p == i ? j : p == j ? i : p;
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) ReferenceSort(lines, c, l, j);
    l = i;
    if (i >= r) return;
  }
}

Lines Sorted(Lines lines, const Collation& c, bool reference) {
  if (!reference) {
    qj::LineList list(lines);
    qj::SortLines(list, c);
    return list.Strings();
  } else if (lines.size() >= 2) {
    ReferenceSort(lines, c, 0, static_cast<long>(lines.size()) - 1);
  }
  return lines;
}

TEST(Collation, IgnoresCaseButNotAccentsAndFollowsTheLocale) {
  Collation root("root"), german("de_DE"), swedish("sv_SE");
  EXPECT_EQ(Compare(root, "Meier", "mEIER"), 0);
  EXPECT_LT(Compare(root, "a", "B"), 0);
  EXPECT_LT(Compare(root, "B", "c"), 0);
  EXPECT_NE(Compare(root, "a", "\xE4"), 0);
  EXPECT_LT(Compare(root, "", " "), 0);
  EXPECT_LT(Compare(german, "\xE4", "z"), 0);
  EXPECT_GT(Compare(swedish, "\xE4", "z"), 0);  // Swedish sorts a-umlaut after z
}

TEST(SortLines, SameOrderAsTheStepsOverPlainComparisons) {
  // Lines differing only in case keep the quicksort's own order (a stable
  // sort would give "A a a b B").
  Collation root("root");
  EXPECT_EQ(Sorted({"b", "A", "a", "B", "a"}, root, false), (Lines{"a", "a", "A", "b", "B"}));
  EXPECT_EQ(Sorted({"b", "A", "a", "B", "a"}, root, true), (Lines{"a", "a", "A", "b", "B"}));
  std::mt19937 rng(4711);
  const std::string alphabet = "aAbBcC\xE4\xC4 -1";
  for (const char* locale : {"root", "de_DE", "sv_SE"}) {
    Collation collation(locale);
    for (int round = 0; round < 300; ++round) {
      Lines lines(rng() % 120);
      for (std::string& line : lines) {
        for (size_t k = 0, length = rng() % 5; k < length; ++k) line.push_back(alphabet[rng() % alphabet.size()]);
      }
      ASSERT_EQ(Sorted(lines, collation, false), Sorted(lines, collation, true)) << locale << " round " << round;
    }
  }
}

}  // namespace
