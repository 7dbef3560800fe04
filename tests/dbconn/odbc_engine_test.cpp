// The data module's engine against real databases: SQLite through the SQLite3
// ODBC driver and PostgreSQL through "PostgreSQL Unicode".

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "dbconn/data_module.h"
#include "dbconn/odbc_engine.h"
#include "support/odbc_env.h"
#include "support/test_support.h"

namespace {

using qj::ColumnValue;
using qj::EDatabaseError;
using qj::TDatabase;
using qj::TQuery;
using qj::ValueKind;

// "Müller €" in Windows-1252.
const std::string kMuellerEuro = "M\xFCller \x80";
// The same in UTF-8, for the setup scripts.
const std::string kMuellerEuroUtf8 = "M\xC3\xBCller \xE2\x82\xAC";

void ReplaceParam(TDatabase& db, const std::string& prefix, const std::string& value) {
  for (std::string& line : db.Params) {
    if (line.compare(0, prefix.size(), prefix) == 0) line = prefix + value;
  }
}

class EngineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    // "_getdata": every value by SQLGetData; "_rowwise": bound, one row per fetch.
    qj::DefaultFetchOptions() = qj::FetchOptions{};
    if (Mode() == "getdata") qj::DefaultFetchOptions().bindColumns = false;
    if (Mode() == "rowwise") qj::DefaultFetchOptions().blockFetch = false;
    qjtest::UseTestOdbcConfig();
    if (IsPg()) {
      pg_ = qjtest::TestPgServer();
      QJ_REQUIRE_PG_OR_SKIP(pg_);
      table_ = std::string("qj_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
      for (char& c : table_) {
        if (c == '/') c = '_';
      }
      Setup("DROP TABLE IF EXISTS " + table_ + ";");
    } else {
      dbFile_ = tmp_.File("test.db");
      table_ = "t";
      qjtest::SqliteExec(dbFile_, "CREATE TABLE keep_file(x INTEGER);");
    }
    ReplaceParam(*db_, "ODBC DSN=", ConnectionString());
    ReplaceParam(*db_, "USER NAME=", IsPg() ? pg_.user : "");
    ReplaceParam(*db_, "PASSWORD=", IsPg() ? pg_.password : "");
  }

  void TearDown() override {
    qj::DefaultFetchOptions() = qj::FetchOptions{};
    // The open connection holds its read locks until it goes away.
    query_.reset();
    db_.reset();
    if (IsPg() && pg_.Available() && !table_.empty()) {
      Setup("DROP TABLE IF EXISTS " + table_ + ";DROP FUNCTION IF EXISTS " + table_ + "_f();");
    }
  }

  bool IsPg() const { return GetParam().rfind("pg", 0) == 0; }
  std::string Mode() const {
    const size_t bar = GetParam().find('_');
    return bar == std::string::npos ? "auto" : GetParam().substr(bar + 1);
  }

  std::string ConnectionString() const {
    return IsPg() ? pg_.ConnectionString() + ";UseDeclareFetch=1;Fetch=1000" : qjtest::SqliteConnectionString(dbFile_);
  }

  // Setup through the database's own shell (UTF-8 text).
  void Setup(const std::string& sql) {
    if (IsPg()) {
      qjtest::PgExec(pg_, sql);
    } else {
      qjtest::SqliteExec(dbFile_, sql);
    }
  }

  // Prepares and opens a one-line statement on the query.
  void Run(const std::string& sql) {
    query_->Close();
    query_->ClearSql();
    query_->AddSql(sql);
    query_->Prepare();
    query_->Open();
  }

  qjtest::TempDir tmp_;
  qjtest::PgServer pg_;
  std::string dbFile_;
  std::string table_;
  std::unique_ptr<TDatabase> db_ = std::make_unique<TDatabase>();
  std::unique_ptr<TQuery> query_ = std::make_unique<TQuery>(*db_);
};

