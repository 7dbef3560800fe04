// The fast date/time pattern renderer against ICU's own SimpleDateFormat.

#include "extract/date_pattern.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/locale_formats.h"

namespace {

using qj::DatePattern;
using qj::IcuDateFormatter;

std::string Render(const DatePattern& p, int y, int mo, int d, int h, int mi, int s) {
  std::string out;
  p.Render(y, mo, d, h, mi, s, out);
  return out;
}

TEST(LocaleFormats, PatternsAndSymbolsOfTheMainLocales) {
  EXPECT_EQ(qj::ShortDatePattern("de_DE"), "dd.MM.yyyy");
  EXPECT_EQ(qj::ShortDatePattern("en_US"), "M/d/yyyy");
  EXPECT_EQ(qj::ShortDatePattern("root"), "yyyy-MM-dd");
  EXPECT_EQ(qj::MediumTimePattern("de_DE"), "HH:mm:ss");
  EXPECT_EQ(qj::MediumTimePattern("root"), "HH:mm:ss");
  EXPECT_EQ(qj::IcuDecimalSymbol("de_DE"), ",");
  EXPECT_EQ(qj::IcuDecimalSymbol("en_US"), ".");
  EXPECT_EQ(qj::IcuDecimalSymbol("root"), ".");
  const qj::AmPmMarkers us = qj::IcuAmPmMarkers("en_US");
  EXPECT_EQ(us.am, "AM");
  EXPECT_EQ(us.pm, "PM");
}

TEST(DatePattern, QuotedLiteralsAndFieldCounts) {
  auto p = DatePattern::Compile("'Tag' d 'um' HH'h'mm''ss yy k K", "vorm.", "nachm.");
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(Render(*p, 2026, 12, 8, 0, 5, 7), "Tag 8 um 00h05'07 26 24 0");
  EXPECT_EQ(Render(*p, 2005, 1, 31, 23, 59, 59), "Tag 31 um 23h59'59 05 23 11");
  auto a = DatePattern::Compile("hh:mm a", "vorm.", "nachm.");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(Render(*a, 2026, 1, 1, 0, 0, 0), "12:00 vorm.");
  EXPECT_EQ(Render(*a, 2026, 1, 1, 13, 1, 0), "01:01 nachm.");
}

TEST(DatePattern, RefusesFieldsItDoesNotRender) {
  EXPECT_FALSE(DatePattern::Compile("d MMM y", "AM", "PM").has_value());
  EXPECT_FALSE(DatePattern::Compile("EEE d.M.y", "AM", "PM").has_value());
  EXPECT_FALSE(DatePattern::Compile("Bh:mm:ss", "AM", "PM").has_value());
  EXPECT_TRUE(DatePattern::Compile("'MMM' d", "AM", "PM").has_value());
}

// For every locale whose patterns the renderer takes, its output must equal
// ICU's over many dates and times; the others must fall back.
TEST(DatePattern, MatchesIcuAcrossLocales) {
  const char* locales[] = {"root",  "de_DE", "en_US", "fr_FR", "ja_JP", "en_GB", "de_CH", "de_AT",
                           "it_IT", "es_ES", "nl_NL", "pl_PL", "ru_RU", "sv_SE", "ko_KR", "zh_CN",
                           "en_AU", "pt_BR", "fi_FI", "da_DK", "cs_CZ", "hu_HU", "tr_TR", "en_CA",
                           "fr_CA", "zh_TW", "hi_IN", "nb_NO", "bg_BG", "el_GR"};
  std::mt19937 rng(20261208);
  int fastLocales = 0;
  for (const char* loc : locales) {
    SCOPED_TRACE(loc);
    const qj::AmPmMarkers markers = qj::IcuAmPmMarkers(loc);
    const std::string datePattern = qj::ShortDatePattern(loc);
    const std::string timePattern = qj::MediumTimePattern(loc);
    auto date = DatePattern::Compile(datePattern, markers.am, markers.pm);
    auto time = DatePattern::Compile(timePattern, markers.am, markers.pm);
    if (date && time) ++fastLocales;
    if (date) {
      IcuDateFormatter icu(loc, datePattern);
      for (int i = 0; i < 3000; ++i) {
        const int y = i < 100 ? 1900 + i : 1 + static_cast<int>(rng() % 9999);
        const int m = 1 + static_cast<int>(rng() % 12);
        const int d = 1 + static_cast<int>(rng() % 28);
        std::string expected;
        icu.Append(y, m, d, 0, 0, 0, expected);
        ASSERT_EQ(Render(*date, y, m, d, 0, 0, 0), expected) << datePattern << " " << y << "-" << m << "-" << d;
      }
    }
    if (time) {
      IcuDateFormatter icu(loc, timePattern);
      for (int t = 0; t < 86400; t += 37) {
        const int h = t / 3600, mi = t / 60 % 60, s = t % 60;
        std::string expected;
        icu.Append(2026, 12, 8, h, mi, s, expected);
        ASSERT_EQ(Render(*time, 2026, 12, 8, h, mi, s), expected) << timePattern << " " << t;
      }
    }
  }
  EXPECT_GE(fastLocales, 20);
  for (const char* loc : {"root", "de_DE", "en_US"}) {
    const qj::AmPmMarkers markers = qj::IcuAmPmMarkers(loc);
    EXPECT_TRUE(DatePattern::Compile(qj::ShortDatePattern(loc), markers.am, markers.pm).has_value()) << loc;
    EXPECT_TRUE(DatePattern::Compile(qj::MediumTimePattern(loc), markers.am, markers.pm).has_value()) << loc;
  }
}

}  // namespace
