// Placeholder replacement: every occurrence, searching again from the start of
// the changed text after each replacement.

#include "querydef/placeholder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using qj::kCompanyPlaceholder;
using qj::kTerminalPlaceholder;

// The replacement as described, for texts where it ends: search from the
// start, replace the first occurrence, repeat.
std::string Restarting(std::string text, const std::string& placeholder, const std::string& value) {
  for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder)) {
    text.replace(at, placeholder.size(), value);
  }
  return text;
}

// The replaced text, with "!" appended when nothing was found.
std::string Replaced(std::string text, std::string_view placeholder, std::string_view value) {
  return qj::ReplacePlaceholder(text, placeholder, value) ? text : text + "!";
}

TEST(Placeholder, Cases) {
  const struct {
    std::string text;
    std::string_view placeholder;
    std::string value, expected;
  } cases[] = {
      {" a='$parm02' AND b='$parm02' ", kCompanyPlaceholder, "0100", " a='0100' AND b='0100' "},
      {"$parm01x$parm01", kTerminalPlaceholder, "", "x"},
      {"'$parm01'", kTerminalPlaceholder, "", "''"},
      // Other spellings are no placeholders.
      {"$PARM02 $parm2 $Parm02 parm02 $parm0 2 $parm0", kCompanyPlaceholder, "X",
       "$PARM02 $parm2 $Parm02 parm02 $parm0 2 $parm0!"},
      {"", kCompanyPlaceholder, "X", "!"},
      // Placeholders formed by a replacement are replaced too.
      {"$parm$parm02", kCompanyPlaceholder, "02", "02"},
      {"$parm0$parm022", kCompanyPlaceholder, "2", "22"},
      {"$parm$parm$parm$parm0202", kCompanyPlaceholder, "02", "0202"},
      {"$parm02222x", kCompanyPlaceholder, "$parm0", "$parm0x"},
      {"a$parm02b$parm02", kCompanyPlaceholder, "$parm0", "a$parm0b$parm0"},
      // A value holding its own placeholder is inserted once.
      {"a $parm01 b $parm01", kTerminalPlaceholder, "<$parm01>", "a <$parm01> b <$parm01>"},
      {"$parm02", kCompanyPlaceholder, "$parm02", "$parm02"},
      {"no placeholder", kCompanyPlaceholder, "$parm02", "no placeholder!"},
      // Values that would make the text grow forever end as inserted once.
      {"$aa", "$a", "aa$$", "aa$$a"},
      {"$$parm02", kCompanyPlaceholder, "parm02parm02$$", "$parm02parm02$$"},
      {"$parm02parm02", kCompanyPlaceholder, "parm02$$", "parm02parm02$$$$"},
  };
  for (const auto& c : cases) EXPECT_EQ(Replaced(c.text, c.placeholder, c.value), c.expected) << c.text;
}

TEST(Placeholder, SameResultAsTheRestartingSearchOnSmallTexts) {
  // Every text of up to six characters over "$ab", with values that do not
  // hold the placeholder and make the restarting search end.
  const std::string values[] = {"", "a", "b", "$", "$a", "ab", "b$a", "$$a", "aab", "xyz$a", "b$"};
  for (int length = 0, combinations = 1; length <= 6; ++length, combinations *= 3) {
    for (int n = 0; n < combinations; ++n) {
      std::string text;
      for (int i = 0, rest = n; i < length; ++i, rest /= 3) text += "$ab"[rest % 3];
      for (const std::string& value : values) {
        const std::string found = text.find("$ab") == std::string::npos ? "!" : "";
        EXPECT_EQ(Replaced(text, "$ab", value), Restarting(text, "$ab", value) + found)
            << "text '" << text << "' value '" << value << "'";
      }
    }
  }
}

TEST(Placeholder, LongTextsStayFast) {
  // Every step eats one "1" and leaves a new "$parm01" until the ones run out.
  const std::string text = std::string(200000, '$') + "parm01" + std::string(200000, '1');
  EXPECT_EQ(Replaced(text, kTerminalPlaceholder, "$parm0"), std::string(200000, '$') + "parm0");
}

}  // namespace