TEST_P(EngineTest, TextValuesConvertBothWaysAndNullArrivesAsNull) {
  Setup("CREATE TABLE " + table_ + "(id INTEGER, name VARCHAR(40), note VARCHAR(40));" + "INSERT INTO " + table_ +
        " VALUES (1, '" + kMuellerEuroUtf8 + "', NULL), (2, 'plain', 'x');");
  EXPECT_FALSE(db_->Connected());
  Run("SELECT id, name, note FROM " + table_ + " WHERE name = '" + kMuellerEuro + "'");
  EXPECT_TRUE(db_->Connected());
  ASSERT_EQ(query_->FieldCount(), 3);
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(0).kind, ValueKind::Integer);
  EXPECT_EQ(query_->Field(0).integer, 1);
  EXPECT_EQ(query_->Field(1).kind, ValueKind::Text);
  EXPECT_EQ(query_->Field(1).bytes, kMuellerEuro);
  EXPECT_EQ(query_->Field(2).kind, ValueKind::Null);
  EXPECT_FALSE(query_->FindNext());
}

TEST_P(EngineTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  Setup("CREATE TABLE " + table_ + "(name VARCHAR(20));INSERT INTO " + table_ + " VALUES ('a\xCE\xA9" "b');");
  Run("SELECT name FROM " + table_);
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(0).bytes, "a?b");
}

TEST_P(EngineTest, LongTextArrivesWhole) {
  // A 5,000-character value and a 20,000-character one with "€" and "ü"
  // spread over the whole length, so that every piece boundary is crossed.
  std::string unitUtf8 = "ab\xE2\x82\xAC\xC3\xBC";  // a b € ü
  std::string unitCp = "ab\x80\xFC";
  std::string shortUtf8, shortCp, longUtf8, longCp;
  for (int i = 0; i < 1250; ++i) shortUtf8 += unitUtf8, shortCp += unitCp;
  for (int i = 0; i < 5000; ++i) longUtf8 += unitUtf8, longCp += unitCp;
  Setup("CREATE TABLE " + table_ + "(id INTEGER, body TEXT);INSERT INTO " + table_ + " VALUES (1, '" + shortUtf8 +
        "'), (2, 'short'), (3, '" + longUtf8 + "'), (4, NULL);");
  Run("SELECT id, body FROM " + table_ + " ORDER BY id");
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(1).bytes.size(), 5000u);
  EXPECT_EQ(query_->Field(1).bytes, shortCp);
  ASSERT_TRUE(query_->FindNext());
  EXPECT_EQ(query_->Field(1).bytes, "short");
  ASSERT_TRUE(query_->FindNext());
  EXPECT_EQ(query_->Field(1).bytes, longCp);
  ASSERT_TRUE(query_->FindNext());
  EXPECT_EQ(query_->Field(1).kind, ValueKind::Null);
  EXPECT_FALSE(query_->FindNext());
}

TEST_P(EngineTest, RowsArriveInOrderAcrossSeveralFetchBlocks) {
  std::string sql = "CREATE TABLE " + table_ + "(id INTEGER, name VARCHAR(20));";
  sql += IsPg() ? "INSERT INTO " + table_ + " SELECT g, 'n' || g FROM generate_series(1, 2500) g;"
                : "WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < 2500) "
                  "INSERT INTO " + table_ + " SELECT g, 'n' || g FROM s;";
  Setup(sql);
  Run("SELECT id, name FROM " + table_ + " ORDER BY id");
  // psqlODBC reads long values of a block row; the SQLite3 driver cannot, and
  // is fastest one row per fetch anyway.
  EXPECT_EQ(query_->ColumnsBound(), Mode() != "getdata");
  if (IsPg() && Mode() == "auto") {
    EXPECT_GT(query_->RowsetSize(), 1u) << "block fetch not in use";
    EXPECT_LT(query_->RowsetSize(), 2500u);
  } else {
    EXPECT_EQ(query_->RowsetSize(), 1u);
  }
  int expected = 1;
  for (bool row = query_->FindFirst(); row; row = query_->FindNext()) {
    ASSERT_EQ(query_->Field(0).integer, expected);
    ASSERT_EQ(query_->Field(1).bytes, "n" + std::to_string(expected));
    ++expected;
  }
  EXPECT_EQ(expected, 2501);
  EXPECT_FALSE(query_->FindNext());
  // FindFirst after reading runs the statement again.
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(0).integer, 1);
}

