// The reader of the query definition file, on bytes and on files, and its
// integer read of the FLEN keys.

#include "querydef/profile_reader.h"

#include "querydef/profile_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using qj::ProfileFile;

TEST(ProfileReader, TextValues) {
  const std::string names = "[Sect1]\nSql001=select 1\n[\xC4rger]\nFeld01=x\n";
  const std::string blanks =
      "  [ S ]  \n\t KEY1 \t=\t  value with  inner  blanks \t\nQ1=\"quoted \"\nQ2='single'\nQ3=\"\"double\"\"\n"
      "Q4=\"mismatch'\nQ5=\"\nQ6=\"\"\nQ7= \" padded \" \nEMPTY=\nBLANKS=   \n";
  const std::string order = "[A]\nK=first\nk=second\n[B]\nK=b\n[a]\nK=third\nNEW=from the repeated section\n";
  const std::string comments =
      "K=before any section\n; [X]\n[S]\n; K=commented\n  ;K2=commented too\njust text\nN=12 ; note\nE=a=b\nK=real\n";
  const std::string crlf = "\xEF\xBB\xBF[S]\r\nA=1\r\nB=two words\r\nC=\r\r\nD=last";
  const char nulBytes[] = "[S]\nA=ab\0cd\nB=x\n[T\0]\nC=y\n";
  const std::string nul(nulBytes, sizeof nulBytes - 1);
  const std::string cut = "[S]\nLONG=" + std::string(3000, 'v') + "\nNEXT=n\nQ=\"" + std::string(2047, 'q') + "\"\n";
  const struct {
    const std::string& ini;
    std::string section, key, expected;
  } cases[] = {
      // Only ASCII letters fold: a Windows-1252 small umlaut is another name.
      {names, "SECT1", "SQL001", "select 1"}, {names, "sect1", "sql001", "select 1"},
      {names, "\xC4RGER", "FELD01", "x"}, {names, "\xE4RGER", "FELD01", "<default>"},
      // Blanks and tabs around names and values go, and one pair of quotes.
      {blanks, "S", "KEY1", "value with  inner  blanks"}, {blanks, "S", "Q1", "quoted "},
      {blanks, "S", "Q2", "single"}, {blanks, "S", "Q3", "\"double\""}, {blanks, "S", "Q4", "\"mismatch'"},
      {blanks, "S", "Q5", "\""}, {blanks, "S", "Q6", ""}, {blanks, "S", "Q7", " padded "},
      {blanks, "S", "EMPTY", ""}, {blanks, "S", "BLANKS", ""},
      // The first section and the first key count.
      {order, "A", "K", "first"}, {order, "B", "K", "b"}, {order, "A", "NEW", "<default>"},
      {comments, "S", "K", "real"}, {comments, "S", "K2", "<default>"}, {comments, "S", "N", "12 ; note"},
      {comments, "S", "E", "a=b"}, {comments, "X", "K", "<default>"}, {comments, "", "K", "<default>"},
      // Only the CR before the LF belongs to the line end; a leading BOM goes.
      {crlf, "S", "A", "1"}, {crlf, "S", "B", "two words"}, {crlf, "S", "C", "\r"}, {crlf, "S", "D", "last"},
      // Later, a byte order mark is a character that Windows-1252 cannot hold.
      {"[S]\n\xEF\xBB\xBFK=v\n", "S", "?K", "v"},
      // A NUL byte ends its line.
      {nul, "S", "A", "ab"}, {nul, "S", "B", "x"}, {nul, "T", "C", "y"},
      {cut, "S", "LONG", std::string(2047, 'v')}, {cut, "S", "NEXT", "n"}, {cut, "S", "Q", std::string(2047, 'q')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileFile::Parse(c.ini).ReadText(c.section, c.key, "<default>"), c.expected)
        << c.ini.substr(0, 30) << " [" << c.section << "] " << c.key;
  }
}

TEST(ProfileReader, Utf8FilesAndCutValues) {
  const std::string utf8 = "[Gr\xC3\xBC\xC3\x9F" "e]\nSQL001=" + std::string(2046, 'a') + "\xC3\xA4\nSQL002=" +
                           std::string(2046, 'a') + "\xC3\xA4\xC3\xA4\n";
  const ProfileFile profile = ProfileFile::Parse(utf8);
  // 2047 Windows-1252 bytes: the umlaut that is the 2047th byte is kept whole.
  EXPECT_EQ(profile.ReadText("GR\xFC\xDF" "E", "SQL001", ""), std::string(2046, 'a') + "\xE4");
  EXPECT_FALSE(profile.WasCut("gr\xFC\xDF" "e", "sql001"));
  EXPECT_EQ(profile.ReadText("GR\xFC\xDF" "E", "SQL002", ""), std::string(2046, 'a') + "\xE4");
  EXPECT_TRUE(profile.WasCut("GR\xFC\xDF" "E", "SQL002"));
  EXPECT_FALSE(profile.WasCut("GR\xFC\xDF" "E", "SQL003"));
  EXPECT_FALSE(profile.WasCut("OTHER", "SQL002"));
}

