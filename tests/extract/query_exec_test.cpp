// Running a statement and stepping through its rows, in-process against an
// SQLite database through the SQLite3 ODBC driver, with the console captured
// and the pauses counted instead of slept.

#include "extract/query_exec.h"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "platform/pause.h"
#include "support/odbc_env.h"
#include "support/test_support.h"

namespace {

using qj::ctx;
using qj::ReadFirst;
using qj::ReadNext;

int g_pauses = 0;
void CountPause(int milliseconds) {
  EXPECT_EQ(milliseconds, 100);
  ++g_pauses;
}

class QueryExecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    qjtest::UseTestOdbcConfig();
    qjtest::SqliteExec(dbFile_, "CREATE TABLE t(n INTEGER, s VARCHAR(10));"
                                "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c');");
    ctx = qj::RunContext();
    ctx.dm1 = std::make_unique<qj::Tdm1>();
    for (std::string& line : ctx.dm1->VELMORANT.Params) {
      if (line.rfind("ODBC DSN=", 0) == 0) line = "ODBC DSN=" + qjtest::SqliteConnectionString(dbFile_);
    }
    g_pauses = 0;
    previousPause_ = qj::SetPauseFunctionForTest(&CountPause);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    qj::SetPauseFunctionForTest(previousPause_);
    ctx = qj::RunContext();
  }

  // Runs the working statement and collects column 0 of every row.
  std::string AllRows(const std::string& statement, const std::string& terminal = "") {
    ctx.WorkingStatement = statement;
    std::string rows;
    for (int code = ReadFirst(terminal); code == 0; code = ReadNext()) {
      rows += ctx.dm1->Qry1.Field(0).bytes + ctx.dm1->Qry1.Field(1).bytes + ";";
    }
    return rows;
  }

  qjtest::TempDir dir_;
  std::string dbFile_ = dir_.File("t.db");
  qj::PauseFunction previousPause_ = nullptr;
  std::string out_, err_;
};

const char kTraceToFindFirst[] =
    "  Datenbank Close\n  Datenbank SQL-Clear\n  Datenbank AddSql\n  Datenbank Prepare\n"
    "  Datenbank Open\n  Datenbank FindFirst\n";

TEST_F(QueryExecTest, RowsAreSteppedSilentlyWithTheTerminalFilledIn) {
  EXPECT_EQ(AllRows(" SELECT '$parm01', s FROM t WHERE n <= 2 ORDER BY n ", "T1"), "T1a;T1b;");
  EXPECT_EQ(ctx.WorkingStatement, " SELECT 'T1', s FROM t WHERE n <= 2 ORDER BY n ");
  EXPECT_FALSE(ctx.RowFound);
  EXPECT_EQ(ReadNext(), 23) << "past the end the query stays without a row";
  EXPECT_EQ(out_, "");
  EXPECT_EQ(g_pauses, 0);
  EXPECT_FALSE(ctx.StatementRejected);

  // The next statement closes and replaces the last one.
  EXPECT_EQ(AllRows(" SELECT s, 'x' FROM t WHERE n = 3 "), "cx;");
}

TEST_F(QueryExecTest, NoRowsPrintsNothingOutsideTrace) {
  ctx.WorkingStatement = " SELECT n FROM t WHERE n > 99 ";
  EXPECT_EQ(ReadFirst("T1"), 23);
  EXPECT_FALSE(ctx.RowFound);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(g_pauses, 0);
}

TEST_F(QueryExecTest, TraceShowsEveryStepWithItsPause) {
  ctx.TraceMode = true;
  ctx.WorkingStatement = " SELECT n FROM t WHERE s = '$parm01' ";
  EXPECT_EQ(ReadFirst("b"), 0);
  EXPECT_TRUE(ctx.RowFound);
  EXPECT_EQ(out_, std::string("Str ReadFirst\n  >>>>> Temp-SQL-Statement <<<<<\n  ' SELECT n FROM t WHERE s = 'b' '\n") +
                      kTraceToFindFirst + "End ReadFirst\n");
  EXPECT_EQ(g_pauses, 9);
  out_.clear();
  g_pauses = 0;
  EXPECT_EQ(ReadNext(), 23);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(g_pauses, 0);
}

TEST_F(QueryExecTest, PrepareErrorIsReportedWithStatementAndEngineText) {
  // SQLite reports a missing table when the statement is prepared.
  ctx.WorkingStatement = " SELECT n FROM missing_table WHERE s = '$parm01' ";
  EXPECT_EQ(ReadFirst("T1"), 23);
  EXPECT_FALSE(ctx.RowFound);
  EXPECT_TRUE(ctx.StatementRejected);
  const std::string head = "Exception bei DB Prepare\n SELECT n FROM missing_table WHERE s = 'T1' \r\n";
  ASSERT_EQ(out_.compare(0, head.size(), head), 0) << out_;
  ASSERT_GE(out_.size(), head.size() + 2);
  const std::string message = out_.substr(head.size(), out_.size() - head.size() - 2);
  EXPECT_NE(message.find("no such table"), std::string::npos) << message;
  EXPECT_EQ(out_.substr(out_.size() - 2), "\n\n");
  EXPECT_EQ(g_pauses, 1) << "the pause after the message comes without trace too";
}

TEST_F(QueryExecTest, OpenErrorInTraceEndsWithoutEndLine) {
  ctx.TraceMode = true;
  // A statement without result columns fails when the query is opened.
  ctx.WorkingStatement = " CREATE TABLE made_by_test(x INTEGER) ";
  EXPECT_EQ(ReadFirst(""), 23);
  EXPECT_TRUE(ctx.StatementRejected);
  const std::string head = std::string("Str ReadFirst\n  >>>>> Temp-SQL-Statement <<<<<\n  '") + ctx.WorkingStatement +
                           "'\n  Datenbank Close\n  Datenbank SQL-Clear\n  Datenbank AddSql\n  Datenbank Prepare\n"
                           "  Datenbank Open\nException bei DB Open\n" + ctx.WorkingStatement + "\r\n";
  ASSERT_EQ(out_.compare(0, head.size(), head), 0) << out_;
  EXPECT_EQ(out_.substr(out_.size() - 2), "\n\n");
  EXPECT_EQ(out_.find("End ReadFirst"), std::string::npos);
  EXPECT_EQ(g_pauses, 8);
}

TEST_F(QueryExecTest, ErrorWhileSteppingIsNotCaught) {
  // The second row overflows abs() only when it is computed.
  qjtest::SqliteExec(dbFile_, "CREATE TABLE big(v INTEGER); INSERT INTO big VALUES (1), (-9223372036854775808);");
  ctx.WorkingStatement = " SELECT abs(v) FROM big ORDER BY rowid ";
  EXPECT_EQ(ReadFirst(""), 0);
  EXPECT_THROW(ReadNext(), qj::EDatabaseError);
  EXPECT_EQ(out_, "");
}

}  // namespace