TEST_P(EngineTest, EngineErrorWhileSteppingThroughRowsIsThrown) {
  std::string sql = "CREATE TABLE " + table_ + "(id INTEGER);";
  sql += IsPg() ? "INSERT INTO " + table_ + " SELECT g FROM generate_series(1, 3000) g;"
                : "WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < 3000) "
                  "INSERT INTO " + table_ + " SELECT g FROM s;";
  Setup(sql);
  // Row 2000 fails only when it is computed, after earlier rows were delivered.
  Run(IsPg() ? "SELECT 1 / (id - 2000) FROM " + table_
             : "SELECT CASE WHEN id = 2000 THEN abs(-9223372036854775807 - 1) ELSE id END FROM " + table_);
  int rows = 0;
  try {
    for (bool row = query_->FindFirst(); row; row = query_->FindNext()) ++rows;
    FAIL() << "no error after " << rows << " rows";
  } catch (const EDatabaseError& e) {
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 2000);
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SqlState, IsPg() ? "22012" : "HY000") << e.what();
  }
}

TEST_P(EngineTest, TypedValuesOfEveryRow) {
  // Several rows, so that every row of a bound block is read at its place.
  Setup("CREATE TABLE " + table_ +
        "(k INTEGER, d DATE, ts TIMESTAMP, at TIME, amount NUMERIC(10,2), ratio DOUBLE PRECISION, big BIGINT);"
        "INSERT INTO " + table_ + " VALUES "
        "(1, '2024-02-29', '2023-12-31 23:59:58', '23:59:58', 1234.5, -0.25, 9000000000),"
        "(2, NULL, NULL, NULL, NULL, NULL, NULL),"
        "(3, '1999-01-02', '2000-03-04 05:06:07', '08:09:10', -0.01, 1e10, -7);");
  Run("SELECT k, d, ts, at, amount, ratio, big FROM " + table_ + " ORDER BY k");
  struct Row {
    int date, stamp, time;
    double amount, ratio;
    int64_t big;
  };
  const Row rows[] = {{20240229, 235958, 235958, 1234.5, -0.25, 9000000000LL},
                      {0, 0, 0, 0, 0, 0},
                      {19990102, 50607, 80910, -0.01, 1e10, -7}};
  const int stampDates[] = {20231231, 0, 20000304};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    ASSERT_TRUE(i == 0 ? query_->FindFirst() : query_->FindNext());
    EXPECT_EQ(query_->Field(0).integer, i + 1);
    if (i == 1) {
      for (int f = 1; f < 7; ++f) EXPECT_EQ(query_->Field(f).kind, ValueKind::Null) << f;
      continue;
    }
    const Row& r = rows[i];
    const ColumnValue& d = query_->Field(1);
    EXPECT_EQ(d.kind, ValueKind::Date);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, r.date);
    const ColumnValue& ts = query_->Field(2);
    EXPECT_EQ(ts.kind, ValueKind::Timestamp);
    EXPECT_EQ(ts.year * 10000 + ts.month * 100 + ts.day, stampDates[i]);
    EXPECT_EQ(ts.hour * 10000 + ts.minute * 100 + ts.second, r.stamp);
    const ColumnValue& at = query_->Field(3);
    EXPECT_EQ(at.kind, ValueKind::Time);
    EXPECT_EQ(at.hour * 10000 + at.minute * 100 + at.second, r.time);
    EXPECT_EQ(query_->Field(4).kind, ValueKind::Float);
    EXPECT_DOUBLE_EQ(query_->Field(4).real, r.amount);
    EXPECT_EQ(query_->Field(5).kind, ValueKind::Float);
    EXPECT_DOUBLE_EQ(query_->Field(5).real, r.ratio);
    EXPECT_EQ(query_->Field(6).kind, ValueKind::Integer);
    EXPECT_EQ(query_->Field(6).integer, r.big);
  }
  EXPECT_FALSE(query_->FindNext());
}

