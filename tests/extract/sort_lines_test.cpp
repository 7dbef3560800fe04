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

int Compare(const Collation& c, const std::string& a, const std::string& b) {
  return c.Compare(qj::Cp1252ToUtf16(a), qj::Cp1252ToUtf16(b));
}

// The sort exactly as the steps describe it, on the lines themselves.
void ReferenceSort(std::vector<std::string>& lines, const Collation& c, long l, long r) {
  for (;;) {
    long i = l, j = r, p = (l + r) / 2;
    do {
      while (Compare(c, lines[static_cast<size_t>(i)], lines[static_cast<size_t>(p)]) < 0) ++i;
      while (Compare(c, lines[static_cast<size_t>(j)], lines[static_cast<size_t>(p)]) > 0) --j;
      if (i <= j) {
        std::swap(lines[static_cast<size_t>(i)], lines[static_cast<size_t>(j)]);
        if (p == i) {
          p = j;
        } else if (p == j) {
          p = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) ReferenceSort(lines, c, l, j);
    l = i;
    if (i >= r) return;
  }
}

TEST(Collation, RootIgnoresCaseButNotAccents) {
  Collation root("root");
  EXPECT_EQ(Compare(root, "Meier", "mEIER"), 0);
  EXPECT_LT(Compare(root, "a", "B"), 0);
  EXPECT_LT(Compare(root, "B", "c"), 0);
  EXPECT_NE(Compare(root, "a", "\xE4"), 0);  // a and a-umlaut
  EXPECT_LT(Compare(root, "", " "), 0);
}

TEST(Collation, FollowsTheLocale) {
  Collation german("de_DE");
  Collation swedish("sv_SE");
  EXPECT_LT(Compare(german, "\xE4", "z"), 0);
  EXPECT_GT(Compare(swedish, "\xE4", "z"), 0);  // Swedish sorts a-umlaut after z
}

TEST(SortLines, KeysOrderLinesExactlyAsTheCollator) {
  Collation root("root");
  const std::vector<std::string> lines = {"b", "B", "a", "", "\xE4", "A", "ab", "aB", "a b", "a-b", "10", "9"};
  const qj::LineSortKeys keys(lines, root);
  for (size_t x = 0; x < lines.size(); ++x) {
    for (size_t y = 0; y < lines.size(); ++y) {
      const int k = keys.Compare(x, y), c = Compare(root, lines[x], lines[y]);
      EXPECT_EQ((k > 0) - (k < 0), (c > 0) - (c < 0)) << lines[x] << " / " << lines[y];
    }
  }
}

TEST(SortLines, SameOrderAsTheStepsOverPlainComparisons) {
  std::mt19937 rng(4711);
  const std::string alphabet = "aAbBcC\xE4\xC4 -1";
  for (const char* locale : {"root", "de_DE", "sv_SE"}) {
    Collation collation(locale);
    for (int round = 0; round < 300; ++round) {
      std::vector<std::string> lines(rng() % 120);
      for (std::string& line : lines) {
        const size_t length = rng() % 5;
        for (size_t k = 0; k < length; ++k) line.push_back(alphabet[rng() % alphabet.size()]);
      }
      std::vector<std::string> expected = lines;
      if (expected.size() >= 2) ReferenceSort(expected, collation, 0, static_cast<long>(expected.size()) - 1);
      qj::SortLines(lines, collation);
      ASSERT_EQ(lines, expected) << locale << " round " << round;
    }
  }
}

TEST(SortLines, CaseVariantsKeepTheQuicksortsOrder) {
  Collation root("root");
  std::vector<std::string> lines = {"b", "A", "a", "B", "a"};
  std::vector<std::string> expected = lines;
  ReferenceSort(expected, root, 0, 4);
  qj::SortLines(lines, root);
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(Compare(root, lines[0], "a"), 0);
  EXPECT_EQ(Compare(root, lines[2], "a"), 0);
  EXPECT_EQ(Compare(root, lines[3], "b"), 0);
  EXPECT_EQ(Compare(root, lines[4], "b"), 0);
}

}  // namespace
