// Cutting and matching records of the converted ini file.

#include "dbconn/converted_ini.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/run_context.h"
#include "support/test_support.h"

namespace {

using qj::ConvertedRecord;
using qj::FindConvertedRecord;

// The lookup as the connection setup makes it: empty header text, number 0.
std::string ValueFor(const std::string& file, const std::string& key) {
  return FindConvertedRecord(file, "", key, 0).Value;
}

const std::string kTwoRecords = "x;GRP;\n7;DATABASE;abc\nx;GRP;\n8;LOGIN;user1\n";

TEST(ConvertedIniTest, KeyMatchFindsItsRecord) {
  EXPECT_EQ(ValueFor(kTwoRecords, "DATABASE"), "abc");
  EXPECT_EQ(ValueFor(kTwoRecords, "LOGIN"), "user1");
  EXPECT_EQ(ValueFor(kTwoRecords, "PASS"), "");
  const ConvertedRecord r = FindConvertedRecord(kTwoRecords, "", "DATABASE", 0);
  EXPECT_EQ(r.HeaderText, "GRP");
  EXPECT_EQ(r.Key, "DATABASE");
  EXPECT_EQ(r.Number, 7);
}

TEST(ConvertedIniTest, AnyOneOfThreeCriteriaMatches) {
  // Number 0 answers every lookup for number 0, whatever the key.
  const std::string zero = "x;GRP;\n0;DATABASE;abc\nx;GRP;\n8;LOGIN;user1\n";
  EXPECT_EQ(ValueFor(zero, "LOGIN"), "abc");
  EXPECT_EQ(FindConvertedRecord(zero, "", "LOGIN", 5).Value, "user1");
  // A header line with fewer than two ";" has an empty header text.
  EXPECT_EQ(ValueFor("x;GRP\n7;DATABASE;abc\n" + kTwoRecords, "LOGIN"), "abc");
  EXPECT_EQ(ValueFor("\n7;DATABASE;abc\n" + kTwoRecords, "LOGIN"), "abc");
  // Header text match alone.
  EXPECT_EQ(FindConvertedRecord(kTwoRecords, "GRP", "none", 99).Value, "abc");
  // An entry line starting with ";" has the number 0.
  EXPECT_EQ(ValueFor("x;G;\n;DATABASE;abc\n", "LOGIN"), "abc");
}

TEST(ConvertedIniTest, KeysMatchExactly) {
  const std::string file = "x;G;\n7;login;a\nx;G;\n7;LOGIN ;b\nx;G;\n7;LOGIN;c\n";
  EXPECT_EQ(ValueFor(file, "LOGIN"), "c");
}

TEST(ConvertedIniTest, FieldShapes) {
  EXPECT_EQ(ValueFor("x;G;\n7;DATABASE;\n", "DATABASE"), "\n");
  EXPECT_EQ(ValueFor("x;G;\n7;DATABASE;abc", "DATABASE"), "");
  EXPECT_EQ(ValueFor("x;G;\n7;DATABASE;a;b\n", "DATABASE"), "a;b");
  // Exactly one ";": empty key, the value is all after it.
  ConvertedRecord r = FindConvertedRecord("x;G;\n7;b\n", "", "", 1);
  EXPECT_EQ(r.Key, "");
  EXPECT_EQ(r.Value, "b");
  // Adjacent separators: the field runs to the end of the line.
  r = FindConvertedRecord("x;;c\n7;;c\n", "none", "none", 7);
  EXPECT_EQ(r.HeaderText, ";c\n");
  EXPECT_EQ(r.Key, ";c\n");
  EXPECT_EQ(r.Value, "c");
}

TEST(ConvertedIniTest, EntryLineWithoutSeparatorHasNoNumber) {
  // A blank entry line is no record for number 0; the real one further on is.
  const std::string file = "x;G;\n\nx;G;\n7;LOGIN;u\n";
  EXPECT_EQ(ValueFor(file, "LOGIN"), "u");
  const ConvertedRecord r = FindConvertedRecord("x;G;\nplain text\n", "G", "", 0);
  EXPECT_FALSE(r.HasNumber);
  EXPECT_EQ(r.Number, 0);
  EXPECT_EQ(r.Key, "");
  EXPECT_EQ(r.Value, "plain text\n");
}

TEST(ConvertedIniTest, TextModeReading) {
  // CR LF reads like LF, and a CR anywhere is dropped.
  EXPECT_EQ(ValueFor("x;G;\r\n7;DATABASE;abc\r\n", "DATABASE"), "abc");
  EXPECT_EQ(ValueFor("x;G;\r\n7;DATA\rBASE;a\rbc\r\n", "DATABASE"), "abc");
  EXPECT_EQ(ValueFor("x;G;\r\n7;DATABASE;\r\n", "DATABASE"), "\n");
  // 0x1A ends the file.
  EXPECT_EQ(ValueFor("x;G;\n7;A;v\n\x1Ax;G;\n8;LOGIN;u\n", "LOGIN"), "");
  EXPECT_EQ(ValueFor("x;G;\n7;LOGIN;u\x1A;more\n", "LOGIN"), "");
}

TEST(ConvertedIniTest, OddLastLineIsNoRecord) {
  // "x" as a header line would match (empty header text), but has no partner.
  EXPECT_EQ(FindConvertedRecord("x;G;\n7;A;v\nx\n9;B;w\n", "", "none", 99).Key, "B");
  EXPECT_EQ(FindConvertedRecord("x;G;\n7;A;v\nx\n", "", "none", 99).Key, "");
  EXPECT_EQ(ValueFor("", "LOGIN"), "");
}

TEST(ConvertedIniTest, OverLongLinesShiftLaterPairs) {
  // 198 bytes and its line end fit a header read.
  const std::string fits = "x;G;" + std::string(194, 'h') + "\n";
  EXPECT_EQ(ValueFor(fits + "7;LOGIN;u\n", "LOGIN"), "u");
  // One byte more: the line end alone becomes the entry line, and the entry
  // line is read as the next header line.
  const std::string tooLong = "x;G;" + std::string(195, 'h') + "\n";
  const ConvertedRecord shifted = FindConvertedRecord(tooLong + "7;LOGIN;u\nx;G;\n", "LOGIN", "none", 99);
  EXPECT_EQ(shifted.HeaderText, "LOGIN");
  EXPECT_EQ(shifted.Key, "G");
  EXPECT_EQ(ValueFor(tooLong + "7;LOGIN;u\n", "LOGIN"), "");

  // An entry line cut at 399 bytes has no line end: its value is empty, and
  // the rest of the line is the next header line.
  const std::string longEntry = "7;LOGIN;" + std::string(400, 'v') + "\n";
  const ConvertedRecord cut = FindConvertedRecord("x;G;\n" + longEntry, "", "LOGIN", 99);
  EXPECT_EQ(cut.Key, "LOGIN");
  EXPECT_EQ(cut.Value, "");
  // The later pair is shifted: its entry line becomes a lone header line.
  const std::string later = "x;G;\n8;DATABASE;d\n";
  EXPECT_EQ(FindConvertedRecord("x;G;\n7;LOGIN;short\n" + later, "none", "DATABASE", 99).Value, "d");
  EXPECT_EQ(FindConvertedRecord("x;G;\n" + longEntry + later, "none", "DATABASE", 99).Key, "");
}

TEST(ConvertedIniTest, OverLongFieldsAreCut) {
  const std::string key(300, 'K');
  const ConvertedRecord r = FindConvertedRecord("x;G;\n7;" + key + ";" + std::string(90, 'v') + "\n", "", "", 7);
  EXPECT_EQ(r.Key, key.substr(0, 200));
  const ConvertedRecord v = FindConvertedRecord("x;G;\n7;K;" + std::string(250, 'v') + "\n", "", "K", 1);
  EXPECT_EQ(v.Value, std::string(200, 'v'));
  const ConvertedRecord n = FindConvertedRecord("x;G;\n 12345678901234;K;v\n", "", "K", 1);
  EXPECT_EQ(n.Number, 1234567890);
}

TEST(ConvertedIniTest, NumberText) {
  EXPECT_EQ(qj::ReadNumberText(" 12"), 12);
  EXPECT_EQ(qj::ReadNumberText("\t\n\v\f\r7"), 7);
  EXPECT_EQ(qj::ReadNumberText("12x"), 12);
  EXPECT_EQ(qj::ReadNumberText("x"), 0);
  EXPECT_EQ(qj::ReadNumberText("-3"), -3);
  EXPECT_EQ(qj::ReadNumberText("+5"), 5);
  EXPECT_EQ(qj::ReadNumberText("- 5"), 0);
  EXPECT_EQ(qj::ReadNumberText("4294967297"), 1);
  EXPECT_EQ(qj::ReadNumberText("2147483648"), INT32_MIN);
  EXPECT_EQ(qj::ReadNumberText("-2147483648"), INT32_MIN);
}

TEST(ConvertedIniTest, LookupReadsTheFileAndClearsTheResult) {
  qjtest::TempDir dir;
  const std::string path = dir.File("QJDNL00P.TXT");
  qjtest::WriteBytes(path, "x;G;\r\n7;DATABASE;abc\r\n");
  qj::ctx = qj::RunContext{};
  qj::LookupConvertedValue("", "DATABASE", 0, path);
  EXPECT_EQ(qj::ctx.LookupResult.Value, "abc");
  qj::LookupConvertedValue("", "LOGIN", 0, path);
  EXPECT_EQ(qj::ctx.LookupResult.Value, "");
  EXPECT_EQ(qj::ctx.LookupResult.Key, "");
  qj::ctx.LookupResult.Value = "stale";
  qj::LookupConvertedValue("", "DATABASE", 0, dir.File("missing.txt"));
  EXPECT_EQ(qj::ctx.LookupResult.Value, "");
  // A file that opens but cannot be read (reading /proc/self/mem from its
  // start fails) reads as empty.
  qj::ctx.LookupResult.Value = "stale";
  EXPECT_NO_THROW(qj::LookupConvertedValue("", "DATABASE", 0, "/proc/self/mem"));
  EXPECT_EQ(qj::ctx.LookupResult.Value, "");
  qj::ctx = qj::RunContext{};
}

}  // namespace
