// Loading a section of the query definition file that lies beside the running
// test binary, and the path rule of that file.

#include "querydef/query_definition.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/console.h"
#include "driver/run_context.h"
#include "platform/executable_path.h"
#include "support/test_support.h"

namespace {

using qj::ctx;
using qj::GetIniValues;
using qj::QueryIniPath;

TEST(QueryIniPath, ExtensionIsReplacedOnlyInTheFileName) {
  EXPECT_EQ(QueryIniPath("/opt/dnl/qjsqlexe", "ORA"), "/opt/dnl/qjsqlexe.ORA.INI");
  EXPECT_EQ(QueryIniPath("/opt/dnl/qjsqlexe.bin", "ORA"), "/opt/dnl/qjsqlexe.ORA.INI");
  EXPECT_EQ(QueryIniPath("/opt/tools.v2/qjsqlexe", "ORA"), "/opt/tools.v2/qjsqlexe.ORA.INI");
  EXPECT_EQ(QueryIniPath("/opt/tools.v2/qj.x.exe", "PGSQL"), "/opt/tools.v2/qj.x.PGSQL.INI");
  EXPECT_EQ(QueryIniPath("/opt/dnl/qjsqlexe", ""), "/opt/dnl/qjsqlexe..INI");
  // DbSys is taken exactly as read; "\" and ":" are ordinary characters.
  EXPECT_EQ(QueryIniPath("/a/b\\c:d", " ora "), "/a/b\\c:d. ora .INI");
  EXPECT_EQ(QueryIniPath("/a/.hidden", "X"), "/a/.X.INI");
}

TEST(QueryIniPath, RunningExecutableIsAnAbsolutePath) {
  const std::string path = qj::ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], '/');
  EXPECT_TRUE(qjtest::FileExists(path));
}

// Writes the query definition file of a test-specific DbSys beside the test
// binary, captures the console, and removes the file afterwards.
class GetIniValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx = qj::RunContext();
    ctx.DbSys = "QDTEST" + std::to_string(getpid());
    path_ = QueryIniPath(qj::ExecutablePath(), ctx.DbSys);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    std::remove(path_.c_str());
    ctx = qj::RunContext();
  }
  void WriteIni(const std::string& bytes) { qjtest::WriteBytes(path_, bytes); }

  std::string path_;
  std::string out_, err_;
};

TEST_F(GetIniValuesTest, StatementLinesAreJoinedUpToTheFirstEmptyOne) {
  WriteIni(
      "[A]\nSQL001=SELECT a\nSQL002=FROM t\nSQL004=never read\n"
      "[B]\nSQL001=SELECT b\nSQL002=   \nSQL003=never read\n"
      "[C]\nSQL002=never read\n"
      "[D]\nsql001=  x  \nSql002=\"  y  \"\n");
  ctx.StatementTemplate = "old";
  EXPECT_EQ(GetIniValues("A"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " SELECT a FROM t ");
  EXPECT_EQ(GetIniValues("B"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " SELECT b ");
  EXPECT_EQ(GetIniValues("C"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " ");
  EXPECT_EQ(GetIniValues("MISSING"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " ");
  EXPECT_EQ(GetIniValues("D"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " x   y   ");
  EXPECT_EQ(out_, "");
}

TEST_F(GetIniValuesTest, LongLinesAreCutAndTheLastKeyIsSql999) {
  std::string ini = "[LONG]\nSQL001=" + std::string(3000, 'a') + "\nSQL002=b\n[FULL]\n";
  for (int n = 1; n <= 999; ++n) {
    char key[8];
    std::snprintf(key, sizeof key, "%03d", n);
    ini += std::string("SQL") + key + "=L\n";
  }
  ini += "SQL1000=never read\n";
  WriteIni(ini);
  EXPECT_EQ(GetIniValues("LONG"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " " + std::string(2047, 'a') + " b ");
  EXPECT_EQ(GetIniValues("FULL"), 0);
  std::string expected;
  for (int n = 1; n <= 999; ++n) expected += " L";
  EXPECT_EQ(ctx.StatementTemplate, expected + " ");
}

TEST_F(GetIniValuesTest, FieldsAreUpperCasedInAsciiAndLengthsUseTheIntegerRead) {
  WriteIni(
      "[F]\nSQL001=SELECT 1\n"
      "FELD01=kst\nFTYP01=char\nFLEN01=0x1F\n"
      "FELD02=m\xFCller\nFTYP02=dec\nFLEN02=12 comment\n"
      "FELD30=last\nFTYP30=txt\nFLEN30=-5\n"
      "FLEN03=7\n");
  ctx.Field(3).Name = "stale";
  EXPECT_EQ(GetIniValues("F"), 0);
  EXPECT_EQ(ctx.Field(1).Name, "KST");
  EXPECT_EQ(ctx.Field(1).Type, "CHAR");
  EXPECT_EQ(ctx.Field(1).Length, 31);
  EXPECT_EQ(ctx.Field(2).Name, "M\xFCLLER");
  EXPECT_EQ(ctx.Field(2).Type, "DEC");
  EXPECT_EQ(ctx.Field(2).Length, 0);
  EXPECT_EQ(ctx.Field(3).Name, "");
  EXPECT_EQ(ctx.Field(3).Length, 7);
  EXPECT_EQ(ctx.Field(30).Name, "LAST");
  EXPECT_EQ(ctx.Field(30).Type, "TXT");
  EXPECT_EQ(ctx.Field(30).Length, -5);
}

TEST_F(GetIniValuesTest, FieldOneNamedZeroStopsBeforeTypesAndLengths) {
  WriteIni("[OFF]\nSQL001=SELECT 1\nFELD01=0\nFELD02=b\nFTYP01=CHAR\nFLEN01=5\n[NONAME]\nFELD02=b\n");
  ctx.TraceMode = true;
  qj::ResetDefinitions();
  EXPECT_EQ(GetIniValues("OFF"), 4);
  EXPECT_EQ(ctx.Field(1).Name, "0");
  EXPECT_EQ(ctx.Field(2).Name, "B");
  EXPECT_EQ(ctx.Field(1).Type, "");
  EXPECT_EQ(ctx.Field(1).Length, 0);
  EXPECT_EQ(out_, "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  ' SELECT 1 '\n");

  out_.clear();
  EXPECT_EQ(GetIniValues("NONAME"), 0);
  EXPECT_EQ(out_, "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  ' '\nEnd GetIniValues\n");
}

TEST_F(GetIniValuesTest, MissingFileLoadsSingleBlankAndResetEmptiesEverySlot) {
  EXPECT_EQ(GetIniValues("ANY"), 0);
  EXPECT_EQ(ctx.StatementTemplate, " ");
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) EXPECT_EQ(ctx.Field(slot).Name, "");

  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) ctx.Field(slot) = {"N", "T", slot};
  ctx.RecordCount = 9;
  ctx.StatementTemplate = "kept";
  qj::ResetDefinitions();
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) {
    EXPECT_EQ(ctx.Field(slot).Name, "");
    EXPECT_EQ(ctx.Field(slot).Type, "");
    EXPECT_EQ(ctx.Field(slot).Length, 0);
  }
  EXPECT_EQ(ctx.RecordCount, 0);
  EXPECT_EQ(ctx.StatementTemplate, "kept");
}

}  // namespace
