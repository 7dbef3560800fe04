// Which bytes are read as UTF-8: command line words and the stored files.

#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace {

TEST(TextEncodingTest, Utf8Validity) {
  for (const char* valid : {"", "plain", "M\xC3\xBCller", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(qj::IsValidUtf8(valid)) << valid;
  }
  // Windows-1252 umlauts, a cut sequence, overlong forms, surrogates, beyond U+10FFFF, stray continuations.
  for (const char* invalid : {"M\xFCller", "\xC3", "a\xE2\x82", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                              "\xF4\x90\x80\x80", "\x80", "\xC3\xBC\xBC", "\xF8\x88\x80\x80\x80"}) {
    EXPECT_FALSE(qj::IsValidUtf8(invalid)) << invalid;
  }
}

TEST(TextEncodingTest, CommandLineWords) {
  size_t replaced = 99;
  EXPECT_EQ(qj::WordAsCp1252("M\xC3\xBCller \xE2\x82\xAC", replaced), "M\xFCller \x80");
  EXPECT_EQ(replaced, 0u);
  // A word that is no UTF-8 keeps its bytes.
  EXPECT_EQ(qj::WordAsCp1252("M\xFCller?", replaced), "M\xFCller?");
  EXPECT_EQ(replaced, 0u);
  // Characters the code page cannot hold are counted; a "?" of the word is not.
  EXPECT_EQ(qj::WordAsCp1252("?\xCE\xA9-\xF0\x9F\x98\x80", replaced), "?" "?-?");
  EXPECT_EQ(replaced, 2u);
}

TEST(TextEncodingTest, StoredFiles) {
  // A byte order mark decides; without one, UTF-8 that holds non-ASCII does.
  EXPECT_EQ(qj::StoredTextAsCp1252("\xEF\xBB\xBFSQL001=K\xC3\xB6ln\n"), "SQL001=K\xF6ln\n");
  EXPECT_EQ(qj::StoredTextAsCp1252("\xEF\xBB\xBF" "abc"), "abc");
  EXPECT_EQ(qj::StoredTextAsCp1252("SQL001=K\xC3\xB6ln\n"), "SQL001=K\xF6ln\n");
  // Windows-1252 files, ASCII files and files with a stray byte stay as they are.
  for (const std::string stored : {"SQL001=K\xF6ln\n", "SQL001=ascii\n", "x=\xC3\xB6 y=\xF6\n", "\xC3\xA4\xC3"}) {
    EXPECT_EQ(qj::StoredTextAsCp1252(stored), stored);
  }
}

TEST(TextEncodingTest, Cp1252ToUtf8RoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = qj::Cp1252ToUtf8(all);
  EXPECT_TRUE(qj::IsValidUtf8(utf8));
  EXPECT_EQ(qj::Utf8ToCp1252(utf8), all);
  EXPECT_EQ(qj::Cp1252ToUtf8("K\xF6ln \x80 \x9F"), "K\xC3\xB6ln \xE2\x82\xAC \xC5\xB8");
}

}  // namespace
