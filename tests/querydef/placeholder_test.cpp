// Placeholder replacement: every occurrence, searching again from the start of
// the changed text after each replacement.

#include "querydef/placeholder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using qj::kCompanyPlaceholder;
using qj::kTerminalPlaceholder;
using qj::ReplacePlaceholder;

// The replacement as described, for texts where it ends: search from the
// start, replace the first occurrence, repeat.
std::string Restarting(std::string text, const std::string& placeholder, const std::string& value) {
  for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder)) {
    text.replace(at, placeholder.size(), value);
  }
  return text;
}

std::string Replaced(std::string text, std::string_view placeholder, std::string_view value, bool* found = nullptr) {
  const bool replaced = ReplacePlaceholder(text, placeholder, value);
  if (found != nullptr) *found = replaced;
  return text;
}

TEST(Placeholder, EveryOccurrenceAnywhereIsReplaced) {
  bool found = false;
  EXPECT_EQ(Replaced(" a='$parm02' AND b='$parm02' ", kCompanyPlaceholder, "0100", &found),
            " a='0100' AND b='0100' ");
  EXPECT_TRUE(found);
  EXPECT_EQ(Replaced("$parm01", kTerminalPlaceholder, "T1"), "T1");
  EXPECT_EQ(Replaced("$parm01x$parm01", kTerminalPlaceholder, ""), "x");
  EXPECT_EQ(Replaced("'$parm01'", kTerminalPlaceholder, "", &found), "''");
  EXPECT_TRUE(found);
}

TEST(Placeholder, CompanyFirstThenTerminal) {
  std::string text = " f='$parm02' AND t='$parm01' ";
  EXPECT_TRUE(ReplacePlaceholder(text, kCompanyPlaceholder, "0100"));
  EXPECT_EQ(text, " f='0100' AND t='$parm01' ");
  EXPECT_TRUE(ReplacePlaceholder(text, kTerminalPlaceholder, "T1"));
  EXPECT_EQ(text, " f='0100' AND t='T1' ");
}

TEST(Placeholder, OtherSpellingsAreNoPlaceholders) {
  for (const std::string text : {"$PARM02", "$parm2", "$Parm02", "parm02", "$parm0 2", "", "$parm0"}) {
    bool found = true;
    EXPECT_EQ(Replaced(text, kCompanyPlaceholder, "X", &found), text);
    EXPECT_FALSE(found) << text;
  }
}

TEST(Placeholder, PlaceholdersFormedByAReplacementAreReplacedToo) {
  EXPECT_EQ(Replaced("$parm$parm02", kCompanyPlaceholder, "02"), "02");
  EXPECT_EQ(Replaced("$parm0$parm022", kCompanyPlaceholder, "2"), "22");
  // A value that ends a placeholder begun before it, again and again.
  EXPECT_EQ(Replaced("$parm$parm$parm$parm0202", kCompanyPlaceholder, "02"), "0202");
  // Each step forms a new placeholder with the next character of the rest.
  EXPECT_EQ(Replaced("$parm02222x", kCompanyPlaceholder, "$parm0"), "$parm0x");
  EXPECT_EQ(Replaced("a$parm02b$parm02", kCompanyPlaceholder, "$parm0"), "a$parm0b$parm0");
}

TEST(Placeholder, ValueHoldingItsOwnPlaceholderIsInsertedOnce) {
  bool found = false;
  EXPECT_EQ(Replaced("a $parm01 b $parm01", kTerminalPlaceholder, "<$parm01>", &found), "a <$parm01> b <$parm01>");
  EXPECT_TRUE(found);
  EXPECT_EQ(Replaced("$parm02", kCompanyPlaceholder, "$parm02"), "$parm02");
  EXPECT_EQ(Replaced("no placeholder", kCompanyPlaceholder, "$parm02", &found), "no placeholder");
  EXPECT_FALSE(found);
}

TEST(Placeholder, ValuesThatWouldGrowForeverEndAsInsertedOnce) {
  // "$a" with "aa$$": every replacement leaves "$" + "a" for the next one,
  // and the text grows without end.
  EXPECT_EQ(Replaced("$aa", "$a", "aa$$"), "aa$$a");
  // The same for the company placeholder: "$" before the text and "$" at the
  // end of each inserted value start the next placeholder.
  EXPECT_EQ(Replaced("$$parm02", kCompanyPlaceholder, "parm02parm02$$"), "$parm02parm02$$");
  // A similar value whose chain runs out gets the restarting result.
  EXPECT_EQ(Replaced("$parm02parm02", kCompanyPlaceholder, "parm02$$"), "parm02parm02$$$$");
}

TEST(Placeholder, SameResultAsTheRestartingSearchOnSmallTexts) {
  // Every text of up to six characters over a small alphabet, with values
  // that do not hold the placeholder and make the restarting search end.
  const std::string alphabet = "$ab";
  const std::string placeholder = "$ab";
  const std::string values[] = {"", "a", "b", "$", "$a", "ab", "b$a", "$$a", "aab", "xyz$a", "b$"};
  std::string text;
  for (int length = 0; length <= 6; ++length) {
    int combinations = 1;
    for (int i = 0; i < length; ++i) combinations *= 3;
    for (int n = 0; n < combinations; ++n) {
      text.clear();
      for (int i = 0, rest = n; i < length; ++i, rest /= 3) text += alphabet[static_cast<size_t>(rest % 3)];
      for (const std::string& value : values) {
        EXPECT_EQ(Replaced(text, placeholder, value), Restarting(text, placeholder, value))
            << "text '" << text << "' value '" << value << "'";
      }
    }
  }
}

TEST(Placeholder, LongTextsStayFast) {
  const std::string text = std::string(200000, '$') + "parm01" + std::string(200000, '1');
  // Every step eats one "1" and leaves a new "$parm01"... until the ones run out.
  EXPECT_EQ(Replaced(text, kTerminalPlaceholder, "$parm0"), std::string(200000, '$') + "parm0");
}

}  // namespace
