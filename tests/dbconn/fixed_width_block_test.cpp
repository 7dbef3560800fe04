// Fixed-width values fetched in blocks: dates, times, timestamps, booleans,
// integers and floating values must arrive right in every row of a block,
// not only in its first one (the driver lays them out at the size of their
// C type, whatever buffer length was bound).

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

#include "dbconn/data_module.h"
#include "support/odbc_env.h"
#include "support/test_support.h"

namespace {

using qj::TDatabase;
using qj::TQuery;
using qj::ValueKind;

constexpr int kRows = 150;

void ReplaceParam(TDatabase& db, const std::string& prefix, const std::string& value) {
  for (std::string& line : db.Params) {
    if (line.compare(0, prefix.size(), prefix) == 0) line = prefix + value;
  }
}

class FixedWidthBlockTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    qjtest::UseTestOdbcConfig();
    std::string connection;
    if (GetParam() == "pg") {
      const qjtest::PgServer pg = qjtest::TestPgServer();
      QJ_REQUIRE_PG_OR_SKIP(pg);
      connection = pg.ConnectionString() + ";UseDeclareFetch=1;Fetch=1000";
      ReplaceParam(*db_, "USER NAME=", pg.user);
      ReplaceParam(*db_, "PASSWORD=", pg.password);
      sql_ = "SELECT g, DATE '2020-01-31' + g, TIME '08:00:00' + g * INTERVAL '61 second',"
             " TIMESTAMP '2021-06-01 00:00:00' + g * INTERVAL '1 day 1 hour 1 minute 1 second',"
             " g % 3 = 0, g * 0.5::float8 FROM generate_series(1, " + std::to_string(kRows) + ") g ORDER BY g";
    } else {
      const std::string dbFile = tmp_.File("test.db");
      qjtest::SqliteExec(dbFile,
                         "CREATE TABLE t(g INTEGER, d DATE, tm TIME, ts TIMESTAMP, b BOOLEAN, f DOUBLE);"
                         "WITH RECURSIVE n(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM n WHERE g < " +
                             std::to_string(kRows) +
                             ") INSERT INTO t SELECT g, date('2020-01-31', '+' || g || ' days'),"
                             " time('08:00:00', '+' || (g * 61) || ' seconds'),"
                             " datetime('2021-06-01 00:00:00', '+' || (g * 90061) || ' seconds'),"
                             " g % 3 = 0, g * 0.5 FROM n;");
      connection = qjtest::SqliteConnectionString(dbFile);
      sql_ = "SELECT g, d, tm, ts, b, f FROM t ORDER BY g";
    }
    ReplaceParam(*db_, "ODBC DSN=", connection);
  }

  void TearDown() override {
    query_.reset();
    db_.reset();
  }

  qjtest::TempDir tmp_;
  std::string sql_;
  std::unique_ptr<TDatabase> db_ = std::make_unique<TDatabase>();
  std::unique_ptr<TQuery> query_ = std::make_unique<TQuery>(*db_);
};

// Days since 1970-01-01 of a civil date, to step dates across month ends.
long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

TEST_P(FixedWidthBlockTest, EveryRowOfABlockHasItsOwnValues) {
  query_->AddSql(sql_);
  query_->Prepare();
  query_->Open();
  const long firstDay = DaysFromCivil(2020, 1, 31);
  const long firstStamp = DaysFromCivil(2021, 6, 1);
  int rows = 0;
  for (bool found = query_->FindFirst(); found; found = query_->FindNext()) {
    ++rows;
    SCOPED_TRACE("row " + std::to_string(rows));
    ASSERT_EQ(query_->Field(0).kind, ValueKind::Integer);
    const long g = static_cast<long>(query_->Field(0).integer);
    ASSERT_EQ(g, rows);

    const qj::ColumnValue& d = query_->Field(1);
    ASSERT_EQ(d.kind, ValueKind::Date);
    EXPECT_EQ(DaysFromCivil(d.year, d.month, d.day), firstDay + g);

    const qj::ColumnValue& tm = query_->Field(2);
    ASSERT_EQ(tm.kind, ValueKind::Time);
    EXPECT_EQ(tm.hour * 3600 + tm.minute * 60 + tm.second, 8 * 3600 + g * 61);

    const qj::ColumnValue& ts = query_->Field(3);
    ASSERT_EQ(ts.kind, ValueKind::Timestamp);
    const long seconds = g * 90061;
    EXPECT_EQ(DaysFromCivil(ts.year, ts.month, ts.day), firstStamp + seconds / 86400);
    EXPECT_EQ(ts.hour * 3600 + ts.minute * 60 + ts.second, seconds % 86400);

    const qj::ColumnValue& b = query_->Field(4);
    // Drivers deliver a truth value as a bit, a number or a text ("1", "0").
    if (b.kind == ValueKind::Boolean) {
      EXPECT_EQ(b.boolean, g % 3 == 0);
    } else if (b.kind == ValueKind::Text) {
      EXPECT_EQ(b.bytes, g % 3 == 0 ? "1" : "0");
    } else {
      ASSERT_EQ(b.kind, ValueKind::Integer);
      EXPECT_EQ(b.integer, g % 3 == 0 ? 1 : 0);
    }

    ASSERT_EQ(query_->Field(5).kind, ValueKind::Float);
    EXPECT_EQ(query_->Field(5).real, static_cast<double>(g) * 0.5);
  }
  EXPECT_EQ(rows, kRows);
}

INSTANTIATE_TEST_SUITE_P(Databases, FixedWidthBlockTest, ::testing::Values("sqlite", "pg"));

}  // namespace
