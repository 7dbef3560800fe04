// The company list, in-process: the query definition file lies beside the
// test binary, the rows come from SQLite.

#include "extract/company_query.h"

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
#include "platform/text_util.h"
#include "querydef/query_definition.h"
#include "support/odbc_env.h"
#include "support/run_context_fixture.h"
#include "support/test_support.h"

namespace {

using qj::ctx;

void NoPause(int) {}

class ReadCompanyListTest : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    qjtest::UseTestOdbcConfig();
    qjtest::SqliteExec(dbFile_, "CREATE TABLE tf(terminal VARCHAR(10), firm VARCHAR(10));"
                                "INSERT INTO tf VALUES ('T1', '0100'), ('T1', '0200'), ('', '9900');");
    ctx.DbSys = "QDCOMP" + std::to_string(getpid());
    ctx.TerminalName = "T1";
    ctx.dm1 = std::make_unique<qj::Tdm1>();
    for (std::string& line : ctx.dm1->VELMORANT.Params) {
      if (qj::StartsWith(line, "ODBC DSN=")) line = "ODBC DSN=" + qjtest::SqliteConnectionString(dbFile_);
    }
    previousPause_ = qj::SetPauseFunctionForTest(&NoPause);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    qj::SetPauseFunctionForTest(previousPause_);
    std::remove(iniPath_.c_str());
    ctx.dm1.reset();  // closes the database in dir_ before dir_ goes
  }
  int Read(const std::string& ini) {
    qjtest::WriteBytes(iniPath_, ini);
    out_.clear();
    return qj::ReadCompanyList();
  }

  qjtest::TempDir dir_;
  std::string dbFile_ = dir_.File("c.db");
  std::string iniPath_ = qj::QueryIniPath(qj::ExecutablePath(), "QDCOMP" + std::to_string(getpid()));
  qj::PauseFunction previousPause_ = nullptr;
  std::string out_, err_;
};

const std::string kFirms = "SQL001=SELECT firm FROM tf WHERE terminal = '$parm01' ORDER BY firm\n";

TEST_F(ReadCompanyListTest, NoCompanyInEitherSectionGives96) {
  EXPECT_EQ(Read("[GETFIR1]\nSQL001=SELECT firm FROM tf WHERE 1 = 0\nFELD01=F\n"), 96);
  EXPECT_EQ(ctx.CompanyCount, 0);
  // The missing second section is a one-blank statement, rejected by the engine.
  EXPECT_EQ(out_.rfind("Exception bei DB ", 0), 0u) << out_;
  EXPECT_NE(out_.find("\n \r\n"), std::string::npos) << out_;
}

TEST_F(ReadCompanyListTest, FirstFieldNamedZeroGives4WithoutTryingTheSecondSection) {
  EXPECT_EQ(Read("[GETFIR1]\n" + kFirms + "FELD01=0\n[GETFIR2]\n" + kFirms + "FELD01=F\n"), 4);
  EXPECT_EQ(ctx.CompanyCount, 0);
  EXPECT_EQ(out_, "");
}

TEST_F(ReadCompanyListTest, CompaniesOfTheTerminalAreStoredInOrder) {
  EXPECT_EQ(Read("[GETFIR1]\n" + kFirms + "FELD01=F\n"), 0);
  EXPECT_EQ(ctx.CompanyCount, 2);
  EXPECT_EQ(ctx.CompanyAt(1) + ctx.CompanyAt(2), "01000200");
}

TEST_F(ReadCompanyListTest, CompanyStatementKeepsACompanyPlaceholderOfItsOwn) {
  EXPECT_EQ(Read("[GETFIR1]\nSQL001=SELECT '$parm02' WHERE '$parm01' = 'T1'\nFELD01=F\n"), 0);
  EXPECT_EQ(ctx.CompanyCount, 1);
  EXPECT_EQ(ctx.CompanyAt(1), "$parm02");
  EXPECT_EQ(ctx.WorkingStatement, " SELECT '$parm02' WHERE 'T1' = 'T1' ");
}

}  // namespace