TEST_P(EngineTest, RejectedStatementCarriesDiagnosticRecords) {
  try {
    Run("SELECT x FROM no_such_table_here");
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SqlState.size(), 5u);
    EXPECT_FALSE(e.Records()[0].Text.empty());
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("[" + e.Records()[0].SqlState + "] ", 0), 0u) << what;
    EXPECT_NE(what.find("no_such_table_here"), std::string::npos) << what;
    EXPECT_NE(what.back(), '\n');
  }
  // The connection survives a rejected statement.
  Run("SELECT 1");
  EXPECT_TRUE(query_->FindFirst());
}

TEST_P(EngineTest, StatementWithoutResultColumnsFailsAtOpen) {
  Setup("CREATE TABLE " + table_ + "(id INTEGER);");
  query_->AddSql("DELETE FROM " + table_);
  query_->Prepare();
  try {
    query_->Open();
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    ASSERT_EQ(e.Records().size(), 1u);
    EXPECT_EQ(std::string(e.what()), "[07005] Die Anweisung liefert keine Ergebnisspalten");
  }
}

TEST_P(EngineTest, ColumnIndexBeyondTheResultIsAnError) {
  Run("SELECT 1, 'b'");
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(1).bytes, "b");
  try {
    query_->Field(2);
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Records().at(0).SqlState, "07009");
  }
  EXPECT_THROW(query_->Field(-1), EDatabaseError);
}

TEST_P(EngineTest, ChangingTheStatementUnpreparesTheQuery) {
  Run("SELECT 1");
  EXPECT_TRUE(query_->Prepared());
  query_->Close();
  EXPECT_TRUE(query_->Prepared());
  query_->ClearSql();
  EXPECT_FALSE(query_->Prepared());
  query_->AddSql("SELECT 'a'");
  query_->AddSql("|| 'b'");
  EXPECT_EQ(query_->Text(), "SELECT 'a'\r\n|| 'b'\r\n");
  query_->Open();  // prepares on its own
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(0).bytes, "ab");
}

TEST_P(EngineTest, WarningsOfSuccessfulCallsAreKept) {
  if (!IsPg()) GTEST_SKIP() << "the SQLite3 driver gives no warnings for a query";
  Setup("CREATE OR REPLACE FUNCTION " + table_ + "_f() RETURNS integer LANGUAGE plpgsql AS "
        "$$ BEGIN RAISE NOTICE 'qj notice text'; RETURN 5; END $$;");
  Run("SELECT " + table_ + "_f()");
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(0).integer, 5);
  bool found = false;
  for (const qj::DiagnosticRecord& r : db_->Warnings()) found |= r.Text.find("qj notice text") != std::string::npos;
  EXPECT_TRUE(found);
}

TEST_P(EngineTest, ConnectsThroughADataSourceName) {
  const std::string dsn = "qj_dsn_" + GetParam();
  if (Mode() != "auto") GTEST_SKIP() << "connecting does not depend on the fetch mode";
  if (IsPg()) {
    qjtest::AddTestDsn(dsn, {{"Driver", "PostgreSQL Unicode"},
                             {"Servername", pg_.host},
                             {"Port", pg_.port},
                             {"Database", pg_.database}});
  } else {
    qjtest::AddTestDsn(dsn, {{"Driver", "SQLite3"}, {"Database", dbFile_}, {"NoCreat", "1"}});
  }
  ReplaceParam(*db_, "ODBC DSN=", dsn);
  Run("SELECT '" + kMuellerEuro + "'");
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(0).bytes, kMuellerEuro);
}

TEST_P(EngineTest, UnknownDataSourceFailsAtPrepare) {
  ReplaceParam(*db_, "ODBC DSN=", "qj_no_such_dsn");
  query_->AddSql("SELECT 1");
  try {
    query_->Prepare();
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SqlState, "IM002");
  }
  EXPECT_FALSE(db_->Connected());
  EXPECT_FALSE(query_->Prepared());
}

INSTANTIATE_TEST_SUITE_P(Databases, EngineTest, ::testing::Values("sqlite", "pg", "sqlite_getdata", "pg_getdata", "pg_rowwise"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
