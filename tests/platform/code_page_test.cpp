// Windows-1252 to and from Unicode.

#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unicode/utf16.h>
#include <unicode/utf8.h>
#endif

namespace {

TEST(CodePageTest, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string wide = qj::Cp1252ToUtf16(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(qj::Utf16ToCp1252(wide), all);
  EXPECT_EQ(qj::Cp1252ToUtf16("\x80\xFC\x9F\xA0"), u"\u20AC\u00FC\u0178\u00A0");
  // Bytes the code page leaves undefined stand for the C1 control of that value.
  EXPECT_EQ(qj::Cp1252ToUtf16("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(qj::Cp1252ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(CodePageTest, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(qj::Utf16ToCp1252(u"M\u00FCller \u20AC \u2019"), "M\xFCller \x80 \x92");
  // Omega, a pair outside the BMP (one "?"), U+0080 (0x80 is the euro sign),
  // and lone surrogates.
  EXPECT_EQ(qj::Utf16ToCp1252(u"a\u03A9b\U0001F600c\u0080d"), "a?b?c?d");
  EXPECT_EQ(qj::Utf16ToCp1252(std::u16string{u'x', 0xD800, u'y', 0xDC00}), "x?y?");
  std::string out = "ab";
  qj::AppendUtf16AsCp1252(u"\u00E4", out);
  EXPECT_EQ(out, "ab\xE4");
  EXPECT_EQ(qj::Utf8ToCp1252("M\xC3\xBCller \xE2\x82\xAC"), "M\xFCller \x80");
  EXPECT_EQ(qj::Utf8ToCp1252("\xCE\xA9\xF0\x9F\x98\x80"), "??");
  EXPECT_EQ(qj::Utf8ToCp1252("a\xC3z\xFF" "b"), "a?z?b");  // a broken sequence is one "?"
}

#ifndef _WIN32  // the Linux conversions against ICU's own character steps
// UTF-8 of every kind against a conversion one character at a time through
// UTF-16: ASCII runs of every length around the eight-byte steps, two-,
// three- and four-byte characters, and broken sequences, appended to text
// already there.
TEST(CodePageTest, Utf8ConvertsLikeOneCharacterAtATime) {
  const std::vector<std::string> pieces = {"a", "Z", " ", "\xC3\xBC", "\xC3\x84", "\xE2\x82\xAC", "\xE2\x80\x99",
                                           "\xCE\xA9", "\xF0\x9F\x98\x80", "\xC3", "\xFF", "\x80", "\xE2\x82",
                                           std::string(1, '\0')};
  std::mt19937 random(1210);
  for (int round = 0; round < 4000; ++round) {
    std::string text(random() % 20, 'x');  // the ASCII run before the first other character
    const size_t more = random() % 6;
    for (size_t k = 0; k < more; ++k) {
      text += pieces[random() % pieces.size()];
      text += std::string(random() % 11, static_cast<char>('a' + k));
    }
    std::string expected = "vor";
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    for (int32_t i = 0, n = static_cast<int32_t>(text.size()); i < n;) {
      UChar32 cp;
      U8_NEXT(s, i, n, cp);
      std::u16string one;
      if (cp >= 0) {
        if (cp > 0xFFFF) one = {U16_LEAD(cp), U16_TRAIL(cp)};
        else one = {static_cast<char16_t>(cp)};
      }
      expected += cp < 0 ? "?" : qj::Utf16ToCp1252(one);
    }
    std::string out = "vor";
    qj::AppendUtf8AsCp1252(text, out);
    ASSERT_EQ(out, expected) << round;
  }
}

// Valid text converts the same from UTF-16, appended to text already there,
// as from its UTF-8 form.
TEST(CodePageTest, Utf16ConvertsLikeItsUtf8Form) {
  const std::vector<std::u16string> pieces = {u"a", u" ", u"\u00FC", u"\u00C4", u"\u20AC", u"\u2019", u"\u03A9",
                                              u"\U0001F600", std::u16string(1, u'\0')};
  std::mt19937 random(1012);
  for (int round = 0; round < 2000; ++round) {
    std::u16string text;
    const size_t count = random() % 40;
    for (size_t k = 0; k < count; ++k) text += pieces[random() % pieces.size()];
    std::string utf8;
    for (size_t i = 0; i < text.size();) {
      UChar32 cp;
      U16_NEXT(text.data(), i, text.size(), cp);
      uint8_t bytes[4];
      int32_t length = 0;
      UBool error = false;
      U8_APPEND(bytes, length, 4, cp, error);
      ASSERT_FALSE(error);
      utf8.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    }
    std::string expected = "vor";
    qj::AppendUtf8AsCp1252(utf8, expected);
    std::string out = "vor";
    qj::AppendUtf16AsCp1252(text, out);
    ASSERT_EQ(out, expected) << round;
  }
}
#endif

}  // namespace