// Characters Windows-1252 cannot hold become "?", counted per value; a "?"
// of the file is no replacement, and a Windows-1252 file has none.
TEST(ProfileReader, ReplacedCharactersAreCountedPerValue) {
  const std::string lodz = "\xC5\x81\xC3\xB3" "d\xC5\xBA";
  const ProfileFile utf8 = ProfileFile::Parse("[" + lodz + "]\nA='" + lodz + "?'\nB=K\xC3\xB6ln?\n");
  EXPECT_EQ(utf8.ReadText("?\xF3" "d?", "A", ""), "?\xF3" "d??");
  EXPECT_EQ(utf8.ReplacedCharacters("?\xF3" "d?", "A"), 2u);
  EXPECT_EQ(utf8.ReplacedCharacters("?\xF3" "d?", "B"), 0u);
  EXPECT_EQ(utf8.ReplacedCharacters("?\xF3" "d?", "C"), 0u);
  EXPECT_EQ(ProfileFile::Parse("[S]\nA=K\xF6ln?\n").ReplacedCharacters("S", "A"), 0u);
}

TEST(ProfileReader, IntegersAndFiles) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"12", 12}, {"007", 7}, {"+7", 7}, {"-5", -5}, {"0x1F", 31}, {"0X1f", 31}, {"$1f", 31}, {"x10", 16},
      {"X10", 16}, {"   42", 42}, {"  0x1F", 31}, {"$00000000FF", 255}, {"-2147483648", INT32_MIN},
      {"2147483647", 2147483647}, {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"0", 0},
      // Invalid: the default.
      {"12 comment", -3}, {"12 ", -3}, {"1.5", -3}, {"", -3}, {"   ", -3}, {"-", -3}, {"+", -3},
      {"2147483648", -3}, {"-2147483649", -3}, {"99999999999999999999", -3}, {"-$10", -3}, {"+0x10", -3},
      {"0x", -3}, {"$", -3}, {"x", -3}, {"$123456789", -3}, {"$1G", -3}, {"\t5", -3},
      // "0x" is replaced only at the very start.
      {"0x0x1", -3}, {"00x1", -3}, {"0x$1", -3},
  };
  for (const auto& c : cases) EXPECT_EQ(qj::ProfileInteger(c.text, -3), c.expected) << "text '" << c.text << "'";
  const ProfileFile profile = ProfileFile::Parse("[S]\nA=0x1F\nB=12 comment\n");
  EXPECT_EQ(profile.ReadInteger("S", "A", 0), 31);
  EXPECT_EQ(profile.ReadInteger("S", "B", -9), -9);
  EXPECT_EQ(profile.ReadInteger("S", "MISSING", 7), 7);
  qjtest::TempDir dir;
  EXPECT_EQ(ProfileFile::Load(dir.File("none.INI")).ReadText("S", "K", "dflt"), "dflt");
  EXPECT_EQ(ProfileFile::Load(dir.path()).ReadText("S", "K", "dflt"), "dflt");
  qjtest::WriteBytes(dir.File("q.INI"), "[S]\r\nK=M\xFCller\r\n");
  EXPECT_EQ(ProfileFile::Load(dir.File("q.INI")).ReadText("s", "k", ""), "M\xFCller");
}

// The keys of a section as written, for the warnings about unknown keys:
// each name once (the first spelling), in file order, sections in any case.
TEST(ProfileReader, KeysOfASectionAsWrittenAndWhetherItIsThere) {
  const ProfileFile profile =
      ProfileFile::Parse("[S]\nFTPY01=CHAR\n ; c\nsql001 = x\nSQL001=y\nnoequals\n[s]\nLATE=1\n[T]\n");
  EXPECT_EQ(profile.Keys("s"), (std::vector<std::string>{"FTPY01", "sql001"}));
  EXPECT_TRUE(profile.HasSection("t"));
  EXPECT_TRUE(profile.Keys("T").empty());
  EXPECT_FALSE(profile.HasSection("U"));
  EXPECT_TRUE(profile.Found());
  qjtest::TempDir dir;
  EXPECT_FALSE(ProfileFile::Load(dir.File("none.INI")).Found());
  EXPECT_FALSE(ProfileFile().Found());
}

}  // namespace
