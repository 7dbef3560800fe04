// Running a statement and stepping through its rows, in-process against
// SQLite, with the console captured and the pauses counted instead of slept.

#include "extract/query_exec.h"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "platform/pause.h"
#include "platform/text_util.h"
#include "support/odbc_env.h"
#include "support/run_context_fixture.h"
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

class QueryExecTest : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    qjtest::UseTestOdbcConfig();
    qjtest::SqliteExec(dbFile_, "CREATE TABLE t(n INTEGER, s VARCHAR(10));"
                                "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c');");
    ctx.dm1 = std::make_unique<qj::Tdm1>();
    for (std::string& line : ctx.dm1->VELMORANT.Params) {
      if (qj::StartsWith(line, "ODBC DSN=")) line = "ODBC DSN=" + qjtest::SqliteConnectionString(dbFile_);
    }
    g_pauses = 0;
    previousPause_ = qj::SetPauseFunctionForTest(&CountPause);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    qj::SetPauseFunctionForTest(previousPause_);
    ctx.dm1.reset();  // closes the database in dir_ before dir_ goes
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

const std::string kTraceHead = "Str ReadFirst\n  >>>>> Temp-SQL-Statement <<<<<\n  '";
const std::string kTraceToOpen =
    "  Datenbank Close\n  Datenbank SQL-Clear\n  Datenbank AddSql\n  Datenbank Prepare\n  Datenbank Open\n";

TEST_F(QueryExecTest, WithoutTraceOnlyRejectedStatementsAreReported) {
  EXPECT_EQ(AllRows(" SELECT '$parm01', s FROM t WHERE n <= 2 ORDER BY n ", "T1"), "T1a;T1b;");
  EXPECT_EQ(ctx.WorkingStatement, " SELECT 'T1', s FROM t WHERE n <= 2 ORDER BY n ");
  EXPECT_FALSE(ctx.RowFound);
  EXPECT_EQ(ReadNext(), 23) << "past the end the query stays without a row";
  // The next statement closes and replaces the last one; no rows is no error.
  EXPECT_EQ(AllRows(" SELECT s, 'x' FROM t WHERE n = 3 "), "cx;");
  EXPECT_EQ(AllRows(" SELECT n FROM t WHERE n > 99 "), "");
  EXPECT_EQ(out_, "");
  EXPECT_EQ(g_pauses, 0);
  EXPECT_FALSE(ctx.StatementRejected);

  // A rejected statement: the statement with CR LF, the engine's text, two
  // line feeds and a pause. SQLite rejects a missing table at prepare.
  ctx.WorkingStatement = " SELECT n FROM missing_table WHERE s = '$parm01' ";
  EXPECT_EQ(ReadFirst("T1"), 23);
  EXPECT_FALSE(ctx.RowFound);
  EXPECT_TRUE(ctx.StatementRejected);
  const std::string head = "Exception bei DB Prepare\n SELECT n FROM missing_table WHERE s = 'T1' \r\n";
  ASSERT_EQ(out_.compare(0, head.size(), head), 0) << out_;
  EXPECT_NE(out_.find("no such table", head.size()), std::string::npos) << out_;
  EXPECT_EQ(out_.substr(out_.size() - 2), "\n\n");
  EXPECT_EQ(g_pauses, 1);

  // An engine error while stepping is not caught here.
  out_.clear();
  qjtest::SqliteExec(dbFile_, "CREATE TABLE big(v INTEGER); INSERT INTO big VALUES (1), (-9223372036854775808);");
  ctx.WorkingStatement = " SELECT abs(v) FROM big ORDER BY rowid ";
  EXPECT_EQ(ReadFirst(""), 0);
  EXPECT_THROW(ReadNext(), qj::EDatabaseError);
  EXPECT_EQ(out_, "");
}

TEST_F(QueryExecTest, TraceShowsEveryStepWithItsPause) {
  ctx.TraceMode = true;
  ctx.WorkingStatement = " SELECT n FROM t WHERE s = '$parm01' ";
  EXPECT_EQ(ReadFirst("b"), 0);
  EXPECT_TRUE(ctx.RowFound);
  EXPECT_EQ(out_, kTraceHead + " SELECT n FROM t WHERE s = 'b' '\n" + kTraceToOpen + "  Datenbank FindFirst\nEnd ReadFirst\n");
  EXPECT_EQ(g_pauses, 9);
  out_.clear();
  EXPECT_EQ(ReadNext(), 23);
  EXPECT_EQ(out_, "");

  // A statement without result columns fails at open, without "End ReadFirst".
  out_.clear();
  g_pauses = 0;
  ctx.WorkingStatement = " CREATE TABLE made_by_test(x INTEGER) ";
  EXPECT_EQ(ReadFirst(""), 23);
  EXPECT_TRUE(ctx.StatementRejected);
  const std::string traced = kTraceHead + ctx.WorkingStatement + "'\n" + kTraceToOpen + "Exception bei DB Open\n" +
                             ctx.WorkingStatement + "\r\n";
  ASSERT_EQ(out_.compare(0, traced.size(), traced), 0) << out_;
  EXPECT_EQ(out_.substr(out_.size() - 2), "\n\n");
  EXPECT_EQ(out_.find("End ReadFirst"), std::string::npos);
  EXPECT_EQ(g_pauses, 8);
}

}  // namespace
