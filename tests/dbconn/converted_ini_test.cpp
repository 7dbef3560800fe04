// Cutting and matching records of the converted ini file.

#include "dbconn/converted_ini.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/run_context.h"
#include "support/run_context_fixture.h"
#include "support/test_support.h"

namespace {

// The whole record as "header|number|key|value", "|-" added without a number.
std::string Find(const std::string& file, const std::string& header, const std::string& key, int32_t number) {
  const qj::ConvertedRecord r = qj::FindConvertedRecord(file, header, key, number);
  return r.HeaderText + "|" + std::to_string(r.Number) + "|" + r.Key + "|" + r.Value + (r.HasNumber ? "" : "|-");
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(ConvertedIniTest, MatchingAndCuttingRules) {
  const std::string two = "x;GRP;\n7;DATABASE;abc\nx;GRP;\n8;LOGIN;user1\n";
  const std::string zero = "x;GRP;\n0;DATABASE;abc\n" + two;
  const std::string tooLong = "x;G;" + std::string(195, 'h') + "\n";
  const std::string longEntry = "x;G;\n7;LOGIN;" + std::string(400, 'v') + "\n";
  const std::string later = "x;G;\n8;DATABASE;d\n";
  const struct {
    std::string file, header, key;
    int32_t number;
    std::string expected;
  } cases[] = {
      {two, "", "DATABASE", 0, "GRP|7|DATABASE|abc"},
      {two, "", "LOGIN", 0, "GRP|8|LOGIN|user1"},
      {two, "", "PASS", 0, "|0||"},
      {two, "GRP", "none", 99, "GRP|7|DATABASE|abc"},
      // Number 0 answers every lookup for number 0, whatever the key.
      {zero, "", "LOGIN", 0, "GRP|0|DATABASE|abc"},
      {zero, "", "LOGIN", 5, "GRP|8|LOGIN|user1"},
      {"x;G;\n;DATABASE;abc\n", "", "LOGIN", 0, "G|0|DATABASE|abc"},
      // A header line with fewer than two ";" has an empty header text.
      {"x;GRP\n7;DATABASE;abc\n" + two, "", "LOGIN", 0, "|7|DATABASE|abc"},
      {"\n7;DATABASE;abc\n" + two, "", "LOGIN", 0, "|7|DATABASE|abc"},
      {"x;G;\n7;login;a\nx;G;\n7;LOGIN ;b\nx;G;\n7;LOGIN;c\n", "", "LOGIN", 0, "G|7|LOGIN|c"},
      // An entry line without ";" is never matched by number.
      {"x;G;\n\nx;G;\n7;LOGIN;u\n", "", "LOGIN", 0, "G|7|LOGIN|u"},
      {"x;G;\nplain text\n", "G", "", 0, "G|0||plain text\n|-"},
      {"x;G;\n7;DATABASE;\n", "", "DATABASE", 0, "G|7|DATABASE|\n"},
      {"x;G;\n7;DATABASE;abc", "", "DATABASE", 0, "G|7|DATABASE|"},
      {"x;G;\n7;DATABASE;a;b\n", "", "DATABASE", 0, "G|7|DATABASE|a;b"},
      {"x;G;\n7;b\n", "", "", 1, "G|7||b"},
      {"x;;c\n7;;c\n", "none", "none", 7, ";c\n|7|;c\n|c"},
      // Text mode: every CR dropped, 0x1A ends the file.
      {"x;G;\r\n7;DATA\rBASE;a\rbc\r\n", "", "DATABASE", 0, "G|7|DATABASE|abc"},
      {"x;G;\r\n7;DATABASE;\r\n", "", "DATABASE", 0, "G|7|DATABASE|\n"},
      {"x;G;\n7;A;v\n\x1Ax;G;\n8;LOGIN;u\n", "", "LOGIN", 0, "|0||"},
      {"x;G;\n7;LOGIN;u\x1A;more\n", "", "LOGIN", 0, "G|7|LOGIN|"},
      // An odd last line has no partner.
      {"x;G;\n7;A;v\nx\n9;B;w\n", "", "none", 99, "|9|B|w"},
      {"x;G;\n7;A;v\nx\n", "", "none", 99, "|0||"},
      {"", "", "LOGIN", 0, "|0||"},
      // 198 bytes and a line end fit a header read; one more shifts every
      // later pair: the line end becomes the entry, the entry the next header.
      {"x;G;" + std::string(194, 'h') + "\n7;LOGIN;u\n", "", "LOGIN", 0, "G|7|LOGIN|u"},
      {tooLong + "7;LOGIN;u\nx;G;\n", "LOGIN", "none", 99, "LOGIN|0|G|\n"},
      {tooLong + "7;LOGIN;u\n", "", "LOGIN", 0, "|0||"},
      // An entry cut at 399 bytes has no line end, so no value.
      {longEntry, "", "LOGIN", 99, "G|7|LOGIN|"},
      {"x;G;\n7;LOGIN;short\n" + later, "none", "DATABASE", 99, "G|8|DATABASE|d"},
      {longEntry + later, "none", "DATABASE", 99, "|0||"},
      // Over-long key, value and number text are cut.
      {"x;G;\n7;" + std::string(300, 'K') + ";vv\n", "", "", 7, "G|7|" + std::string(200, 'K') + "|vv"},
      {"x;G;\n7;K;" + std::string(250, 'v') + "\n", "", "K", 1, "G|7|K|" + std::string(200, 'v')},
      {"x;G;\n 12345678901234;K;v\n", "", "K", 1, "G|1234567890|K|v"},
      // UTF-8 files, with or without byte order mark, are cut as Windows-1252.
      {"\xEF\xBB\xBFx;G;\n7;LOGIN;M\xC3\xBCller\n", "", "LOGIN", 0, "G|7|LOGIN|M\xFCller"},
      {"x;G;\n7;LOGIN;M\xC3\xBCller\r\n", "", "LOGIN", 0, "G|7|LOGIN|M\xFCller"},
      {"x;G;\n7;LOGIN;M\xFCller\n", "", "LOGIN", 0, "G|7|LOGIN|M\xFCller"},
      {"x;G;" + Repeated("\xC3\xBC", 194) + "\n7;LOGIN;u\n", "", "LOGIN", 0, "G|7|LOGIN|u"},
  };
  for (const auto& c : cases) EXPECT_EQ(Find(c.file, c.header, c.key, c.number), c.expected) << c.file.substr(0, 40);
}

TEST(ConvertedIniTest, NumberText) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {{" 12", 12}, {"\t\n\v\f\r7", 7}, {"12x", 12},         {"x", 0},
               {"-3", -3},  {"+5", 5},          {"- 5", 0},          {"4294967297", 1},
               {"2147483648", INT32_MIN},       {"-2147483648", INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(qj::ReadNumberText(c.text), c.expected) << c.text;
}

using ConvertedIniLookupTest = qjtest::RunContextTest;

TEST_F(ConvertedIniLookupTest, LookupReadsTheFileAndClearsTheResult) {
  qjtest::TempDir dir;
  qjtest::WriteBytes(dir.File("QJDNL00P.TXT"), "x;G;\r\n7;DATABASE;abc\r\n");
  EXPECT_EQ(qj::LookupConvertedValue("", "DATABASE", 0, dir.File("QJDNL00P.TXT")).Value, "abc");
  EXPECT_EQ(qj::LookupConvertedValue("", "LOGIN", 0, dir.File("QJDNL00P.TXT")).Key, "");
  // A missing file, and one that opens but cannot be read, read as empty.
  for (const std::string& path : {dir.File("missing.txt"), std::string("/proc/self/mem")}) {
    qj::ConvertedRecord record;
    record.Value = "stale";
    EXPECT_NO_THROW(record = qj::LookupConvertedValue("", "DATABASE", 0, path));
    EXPECT_EQ(record.Value, "") << path;
  }
}

// The first record out of shape is the one named to the user: its line
// number counts lines of the file, also after a line longer than a read.
TEST(ConvertedIniFileTest, FirstMisshapenRecordAndOwnKeyLookup) {
  const std::string good = "x;G;T\n1;DB_SYSTEM;SQLITE\nx;G;T\n5;LOCALE;de_DE\n";
  EXPECT_EQ(qj::ConvertedIniFile::Parse(good).FirstMisshapen(), nullptr);
  EXPECT_EQ(qj::ConvertedIniFile::Parse("x;G;T\n 7;K;v\nx;G;T\n-2;K;v\n").FirstMisshapen(), nullptr);
  const struct {
    std::string file;
    size_t line;
    std::string text;
    bool header;
  } cases[] = {
      {"# Kommentar\n" + good, 1, "# Kommentar", true},
      {"\n" + good, 1, "", true},
      {"x;G;T\n;DB_SYSTEM;SQLITE\n", 2, ";DB_SYSTEM;SQLITE", false},
      {good + "x;G\n6;K;v\n", 5, "x;G", true},
      // A header line cut at 199 bytes: its rest is read as the entry line.
      {"x;G;" + std::string(300, 'h') + "\n1;K;v\n", 1, "hhh", false},
  };
  for (const auto& c : cases) {
    const qj::ConvertedIniFile file = qj::ConvertedIniFile::Parse(c.file);
    const qj::MisshapenLine* line = file.FirstMisshapen();
    ASSERT_NE(line, nullptr) << c.file;
    EXPECT_EQ(line->LineNumber, c.line) << c.file;
    EXPECT_EQ(line->IsHeader, c.header) << c.file;
    if (c.header || c.line != 1) {
      EXPECT_EQ(line->Text, c.text) << c.file;
    }
  }
  // Only a record with exactly that key answers; the lookup rules take the
  // first record here, whose number reads as 0.
  const qj::ConvertedIniFile shifted = qj::ConvertedIniFile::Parse("#\n" + good);
  EXPECT_EQ(shifted.Find("", "LOCALE", 0).Key, "G");
  EXPECT_EQ(shifted.FindKey("LOCALE"), nullptr);
  const qj::ConvertedIniFile parsed = qj::ConvertedIniFile::Parse(good);
  const qj::ConvertedRecord* locale = parsed.FindKey("LOCALE");
  ASSERT_NE(locale, nullptr);
  EXPECT_EQ(locale->Value, "de_DE");
}

}  // namespace
