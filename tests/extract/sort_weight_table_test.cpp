// The output sort through the Windows-1252 weight table against the sort
// through the collator's own keys: the same quicksort on random lines full
// of letter-case and accent ties, blanks, digits and punctuation must leave
// the lines in exactly the same order, equal lines included.

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "extract/sort_lines.h"
#include "extract/weight_table_sort.h"
#include "platform/collation.h"
#include "support/random_records.h"

namespace {

using qj::Collation;
using qj::SortKeyKind;
using qjtest::RandomRecords;

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

TEST(SortWeightTable, LinesAlikeFarIntoTheRecordSortByTheirWhole) {
  // A key holds the first weights of a line only: records that agree in a
  // long name field (case, accents and blanks aside) are ordered by what
  // follows, and the same record twice stays twice. The entries are given
  // back once the order is fixed.
  std::mt19937 rng(29);
  const Collation collation("de_DE");
  const std::vector<std::string> heads = {"M\xFCller Gartenbau und S\xF6hne  ", "MULLER GARTENBAU UND SOHNE     ",
                                          "m\xFCller gartenbau und s\xF6hne  ", "Mueller Gartenbau und Soehne  "};
  const std::string tails = "aA\xE4\xC4 0-9.zZ";
  std::vector<std::string> lines;
  for (size_t i = 0; i < 2 * qj::kWeightTableLines; ++i) {
    std::string line = heads[rng() % heads.size()];
    for (int k = 0; k < 6; ++k) line += tails[rng() % tails.size()];
    lines.push_back(line);
    if (i % 7 == 0) lines.push_back(line);
  }
  ASSERT_EQ(Sorted(lines, collation, SortKeyKind::WeightTable), Sorted(lines, collation, SortKeyKind::CollatorKeys));

  qj::LineList list(lines);
  const std::unique_ptr<qj::WeightTableSort> sort = qj::WeightTableSort::For(collation);
  if (!sort) return;  // the Windows collation has no weight table: the sort above went by its keys
  ASSERT_TRUE(sort->Add(list.Refs().data(), list.size()));
  EXPECT_EQ(sort->size(), list.size());
  sort->Sort(list);
  EXPECT_EQ(sort->size(), 0u);
  EXPECT_EQ(list.Strings(), Sorted(lines, collation, SortKeyKind::CollatorKeys));
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
