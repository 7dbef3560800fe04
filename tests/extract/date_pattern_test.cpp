// The fast date/time pattern renderer against ICU's own SimpleDateFormat.

#include "extract/date_pattern.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/locale_formats.h"

namespace {

using qj::DatePattern;

std::string Render(const char* pattern, int y, int mo, int d, int h, int mi, int s) {
  const auto p = DatePattern::Compile(pattern, "vorm.", "nachm.");
  if (!p) return "refused";
  std::string out;
  p->Render(y, mo, d, h, mi, s, out);
  return out;
}

TEST(DatePattern, QuotedLiteralsFieldCountsAndRefusals) {
  EXPECT_EQ(Render("'Tag' d 'um' HH'h'mm''ss yy k K", 2026, 12, 8, 0, 5, 7), "Tag 8 um 00h05'07 26 24 0");
  EXPECT_EQ(Render("'MMM' d hh:mm a", 2026, 1, 31, 23, 1, 0), "MMM 31 11:01 nachm.");
  EXPECT_EQ(Render("hh:mm a", 2026, 1, 1, 0, 0, 0), "12:00 vorm.");
  for (const char* refused : {"d MMM y", "EEE d.M.y", "Bh:mm:ss"}) EXPECT_EQ(Render(refused, 2026, 1, 1, 0, 0, 0), "refused");
}

// Long literals, long markers and wide field counts render whole, however
// they fall on the renderer's own buffer.
TEST(DatePattern, LongLiteralsMarkersAndCountsRenderWhole) {
  const std::string longText(150, 'x');
  const std::string marker(200, 'p');
  for (size_t before = 0; before < 100; before += 7) {  // a literal before the fields
    const std::string lead(before + 1, 'L');
    const auto p = DatePattern::Compile("'" + lead + "'ddddddddddddddddddddddddd '" + longText + "' yyyyy a HH", "am", marker);
    ASSERT_TRUE(p);
    std::string out = "old";
    p->Render(2026, 3, 4, 13, 0, 0, out);
    EXPECT_EQ(out, "old" + lead + std::string(24, '0') + "4 " + longText + " 02026 " + marker + " 13") << before;
  }
}

// Numbers of every size against printf's zero padding, for every field
// count up to six and wherever the number falls in the renderer's buffer:
// the short numbers take a table of digit pairs, the rest a digit loop.
TEST(DatePattern, NumbersPadLikePrintfWhereverTheyFall) {
  for (int count = 1; count <= 6; ++count) {
    for (size_t lead : {size_t{0}, size_t{1}, size_t{90}, size_t{92}, size_t{93}, size_t{95}}) {
      const auto p = DatePattern::Compile("'" + std::string(lead + 1, 'L') + "'" + std::string(static_cast<size_t>(count), 'y'),
                                          "am", "pm");
      ASSERT_TRUE(p);
      for (int year = 0; year <= 12345; year += (year < 1200 ? 1 : 37)) {
        // "yy" shows the year of the century, as ICU does.
        const int shown = count == 2 ? year % 100 : year;
        char expected[32];
        std::snprintf(expected, sizeof expected, "%0*d", count, shown);
        std::string out;
        p->Render(year, 1, 1, 0, 0, 0, out);
        ASSERT_EQ(out, std::string(lead + 1, 'L') + expected) << "count " << count << " year " << year;
      }
    }
  }
  const auto clock = DatePattern::Compile("H:mm:ss d.M.", "am", "pm");
  ASSERT_TRUE(clock);
  for (int minute = 0; minute < 60; ++minute) {
    std::string out;
    clock->Render(2026, minute % 12 + 1, minute % 31 + 1, minute % 24, minute, 59 - minute, out);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%d:%02d:%02d %d.%d.", minute % 24, minute, 59 - minute, minute % 31 + 1,
                  minute % 12 + 1);
    EXPECT_EQ(out, expected);
  }
}

