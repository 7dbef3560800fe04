// Sort keys computed on a second thread while lines are added, against the
// plain sort at the end: random lines full of letter-case and accent ties,
// umlauts, blanks, digits and punctuation, in sizes below, at and past the
// line from which the thread starts and across its hand-overs, must come out
// in exactly the same order, equal lines included.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "extract/line_list.h"
#include "extract/sort_lines.h"
#include "extract/weight_table_sort.h"
#include "platform/collation.h"
#include "support/random_records.h"

namespace {

using qj::Collation;
using qj::LineList;
using qj::SortKeyKind;
using qjtest::RandomRecords;

std::vector<std::string> PlainSorted(const std::vector<std::string>& lines, const Collation& collation) {
  LineList list(lines);
  qj::SortLines(list, collation, SortKeyKind::CollatorKeys);
  return list.Strings();
}

// The lines added one by one with keys asked for beside from startLines on,
// then sorted as a run sorts them.
std::vector<std::string> SortedBeside(const std::vector<std::string>& lines, const char* locale,
                                      const Collation& collation, size_t startLines,
                                      qj::KeysThread where = qj::KeysThread::Own) {
  LineList list;
  list.ComputeSortKeysBeside(locale, startLines, where);
  for (const std::string& line : lines) list.Add(line);
  qj::SortLines(list, collation);
  return list.Strings();
}

TEST(SortKeysBeside, SameOrderAsThePlainSortAcrossTheThresholds) {
  std::mt19937 rng(20261209);
  constexpr size_t kStart = 700;
  // Hand-overs are 8192 lines apart from the start on.
  const size_t sizes[] = {0, 1, 2, kStart - 1, kStart, kStart + 1, kStart + 8191, kStart + 8192, kStart + 8193,
                          kStart + 3 * 8192 + 17};
  for (const char* locale : {"de_DE", "sv_SE", "root"}) {
    const Collation collation(locale);
    for (const size_t size : sizes) {
      const std::vector<std::string> lines = RandomRecords(rng, size);
      const std::vector<std::string> plain = PlainSorted(lines, collation);
      ASSERT_EQ(SortedBeside(lines, locale, collation, kStart), plain) << locale << ", " << size << " lines";
      ASSERT_EQ(SortedBeside(lines, locale, collation, kStart, qj::KeysThread::HandingOver), plain)
          << locale << ", " << size << " lines, keys while adding";
    }
  }
}

TEST(SortKeysBeside, RunThresholdAndEqualLines) {
  // The threshold a run uses, and lines that are equal or differ only in
  // letter case by the thousand, so that the quicksort's ties decide.
  std::mt19937 rng(5);
  const Collation collation("de_DE");
  std::vector<std::string> lines = RandomRecords(rng, qj::kSortKeysBesideLines + 9000);
  for (size_t i = 0; i < 3000; ++i) lines[rng() % lines.size()] = i % 2 ? "M\xFCller  7" : "M\xDCLLER  7";
  EXPECT_EQ(SortedBeside(lines, "de_DE", collation, qj::kSortKeysBesideLines), PlainSorted(lines, collation));
}

TEST(SortKeysBeside, LinesHeldBackWhileTheThreadLagsAreAddedLater) {
  // At most a few hundred lines may wait for the thread: while it builds its
  // table most hand-overs are refused and their lines go over later, with
  // the ones after them, or at the end where they are read in place. Every
  // line still gets its key, once, in list order.
  std::mt19937 rng(17);
  const Collation collation("de_DE");
  for (const qj::KeysThread where : {qj::KeysThread::Own, qj::KeysThread::HandingOver}) {
    for (const size_t size : {size_t{5000}, size_t{40000}}) {
      const std::vector<std::string> lines = RandomRecords(rng, size);
      LineList list;
      list.ComputeSortKeysBeside("de_DE", 100, where, 300);
      for (const std::string& line : lines) list.Add(line);
      const std::unique_ptr<qj::WeightTableSort> keys = list.TakeSortKeys();
      ASSERT_NE(keys, nullptr) << size;
      EXPECT_EQ(keys->size(), lines.size());
      keys->Sort(list);
      EXPECT_EQ(list.Strings(), PlainSorted(lines, collation)) << size;
    }
  }
}

TEST(SortKeysBeside, KeysOnlyWhereTheThreadRanOverEveryLine) {
  std::mt19937 rng(3);
  const std::vector<std::string> lines = RandomRecords(rng, 300);
  LineList few;
  few.ComputeSortKeysBeside("de_DE", 301);
  for (const std::string& line : lines) few.Add(line);
  EXPECT_EQ(few.TakeSortKeys(), nullptr);  // never started

  LineList all;
  all.ComputeSortKeysBeside("de_DE", 10);
  all.ComputeSortKeysBeside("da_DK", 1);  // asked again: the first request stands
  for (const std::string& line : lines) all.Add(line);
  const std::unique_ptr<qj::WeightTableSort> keys = all.TakeSortKeys();
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->size(), lines.size());
  EXPECT_EQ(all.TakeSortKeys(), nullptr);  // taken once; later lines get none
  all.Add("z");
  EXPECT_EQ(all.TakeSortKeys(), nullptr);

  // Danish has a contraction the weight table cannot hold, and no locale
  // can be opened under this name: the thread makes no keys, and the sort
  // at the end goes its own way (where it meets the same locale error).
  for (const char* locale : {"da_DK", "no_such_locale_\xFF"}) {
    for (const qj::KeysThread where : {qj::KeysThread::Own, qj::KeysThread::HandingOver}) {
      LineList none;
      none.ComputeSortKeysBeside(locale, 1, where);
      for (const std::string& line : lines) none.Add(line);
      EXPECT_EQ(none.TakeSortKeys(), nullptr) << locale;
    }
  }
  const Collation danish("da_DK");
  LineList sorted;
  sorted.ComputeSortKeysBeside("da_DK", 1);
  for (const std::string& line : lines) sorted.Add(line);
  qj::SortLines(sorted, danish);
  EXPECT_EQ(sorted.Strings(), PlainSorted(lines, danish));
}

TEST(SortKeysBeside, ListsEndedWhileTheThreadRunsWaitForIt) {
  // A run that ends early (a field error, exit 3) destroys its list with the
  // thread still at work: the thread stops and is waited for, whether it is
  // still building its table or adding keys.
  std::mt19937 rng(9);
  const std::vector<std::string> lines = RandomRecords(rng, 20000);
  for (const size_t stopAt : {size_t{1}, size_t{5000}, lines.size()}) {
    LineList list;
    list.ComputeSortKeysBeside("de_DE", 1);
    for (size_t i = 0; i < stopAt; ++i) list.Add(lines[i]);
  }
  LineList moved;
  moved.ComputeSortKeysBeside("de_DE", 1);
  for (const std::string& line : lines) moved.Add(line);
  LineList target(std::move(moved));
  const Collation collation("de_DE");
  qj::SortLines(target, collation);
  EXPECT_EQ(target.Strings(), PlainSorted(lines, collation));
}

}  // namespace
