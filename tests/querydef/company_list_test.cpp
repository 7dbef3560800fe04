// The company list and the company substitution, in-process: the query
// definition file lies beside the test binary, the rows come from SQLite.

#include "querydef/company_list.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <string>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "platform/executable_path.h"
#include "platform/pause.h"
#include "querydef/query_definition.h"
#include "support/odbc_env.h"
#include "support/test_support.h"

namespace {

using qj::ctx;
using qj::ReadCompanyList;
using qj::SubstituteCompany;

void NoPause(int) {}

TEST(SubstituteCompany, OneValuePerCallThenEmpty) {
  ctx = qj::RunContext();
  ctx.StatementTemplate = " WHERE f IN ('$parm02', '$parm02') AND t = '$parm01' ";
  ctx.CompanyCount = 2;
  ctx.StoreCompanyAt(1, "0100");
  ctx.StoreCompanyAt(2, "0200");

  SubstituteCompany();
  EXPECT_EQ(ctx.CompanyCursor, 1);
  EXPECT_TRUE(ctx.CompanyPlaceholderFound);
  EXPECT_EQ(ctx.WorkingStatement, " WHERE f IN ('0100', '0100') AND t = '$parm01' ");
  SubstituteCompany();
  EXPECT_EQ(ctx.WorkingStatement, " WHERE f IN ('0200', '0200') AND t = '$parm01' ");
  // One past the last value reads as empty.
  SubstituteCompany();
  EXPECT_EQ(ctx.CompanyCursor, 3);
  EXPECT_TRUE(ctx.CompanyPlaceholderFound);
  EXPECT_EQ(ctx.WorkingStatement, " WHERE f IN ('', '') AND t = '$parm01' ");
  EXPECT_EQ(ctx.StatementTemplate, " WHERE f IN ('$parm02', '$parm02') AND t = '$parm01' ");

  ctx.StatementTemplate = " SELECT '$PARM02', '$parm2' ";
  SubstituteCompany();
  EXPECT_FALSE(ctx.CompanyPlaceholderFound);
  EXPECT_EQ(ctx.WorkingStatement, ctx.StatementTemplate);
  ctx = qj::RunContext();
}

class ReadCompanyListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    qjtest::UseTestOdbcConfig();
    qjtest::SqliteExec(dbFile_, "CREATE TABLE tf(terminal VARCHAR(10), firm VARCHAR(10));"
                                "INSERT INTO tf VALUES ('T1', '0100'), ('T1', '0200'), ('T1', '0300'), ('', '9900');");
    ctx = qj::RunContext();
    ctx.DbSys = "QDCOMP" + std::to_string(getpid());
    ctx.TerminalName = "T1";
    ctx.dm1 = std::make_unique<qj::Tdm1>();
    for (std::string& line : ctx.dm1->VELMORANT.Params) {
      if (line.rfind("ODBC DSN=", 0) == 0) line = "ODBC DSN=" + qjtest::SqliteConnectionString(dbFile_);
    }
    iniPath_ = qj::QueryIniPath(qj::ExecutablePath(), ctx.DbSys);
    previousPause_ = qj::SetPauseFunctionForTest(&NoPause);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    qj::SetPauseFunctionForTest(previousPause_);
    std::remove(iniPath_.c_str());
    ctx = qj::RunContext();
  }

  qjtest::TempDir dir_;
  std::string dbFile_ = dir_.File("c.db");
  std::string iniPath_;
  qj::PauseFunction previousPause_ = nullptr;
  std::string out_, err_;
};

const char kFirmsOfTerminal[] = "SQL001=SELECT firm, 'x' FROM tf WHERE terminal = '$parm01' ORDER BY firm\n";

TEST_F(ReadCompanyListTest, NoRowsGives96AndDisabledSectionGives4) {
  qjtest::WriteBytes(iniPath_, "[GETFIR1]\nSQL001=SELECT firm FROM tf WHERE 1 = 0\nFELD01=F\n");
  EXPECT_EQ(ReadCompanyList(), 96);
  EXPECT_EQ(ctx.CompanyCount, 0);
  // The missing second section is a one-blank statement, rejected by the engine.
  EXPECT_EQ(out_.rfind("Exception bei DB ", 0), 0) << out_;
  EXPECT_NE(out_.find("\n \r\n"), std::string::npos) << out_;

  // Field 1 named "0" stops at once: the second section is not tried.
  qjtest::WriteBytes(iniPath_, std::string("[GETFIR1]\n") + kFirmsOfTerminal + "FELD01=0\n[GETFIR2]\n" +
                                   kFirmsOfTerminal + "FELD01=F\n");
  out_.clear();
  EXPECT_EQ(ReadCompanyList(), 4);
  EXPECT_EQ(ctx.CompanyCount, 0);
  EXPECT_EQ(out_, "");
}

TEST_F(ReadCompanyListTest, CompanyStatementKeepsItsCompanyPlaceholder) {
  qjtest::WriteBytes(iniPath_, "[GETFIR1]\nSQL001=SELECT '$parm02' WHERE '$parm01' = 'T1'\nFELD01=F\n");
  EXPECT_EQ(ReadCompanyList(), 0);
  EXPECT_EQ(ctx.CompanyCount, 1);
  EXPECT_EQ(ctx.CompanyAt(1), "$parm02");
  EXPECT_EQ(ctx.WorkingStatement, " SELECT '$parm02' WHERE 'T1' = 'T1' ");
}

}  // namespace