// Patterns of two-digit fields and four-digit years render through their
// fixed text; a number wider than its field, or below zero, renders as the
// digit loop does, and the output holds nothing of the attempt.
TEST(DatePattern, FixedWidthPatternsAndWhatDoesNotFitThem) {
  EXPECT_EQ(Render("dd.MM.yyyy HH:mm:ss", 2026, 3, 4, 5, 6, 7), "04.03.2026 05:06:07");
  EXPECT_EQ(Render("dd.MM.yy", 2026, 12, 31, 0, 0, 0), "31.12.26");
  EXPECT_EQ(Render("kk KK hh HH", 2026, 1, 1, 0, 0, 0), "24 00 12 00");
  EXPECT_EQ(Render("kk KK hh HH", 2026, 1, 1, 13, 0, 0), "13 01 01 13");
  EXPECT_EQ(Render("'am' dd", 2026, 1, 9, 0, 0, 0), "am 09");
  EXPECT_EQ(Render("dd.MM.yyyy", 12026, 1, 2, 0, 0, 0), "02.01.12026");
  EXPECT_EQ(Render("dd.MM.yyyy", 826, 1, 2, 0, 0, 0), "02.01.0826");
  EXPECT_EQ(Render("dd.MM.yyyy", -5, 1, 2, 0, 0, 0), "02.01.0000");
  EXPECT_EQ(Render("HH:mm", 2026, 1, 1, 7, 123, 0), "07:123");
  EXPECT_EQ(Render("HH:mm aa", 2026, 1, 1, 7, 5, 0), "07:05 vorm.");  // a marker, never two digits
  const auto p = DatePattern::Compile("yyyy-MM-dd", "am", "pm");
  ASSERT_TRUE(p);
  std::string out = "x";
  p->Render(20260, 1, 2, 0, 0, 0, out);
  p->Render(2026, 1, 2, 0, 0, 0, out);
  EXPECT_EQ(out, "x20260-01-022026-01-02");
}

// For every locale whose patterns the renderer takes, its output must equal
// ICU's over many dates and times; the others fall back.
TEST(DatePattern, MatchesIcuAcrossLocales) {
  const char* locales[] = {"root",  "de_DE", "en_US", "fr_FR", "ja_JP", "en_GB", "de_CH", "de_AT",
                           "it_IT", "es_ES", "nl_NL", "pl_PL", "ru_RU", "sv_SE", "ko_KR", "zh_CN",
                           "en_AU", "pt_BR", "fi_FI", "da_DK", "cs_CZ", "hu_HU", "tr_TR", "en_CA",
                           "fr_CA", "zh_TW", "hi_IN", "nb_NO", "bg_BG", "el_GR"};
  std::mt19937 rng(20261208);
  int fastLocales = 0;
  for (const char* loc : locales) {
    SCOPED_TRACE(loc);
    const qj::AmPmMarkers markers = qj::AmPmMarkersOf(loc);
    const std::string datePattern = qj::ShortDatePattern(loc), timePattern = qj::MediumTimePattern(loc);
    const auto date = DatePattern::Compile(datePattern, markers.am, markers.pm);
    const auto time = DatePattern::Compile(timePattern, markers.am, markers.pm);
    const bool main = std::string(loc) == "root" || std::string(loc) == "de_DE" || std::string(loc) == "en_US";
    EXPECT_TRUE(!main || (date && time)) << "the main locales take the fast path";
    fastLocales += date && time;
    qj::DateFormatter icuDate(loc, datePattern), icuTime(loc, timePattern);
    for (int i = 0; date && i < 3000; ++i) {
      const int y = i < 100 ? 1900 + i : 1 + static_cast<int>(rng() % 9999);
      const int m = 1 + static_cast<int>(rng() % 12), d = 1 + static_cast<int>(rng() % 28);
      std::string expected, actual;
      icuDate.Append(y, m, d, 0, 0, 0, expected);
      date->Render(y, m, d, 0, 0, 0, actual);
      ASSERT_EQ(actual, expected) << datePattern << " " << y << "-" << m << "-" << d;
    }
    for (int t = 0; time && t < 86400; t += 37) {
      std::string expected, actual;
      icuTime.Append(2026, 12, 8, t / 3600, t / 60 % 60, t % 60, expected);
      time->Render(2026, 12, 8, t / 3600, t / 60 % 60, t % 60, actual);
      ASSERT_EQ(actual, expected) << timePattern << " " << t;
    }
  }
  EXPECT_GE(fastLocales, 20);
}

}  // namespace
