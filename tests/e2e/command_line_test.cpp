// The command line check through the built binary: exact console output and exit codes.

#include <gtest/gtest.h>

#include "support/e2e_fixture.h"
#include "support/test_support.h"

namespace {

using qjtest::RunProgram;

std::string Frame(const std::string& message) { return qjtest::ErrorFrame(message); }

TEST(CommandLine, NoArgumentsPrintsFrameAndExits1) {
  qjtest::TempDir dir;
  qjtest::RunOptions options;
  options.workingDirectory = dir.path();
  auto r = RunProgram({}, options);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, Frame("Falsche Anzahl Parameter\n"));
  EXPECT_EQ(r.err, "");
}

// --help and --version as the one word answer and exit 0; anywhere else, or
// with another word, they are ordinary words.
TEST(CommandLine, HelpAndVersionAsTheOnlyWord) {
  auto r = RunProgram({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  // The frame without a message is banner, one empty line and usage.
  std::string bannerAndUsage = Frame("");
  bannerAndUsage.erase(bannerAndUsage.find("\nBefehlsformat"), 1);
  EXPECT_EQ(r.out.rfind(bannerAndUsage, 0), 0u) << r.out;
  EXPECT_NE(r.out.find("9 keine Verbindung zur Datenbank"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--check Sektionsname Terminalname Zieldatei"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("10 Layoutpruefung fand ein Problem"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  r = RunProgram({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "qjsqlexe 1.0.0\n");
  EXPECT_EQ(r.err, "");
  r = RunProgram({"--help", "x"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, Frame("Falsche Anzahl Parameter\n"));
  r = RunProgram({"--version", "T1", "out.txt", "2"});
  EXPECT_EQ(r.exitCode, 2);
}

TEST(CommandLine, CountIsTestedBeforeFlagAndThreeWordsNeverTrace) {
  auto r = RunProgram({"SECT", "T1", "out.txt"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, Frame("Falsche Anzahl Parameter\n"));
  // Too few words and a bad flag: the count wins.
  r = RunProgram({"/D", "x", "yes"});
  EXPECT_EQ(r.exitCode, 1);
}

TEST(CommandLine, ReplaceFlagMustBeExactlyZeroOrOne) {
  for (const std::string flag : {"2", "yes", "01", " 1", "1 ", "", "0\t"}) {
    SCOPED_TRACE("flag '" + flag + "'");
    auto r = RunProgram({"SECT", "T1", "out.txt", flag});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, Frame("Falsches ReplaceFlag Erlaubt: '0' oder '1'\n"));
  }
}

TEST(CommandLine, TraceSwitchInAnyCaseComesFirst) {
  for (const std::string sw : {"/D", "/d"}) {
    auto r = RunProgram({"SECT", "T1", "out.txt", "x", sw});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, " Aktiviert Debugger\nStr CheckParm\n" +
                         Frame("Falsches ReplaceFlag Erlaubt: '0' oder '1'\n"));
    EXPECT_EQ(r.out.find("End CheckParm"), std::string::npos);
  }
}

TEST(CommandLine, OtherFifthWordsAndExtraWordsAreIgnored) {
  for (const std::string sw : {"-D", "/DEBUG", "D", "/D "}) {
    auto r = RunProgram({"SECT", "T1", "out.txt", "7", sw});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, Frame("Falsches ReplaceFlag Erlaubt: '0' oder '1'\n"));
  }
  // Words after the fifth do not change anything: trace still on from word five.
  auto r = RunProgram({"SECT", "T1", "out.txt", "7", "/d", "x", "y"});
  EXPECT_EQ(r.out.rfind(" Aktiviert Debugger\nStr CheckParm\n", 0), 0u);
}

}  // namespace
