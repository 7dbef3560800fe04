// Runs against the PostgreSQL server of the test run through psqlODBC: the
// text forms of PostgreSQL's column types in the root and the German locale,
// a streamed result fetched in small blocks, and a refused login.

#include <algorithm>
#include <cstdio>

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::PgExec;
using qjtest::ReadBytes;

class PostgresRun : public ::testing::Test {
 protected:
  void SetUp() override {
    QJ_REQUIRE_PG_OR_SKIP(pg);
    table = qjtest::UniqueName("pgrun");
  }
  void TearDown() override {
    if (created) PgExec(pg, "DROP TABLE " + table + ";");
  }
  void Create(const std::string& columnsAndRows) {
    PgExec(pg, "SET client_encoding = 'UTF8';\nCREATE TABLE " + table + columnsAndRows);
    created = true;
  }

  qjtest::PgServer pg = qjtest::TestPgServer();
  std::string table;
  bool created = false;
  E2eInstall install{"PGSQL"};
};

// Promise: numeric, timestamp, date, time, padded character and text columns
// take their text forms in the user's locale (LC_NUMERIC and LC_TIME each for
// their own category, over LANG), midnight timestamps lose their time part,
// fractions of seconds are not shown, blank padding of CHAR(n) stays in a TXT
// field, and a character that Windows-1252 cannot hold becomes "?".
TEST_F(PostgresRun, ColumnTypesTakeTheLocaleForms) {
  Create(" (k INTEGER, amount NUMERIC(10,2), booked TIMESTAMP, day DATE, at TIME, code CHAR(6), note VARCHAR(20));\n"
         "INSERT INTO " + table + " VALUES\n"
         " (2, -0.01, '2026-11-03 00:00:00', NULL, '00:00:00', NULL, 'Łódź'),\n"
         " (1, 1234.50, '2026-11-02 07:05:09.75', '2026-02-28', '23:59:58', 'ab', 'Preis €5'),\n"
         " (3, 12345678.9, '1999-12-31 23:59:59', '2000-01-01', '12:00:00', 'XYZXYZ', '');\n");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("TYPES", {"SELECT k, amount, booked, day, at, code, note FROM " + table},
                                   {{1, "K", "DEC", "3"},
                                    {2, "AMOUNT", "DEC", "12"},
                                    {3, "BOOKED", "CHAR", "19"},
                                    {4, "DAY", "CHAR", "10"},
                                    {5, "AT", "CHAR", "8"},
                                    {6, "CODE", "TXT", "6"},
                                    {7, "NOTE", "CHAR", "10"}}));
  install.UsePostgres(pg);

  struct Case {
    std::string lang, numeric, time;
    std::string expected;
  };
  const std::string row2Tail = "00:00:00      " + Cp1252("?ód?      ");
  const std::string row3Tail = "12:00:00XYZXYZ          ";
  const std::string row1Tail = "23:59:58ab    " + Cp1252("Preis €5  ");
  const std::vector<Case> cases = {
      {"", "", "",
       "0010000001234.52026-11-02 07:05:092026-02-28" + row1Tail + "0020000000-0.012026-11-03                   " +
           row2Tail + "0030012345678.91999-12-31 23:59:592000-01-01" + row3Tail},
      {"de_DE.UTF-8", "", "",
       "0010000001234,502.11.2026 07:05:0928.02.2026" + row1Tail + "0020000000-0,0103.11.2026                   " +
           row2Tail + "0030012345678,931.12.1999 23:59:5901.01.2000" + row3Tail},
      {"de_DE.UTF-8", "C", "",
       "0010000001234.502.11.2026 07:05:0928.02.2026" + row1Tail + "0020000000-0.0103.11.2026                   " +
           row2Tail + "0030012345678.931.12.1999 23:59:5901.01.2000" + row3Tail},
      {"C.UTF-8", "", "de_DE",
       "0010000001234.502.11.2026 07:05:0928.02.2026" + row1Tail + "0020000000-0.0103.11.2026                   " +
           row2Tail + "0030012345678.931.12.1999 23:59:5901.01.2000" + row3Tail},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("LANG=" + c.lang + " LC_NUMERIC=" + c.numeric + " LC_TIME=" + c.time);
    qjtest::RunOptions options;
    if (!c.numeric.empty()) options.env["LC_NUMERIC"] = c.numeric;
    if (!c.time.empty()) options.env["LC_TIME"] = c.time;
    auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, c.lang, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "3 Saetze kopiert in Datei dnl/types.txt \n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(install.Dnl("types.txt")), c.expected);
  }
}

// Promise: a result streamed in blocks of 100 rows (a server-side cursor)
// gives exactly the records of the whole result, sorted, in both loop shapes.
TEST_F(PostgresRun, StreamedResultGivesEveryRecord) {
  Create(" AS SELECT k AS id, CASE WHEN k % 2 = 0 THEN 'nr ' ELSE 'NR ' END || k AS name,"
         " 1 + k % 3 AS firm FROM generate_series(1, 2500) AS k;\n");
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT DISTINCT firm FROM " + table + " ORDER BY firm"}, {{1, "F", "CHAR", "1"}}) +
      IniSection("ALL", {"SELECT name, id FROM " + table}, {{1, "NAME", "CHAR", "8"}, {2, "ID", "DEC", "6"}}) +
      IniSection("PERFIRM", {"SELECT name, id FROM " + table + " WHERE firm = $parm02"},
                 {{1, "NAME", "CHAR", "8"}, {2, "ID", "DEC", "6"}}));
  install.UsePostgres(pg, "UseDeclareFetch=1;Fetch=100");

  // Records sort by name without regard to case: "nr 10" and "NR 1" compare
  // as "nr 10" and "nr 1"; build the expected order the same way.
  std::vector<std::pair<std::string, std::string>> records;
  for (int k = 1; k <= 2500; ++k) {
    char record[32];
    std::snprintf(record, sizeof record, "%-8s%06d", ((k % 2 == 0 ? "nr " : "NR ") + std::to_string(k)).c_str(), k);
    std::string key = "nr " + std::to_string(k);
    records.emplace_back(key, record);
  }
  std::sort(records.begin(), records.end());
  std::string expected;
  for (const auto& [key, record] : records) expected += record;

  for (const std::string section : {"ALL", "PERFIRM"}) {
    SCOPED_TRACE(section);
    auto r = install.Run({section, "T1", "dnl/all.txt", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "2500 Saetze kopiert in Datei dnl/all.txt \n");
    EXPECT_EQ(ReadBytes(install.Dnl("all.txt")), expected);
  }
}

// Promise: a login the server refuses arrives as the engine's message at the
// first prepare; the run ends with 6 and leaves the download alone.
TEST_F(PostgresRun, RefusedLoginExits6WithTheEngineMessage) {
  install.WriteQueryIni(IniSection("ONE", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}));
  install.WriteConvertedIni(pg.ConnectionString(), pg.user, "not-the-password");
  qjtest::WriteBytes(install.Dnl("out.txt"), "old");
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  EXPECT_NE(r.out.find("Exception bei DB Prepare\n SELECT 1 \r\n["), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("password authentication failed"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "old");
}

}  // namespace
