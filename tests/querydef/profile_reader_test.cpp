// The reader of the query definition file, on bytes and on files.

#include "querydef/profile_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

using qj::ProfileFile;

std::string Read(const std::string& bytes, const std::string& section, const std::string& key) {
  return ProfileFile::Parse(bytes).ReadText(section, key, "<default>");
}

TEST(ProfileReader, NamesMatchWithoutRegardToAsciiCase) {
  const std::string ini = "[Sect1]\nSql001=select 1\n[\xC4rger]\nFeld01=x\n";
  EXPECT_EQ(Read(ini, "SECT1", "SQL001"), "select 1");
  EXPECT_EQ(Read(ini, "sect1", "sql001"), "select 1");
  EXPECT_EQ(Read(ini, "\xC4RGER", "FELD01"), "x");
  // Only ASCII letters fold: a Windows-1252 small umlaut is another name.
  EXPECT_EQ(Read(ini, "\xE4RGER", "FELD01"), "<default>");
}

TEST(ProfileReader, BlanksTabsAndOnePairOfQuotesAreRemoved) {
  const std::string ini =
      "  [ S ]  \n"
      "\t KEY1 \t=\t  value with  inner  blanks \t\n"
      "Q1=\"quoted \"\n"
      "Q2='single'\n"
      "Q3=\"\"double\"\"\n"
      "Q4=\"mismatch'\n"
      "Q5=\"\n"
      "Q6=\"\"\n"
      "Q7= \" padded \" \n"
      "EMPTY=\n"
      "BLANKS=   \n";
  EXPECT_EQ(Read(ini, "S", "KEY1"), "value with  inner  blanks");
  EXPECT_EQ(Read(ini, "S", "Q1"), "quoted ");
  EXPECT_EQ(Read(ini, "S", "Q2"), "single");
  EXPECT_EQ(Read(ini, "S", "Q3"), "\"double\"");
  EXPECT_EQ(Read(ini, "S", "Q4"), "\"mismatch'");
  EXPECT_EQ(Read(ini, "S", "Q5"), "\"");
  EXPECT_EQ(Read(ini, "S", "Q6"), "");
  EXPECT_EQ(Read(ini, "S", "Q7"), " padded ");
  EXPECT_EQ(Read(ini, "S", "EMPTY"), "");
  EXPECT_EQ(Read(ini, "S", "BLANKS"), "");
}

TEST(ProfileReader, FirstSectionAndFirstKeyCount) {
  const std::string ini =
      "[A]\nK=first\nk=second\n"
      "[B]\nK=b\n"
      "[a]\nK=third\nNEW=from the repeated section\n";
  EXPECT_EQ(Read(ini, "A", "K"), "first");
  EXPECT_EQ(Read(ini, "B", "K"), "b");
  EXPECT_EQ(Read(ini, "A", "NEW"), "<default>");
}

TEST(ProfileReader, CommentsAndLinesWithoutEqualsAreIgnored) {
  const std::string ini =
      "K=before any section\n"
      "; [X]\n"
      "[S]\n"
      "; K=commented\n"
      "  ;K2=commented too\n"
      "just text\n"
      "N=12 ; note\n"
      "E=a=b\n"
      "K=real\n";
  EXPECT_EQ(Read(ini, "S", "K"), "real");
  EXPECT_EQ(Read(ini, "S", "K2"), "<default>");
  EXPECT_EQ(Read(ini, "S", "N"), "12 ; note");
  EXPECT_EQ(Read(ini, "S", "E"), "a=b");
  EXPECT_EQ(Read(ini, "X", "K"), "<default>");
  EXPECT_EQ(Read(ini, "", "K"), "<default>");
}

TEST(ProfileReader, LineEndsByteOrderMarkAndNulBytes) {
  const std::string crlf = "\xEF\xBB\xBF[S]\r\nA=1\r\nB=two words\r\nC=\r\r\nD=last";
  EXPECT_EQ(Read(crlf, "S", "A"), "1");
  EXPECT_EQ(Read(crlf, "S", "B"), "two words");
  EXPECT_EQ(Read(crlf, "S", "C"), "\r");  // only the CR before the LF belongs to the line end
  EXPECT_EQ(Read(crlf, "S", "D"), "last");
  // A byte order mark elsewhere is an ordinary byte of the text.
  EXPECT_EQ(Read("[S]\n\xEF\xBB\xBFK=v\n", "S", "\xEF\xBB\xBFK"), "v");
  // A NUL byte ends its line.
  const char nulBytes[] = "[S]\nA=ab\0cd\nB=x\n[T\0]\nC=y\n";
  const std::string nul(nulBytes, sizeof nulBytes - 1);
  EXPECT_EQ(Read(nul, "S", "A"), "ab");
  EXPECT_EQ(Read(nul, "S", "B"), "x");
  EXPECT_EQ(Read(nul, "T", "C"), "y");
}

TEST(ProfileReader, ValuesAreCutTo2047Bytes) {
  const std::string longValue(3000, 'v');
  const std::string ini = "[S]\nLONG=" + longValue + "\nNEXT=n\nQ=\"" + std::string(2047, 'q') + "\"\n";
  const ProfileFile profile = ProfileFile::Parse(ini);
  EXPECT_EQ(profile.ReadText("S", "LONG", ""), std::string(2047, 'v'));
  EXPECT_EQ(profile.ReadText("S", "NEXT", ""), "n");
  EXPECT_EQ(profile.ReadText("S", "Q", ""), std::string(2047, 'q'));
}

TEST(ProfileReader, IntegerReadGivesTheDefaultForInvalidText) {
  const ProfileFile profile = ProfileFile::Parse("[S]\nA=0x1F\nB=12 comment\nC=\n");
  EXPECT_EQ(profile.ReadInteger("S", "A", 0), 31);
  EXPECT_EQ(profile.ReadInteger("S", "B", -9), -9);
  EXPECT_EQ(profile.ReadInteger("S", "C", 5), 5);
  EXPECT_EQ(profile.ReadInteger("S", "MISSING", 7), 7);
}

TEST(ProfileReader, MissingFileGivesDefaultsAndAFileIsReadAsItsBytes) {
  qjtest::TempDir dir;
  const ProfileFile missing = ProfileFile::Load(dir.File("none.INI"));
  EXPECT_EQ(missing.ReadText("S", "K", "dflt"), "dflt");
  EXPECT_EQ(ProfileFile::Load(dir.path()).ReadText("S", "K", "dflt"), "dflt");

  qjtest::WriteBytes(dir.File("q.INI"), "[S]\r\nK=M\xFCller\r\n");
  EXPECT_EQ(ProfileFile::Load(dir.File("q.INI")).ReadText("s", "k", ""), "M\xFCller");
}

}  // namespace
