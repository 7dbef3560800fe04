// The output sort through the Windows-1252 weight table against the sort
// through the collator's own keys: the same quicksort on random lines full
// of letter-case and accent ties, blanks, digits and punctuation must leave
// the lines in exactly the same order, equal lines included.

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "extract/sort_lines.h"
#include "platform/collation.h"

namespace {

using qj::Collation;
using qj::SortKeyKind;

// Lines like the records of a download: a name field of words in mixed
// case, with umlauts and sharp s, often repeated with other letter case or
// accents, then digits, blanks and punctuation.
std::vector<std::string> RandomRecords(std::mt19937& rng, size_t count) {
  static const std::vector<std::string> words = {
      "M\xFCller", "MUELLER", "m\xFClLer", "Meier", "meier", "MEIER", "Mei\xDF", "Meiss", "\xD6l", "ol", "Ol",
      "Stra\xDF" "e", "STRASSE", "Caf\xE9", "cafe", "L\xB7l", "Ch", "ch", "-", "&", "'", "0", "42", "a.b", "\xC4",
      "a",       "A",       "Z",        "z",     " ",     "  ",    "\t",   "K\xF6nig", "koenig"};
  std::vector<std::string> lines;
  lines.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (!lines.empty() && rng() % 4 == 0) {
      // An earlier line again, changed in one letter's case or accent.
      std::string line = lines[rng() % lines.size()];
      for (char& c : line) {
        if (rng() % 6 != 0) continue;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        else if (c == '\xFC') c = 'u';
        else if (c == 'o') c = '\xF6';
      }
      lines.push_back(line);
      continue;
    }
    std::string line;
    const size_t n = 1 + rng() % 6;
    for (size_t k = 0; k < n; ++k) line += words[rng() % words.size()] + (rng() % 2 ? " " : "");
    line.resize(24 + rng() % 12, ' ');  // a name field, then the rest of the record
    line += std::to_string(rng() % 1000) + (rng() % 3 == 0 ? "-" : ",") + std::to_string(rng() % 100);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Sorted(const std::vector<std::string>& lines, const Collation& collation, SortKeyKind kind) {
  qj::LineList list(lines);
  qj::SortLines(list, collation, kind);
  return list.Strings();
}

TEST(SortWeightTable, SameOrderAsTheCollatorKeys) {
  std::mt19937 rng(20261208);
  for (const char* locale : {"de_DE", "sv_SE", "cs_CZ"}) {
    const Collation collation(locale);
    for (int round = 0; round < 3; ++round) {
      const std::vector<std::string> lines = RandomRecords(rng, 1 + rng() % 2000);
      ASSERT_EQ(Sorted(lines, collation, SortKeyKind::WeightTable), Sorted(lines, collation, SortKeyKind::CollatorKeys))
          << locale << " round " << round;
    }
  }
}

TEST(SortWeightTable, CollatorsWithoutTableSortByTheirKeys) {
  // Canadian French weighs accents from the end of a line; Danish has the
  // contraction "aa": the table is refused and the collator's keys sort.
  std::mt19937 rng(7);
  for (const char* locale : {"fr_CA", "da_DK"}) {
    const Collation collation(locale);
    std::vector<std::string> lines = RandomRecords(rng, 500);
    lines.push_back("cote c\xF4te");
    lines.push_back("c\xF4te cote");
    lines.push_back("Aalborg");
    lines.push_back("Zagreb");
    ASSERT_EQ(Sorted(lines, collation, SortKeyKind::WeightTable), Sorted(lines, collation, SortKeyKind::CollatorKeys))
        << locale;
  }
}

TEST(SortWeightTable, LongListsSortOnBothCoresInTheSameOrder) {
  // Long enough for the weight table and for sorting the two halves of the
  // first partition at the same time; the reference is the quicksort on one
  // thread over the collator's keys.
  std::mt19937 rng(11);
  const Collation collation("de_DE");
  const std::vector<std::string> lines = RandomRecords(rng, 60000);
  qj::LineList list(lines);
  const qj::LineSortKeys keys(list, collation);
  std::vector<size_t> order(lines.size());
  std::iota(order.begin(), order.end(), size_t{0});
  qj::QuickSortOrder(order, 0, static_cast<ptrdiff_t>(order.size()) - 1,
                     [&keys](size_t a, size_t b) { return keys.Compare(a, b); });
  std::vector<std::string> expected;
  for (size_t index : order) expected.push_back(lines[index]);
  qj::SortLines(list, collation);
  ASSERT_EQ(list.Strings(), expected);
}

}  // namespace
