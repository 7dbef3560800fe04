// The text forms of PostgreSQL's column types through psqlODBC and through
// the native engine in the root and the German locale, and the type table
// under de_DE: the same download on both, save for the dates and timestamps
// psqlODBC cannot hold, which the native engine gives as the server's text.

#include <algorithm>

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

// The parameter: through the native engine (else through psqlODBC).
class PostgresRun : public ::testing::TestWithParam<bool> {
 protected:
  bool Native() const { return GetParam(); }
  // Points the installation at the server in the session time zone UTC.
  void Use(const qjtest::E2eInstall& install, const qjtest::PgServer& pg, bool utc = false) const {
    if (Native()) return install.UsePostgresNative(pg, utc ? "options=-c%20TimeZone%3DUTC" : "");
    install.UsePostgres(pg, utc ? "ConnSettings=SET TIME ZONE 'UTC'" : "");
  }
  // Writes the query definition, GETFIR1 and the section, and points the
  // installation at the server.
  void Install(const qjtest::E2eInstall& install, const qjtest::PgServer& pg, const std::string& section,
               bool utc = false) const {
    install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) + section);
    Use(install, pg, utc);
  }
};

// LC_NUMERIC and LC_TIME each rule their own category over LANG; midnight
// timestamps lose their time part, fractions of seconds are not shown, CHAR(n)
// padding stays in a TXT field, a character outside Windows-1252 becomes "?".
TEST_P(PostgresRun, ColumnTypesTakeTheLocaleForms) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("pgrun");
  qjtest::PgExec(pg, "SET client_encoding = 'UTF8';\nCREATE TABLE " + table +
                         " (k INTEGER, amount NUMERIC(10,2), booked TIMESTAMP, day DATE, at TIME, code CHAR(6),"
                         " note VARCHAR(20));\nINSERT INTO " + table + " VALUES\n"
                         " (2, -0.01, '2026-11-03 00:00:00', NULL, '00:00:00', NULL, 'Łódź'),\n"
                         " (1, 1234.50, '2026-11-02 07:05:09.75', '2026-02-28', '23:59:58', 'ab', 'Preis €5'),\n"
                         " (3, 12345678.9, '1999-12-31 23:59:59', '2000-01-01', '12:00:00', 'XYZXYZ', '');\n");
  qjtest::E2eInstall install("PGSQL");
  Install(install, pg,
          IniSection("TYPES", {"SELECT k, amount, booked, day, at, code, note FROM " + table},
                     {{1, "K", "DEC", "3"}, {2, "AMOUNT", "DEC", "12"}, {3, "BOOKED", "CHAR", "19"},
                      {4, "DAY", "CHAR", "10"}, {5, "AT", "CHAR", "8"}, {6, "CODE", "TXT", "6"},
                      {7, "NOTE", "CHAR", "10"}}));
  // Root forms, then German dates with the given decimal separator.
  const auto expected = [](bool german, const std::string& comma) {
    const std::string tail1 = "23:59:58ab    " + Cp1252("Preis €5  "), tail2 = "00:00:00      " + Cp1252("?ód?      "),
                      tail3 = "12:00:00XYZXYZ          ";
    if (!german) {
      return "0010000001234.52026-11-02 07:05:092026-02-28" + tail1 + "0020000000-0.012026-11-03                   " +
             tail2 + "0030012345678.91999-12-31 23:59:592000-01-01" + tail3;
    }
    return "0010000001234" + comma + "502.11.2026 07:05:0928.02.2026" + tail1 + "0020000000-0" + comma +
           "0103.11.2026                   " + tail2 + "0030012345678" + comma + "931.12.1999 23:59:5901.01.2000" + tail3;
  };
  for (const auto& [lang, variable, value, result] :
       {std::tuple{"", "", "", expected(false, "")}, {"de_DE.UTF-8", "", "", expected(true, ",")},
        {"de_DE.UTF-8", "LC_NUMERIC", "C", expected(true, ".")}, {"C.UTF-8", "LC_TIME", "de_DE", expected(true, ".")}}) {
    SCOPED_TRACE(std::string("LANG=") + lang + " " + variable + "=" + value);
    qjtest::RunOptions options;
    if (*variable != '\0') options.env[variable] = value;
    auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, lang, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "3 Saetze kopiert in Datei dnl/types.txt \n");
    EXPECT_EQ(ReadBytes(install.Dnl("types.txt")), result);
  }
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");
}

// Every type of the table in one download under de_DE, byte for byte. Dates
// and timestamps psqlODBC cannot put into its date struct ('infinity', years
// BC and past 9999) come as the driver's text, never as the current date the
// struct would get; a timestamp with time zone in the session's zone.
TEST_P(PostgresRun, TypeTableGivesTheExpectedForms) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("pgtypes");
  qjtest::PgExec(pg, "SET client_encoding = 'UTF8';\nCREATE TABLE " + table +
                         " (k INTEGER, txt VARCHAR(20), ch CHAR(6), i INTEGER, bi BIGINT, amount NUMERIC(20,2),"
                         " dbl DOUBLE PRECISION, fl REAL, d DATE, t TIME, ts TIMESTAMP, tz TIMESTAMPTZ, flag BOOLEAN,"
                         " bin BYTEA, body TEXT);\nINSERT INTO " + table + " VALUES\n"
                         " (1, 'Müller €', 'ab  ', -2147483648, -9223372036854775808, -0.01, 0.1, 0.1, '2024-02-29',"
                         " '23:59:59', '2023-12-31 23:59:58.75', '2023-12-31 23:59:58.5+05', TRUE, '\\x00ff10', 'short'),\n"
                         " (2, '', 'XYZXYZ', 7, 9223372036854775807, 12345678.90, -2.5e-7, 3.25, 'infinity', '00:00:00',"
                         " 'infinity', 'infinity', FALSE, decode(repeat('ab', 1100), 'hex'), repeat('b', 700)),\n"
                         " (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '-infinity', NULL, '-infinity', '-infinity', NULL,"
                         " NULL, repeat('c', 599) || 'ü'),\n"
                         " (4, 'Łódź', 'y', 0, 0, 12345678901234567.89, 1e300, 3.4e38, '0044-03-15 BC', '24:00:00',"
                         " '0044-03-15 10:00:00 BC', '2024-06-01 00:00:00+00', TRUE, '', ''),\n"
                         " (5, 'z', 'z', 1, 1, 0, 0, 0, '5874897-12-31', '12:34:56.789', '294276-12-31 23:59:59',"
                         " NULL, NULL, NULL, NULL);\n");
  qjtest::E2eInstall install("PGSQL");
  Install(install, pg,
          IniSection("TYPES", {"SELECT k, txt, ch, i, bi, amount, dbl, fl, d, t, ts, tz, flag, bin, body FROM " + table,
                               "ORDER BY k"},
                     {{1, "K", "DEC", "1"}, {2, "TXT", "TXT", "10"}, {3, "CH", "TXT", "6"}, {4, "I", "CHAR", "11"},
                      {5, "BI", "CHAR", "20"}, {6, "AMOUNT", "CHAR", "19"}, {7, "DBL", "CHAR", "8"},
                      {8, "FL", "CHAR", "6"}, {9, "D", "CHAR", "13"}, {10, "T", "CHAR", "8"}, {11, "TS", "CHAR", "22"},
                      {12, "TZ", "CHAR", "19"}, {13, "FLAG", "CHAR", "1"}, {14, "BIN", "CHAR", "2200"},
                      {15, "BODY", "TXT", "700"}}),
          true);
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "5 Saetze kopiert in Datei dnl/types.txt \n" +
                               std::string(Native() ? "" : "qjsqlexe: Warnung: Feld FELD12 (TZ), Satz 3: Wert mit 22 Bytes auf 19 "
                                                           "Bytes gekuerzt\n"));
  const std::vector<size_t> widths = {1, 10, 6, 11, 20, 19, 8, 6, 13, 8, 22, 19, 1, 2200, 700};
  std::string longBin;
  for (int i = 0; i < 1100; ++i) longBin += "AB";
  std::vector<std::vector<std::string>> rows = {
      {"1", Cp1252("Müller €"), "ab", "-2147483648", "-9223372036854775808", "-0,01", "0,1", "0,1", "29.02.2024",
       "23:59:59", "31.12.2023 23:59:58", "31.12.2023 18:59:58", "1", "00FF10", "short"},
      {"2", "", "XYZXYZ", "7", "9223372036854775807", "12345678,9", "-2,5E-7", "3,25", "0000-00-00", "00:00:00",
       "31.12.9999 23:59:59", "31.12.9999 23:59:59", "0", longBin, std::string(700, 'b')},
      {"3", "", "", "", "", "", "", "", "0000-00-00", "", "9999-01-01 00:00:00 BC", "9999-01-01 00:00:00", "", "",
       std::string(599, 'c') + Cp1252("ü")},
      {"4", Cp1252("?ód?"), "y", "0", "0", "1,23456789012346E16", "1E300", "3,4E38", "15.03.0044", "24:00:00",
       "0044-03-15 10:00:00 BC", "01.06.2024", "1", "", ""},
      {"5", "z", "z", "1", "1", "0", "0", "0", "5874-00-00", "12:34:56", "0000-00-00 00:00:00", "", "", "", ""}};
  if (Native()) {
    // The server's own text where psqlODBC's date struct loses the value.
    rows[1][8] = rows[1][10] = rows[1][11] = "infinity";
    rows[2][8] = rows[2][10] = rows[2][11] = "-infinity";
    rows[3][8] = "0044-03-15 BC";
    rows[4][8] = "5874897-12-31";
    rows[4][10] = "294276-12-31 23:59:59";
  }
  const std::string got = ReadBytes(install.Dnl("types.txt"));
  std::string expected;
  for (size_t k = 0; k < rows.size(); ++k) {
    for (size_t f = 0; f < widths.size(); ++f) {
      const std::string field = rows[k][f] + std::string(widths[f] - rows[k][f].size(), ' ');
      EXPECT_EQ(got.substr(std::min(expected.size(), got.size()), field.size()), field)
          << "row " << k + 1 << " field " << f + 1;
      expected += field;
    }
  }
  EXPECT_EQ(got.size(), expected.size());
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");
}

// Numbers the server writes in no plain form (NaN, Infinity, a decimal
// longer than the text read for it) take the same values on both engines:
// through ODBC, the driver's own conversion of them; the plain ones, read
// from the driver's text, their exact values to the last digit.
TEST_P(PostgresRun, NumbersOutsideThePlainFormKeepTheirValues) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("pgnums");
  qjtest::PgExec(pg, "CREATE TABLE " + table + " (k INTEGER, dbl DOUBLE PRECISION, amount NUMERIC, bi BIGINT, fl REAL);\n"
                     "INSERT INTO " + table + " VALUES\n"
                     " (1, 'NaN', 'NaN', -9223372036854775808, 'NaN'),\n"
                     " (2, 'Infinity', 1e70, 9223372036854775807, 'Infinity'),\n"
                     " (3, '-Infinity', 123456789012345678901234567890.123456789012345678901234567890123456789, 42,"
                     " '-Infinity'),\n"
                     " (4, 1.7976931348623157e308, -1e-70, 0, 3.4e38),\n"
                     " (5, 5e-324, 0.000000000000000000000000000000000000000000000000000000000000000001, -1, 1e-45);\n");
  qjtest::E2eInstall install("PGSQL");
  Install(install, pg,
          IniSection("NUMS", {"SELECT k, dbl, amount, bi, fl FROM " + table + " ORDER BY k"},
                     {{1, "K", "DEC", "1"}, {2, "DBL", "CHAR", "24"}, {3, "AMOUNT", "CHAR", "24"},
                      {4, "BI", "CHAR", "21"}, {5, "FL", "CHAR", "12"}}),
          true);
  auto r = install.Run({"NUMS", "T1", "dnl/nums.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("nums.txt")),
            "1NAN                     NAN                     -9223372036854775808 NAN         "
            "2INF                     1E70                    9223372036854775807  INF         "
            "3-INF                    1,23456789012346E29     42                   -INF        "
            "41,79769313486232E308    -1E-70                  0                    3,4E38      "
            "54,94065645841247E-324   1E-66                   -1                   1E-45       ");
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");
}

// From the 4,096th record of a pass on, the values are built beside the
// fetch. Rows 4,001 to 8,000 repeat rows 1 to 4,000 value for value, so after
// the sort every record stands beside its twin, most of them one built each
// way: the twins must be the same bytes, NULLs and values in no plain form
// included.
TEST_P(PostgresRun, ValuesBuiltBesideTheFetchAreTheSameAsBefore) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("pgtwins");
  qjtest::PgExec(pg, "SET client_encoding = 'UTF8';\nCREATE TABLE " + table + " AS SELECT g,"
                     " CASE WHEN r % 7 = 0 THEN NULL ELSE 'Müller ' || (r * 7919 % 4000) END AS name,"
                     " CASE WHEN r % 5 = 0 THEN NULL ELSE r * 37 END AS n,"
                     " CASE WHEN r % 11 = 0 THEN 'NaN'::float8 ELSE r / 8.0 END AS dbl,"
                     " CASE WHEN r % 13 = 0 THEN 'infinity'::date WHEN r % 17 = 0 THEN NULL ELSE DATE '2020-01-01' + r END AS d,"
                     " TIMESTAMP '2021-06-01 08:00:00' + r * INTERVAL '61 minutes' AS ts, r % 2 = 0 AS flag"
                     " FROM generate_series(1, 8000) g, LATERAL (SELECT (g - 1) % 4000 AS r) x;\n");
  qjtest::E2eInstall install("PGSQL");
  Install(install, pg,
          IniSection("TWINS", {"SELECT name, n, dbl, d, ts, flag FROM " + table + " ORDER BY g"},
                     {{1, "NAME", "TXT", "14"}, {2, "N", "DEC", "7"}, {3, "DBL", "CHAR", "8"}, {4, "D", "CHAR", "10"},
                      {5, "TS", "CHAR", "19"}, {6, "FLAG", "CHAR", "1"}}),
          true);
  auto r = install.Run({"TWINS", "T1", "dnl/twins.txt", "1"}, "de_DE.UTF-8");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string got = ReadBytes(install.Dnl("twins.txt"));
  constexpr size_t kRecord = 14 + 7 + 8 + 10 + 19 + 1;
  ASSERT_EQ(got.size(), 8000 * kRecord);
  for (size_t k = 0; k < 8000; k += 2) {
    ASSERT_EQ(got.substr(k * kRecord, kRecord), got.substr((k + 1) * kRecord, kRecord)) << "records " << k + 1;
  }
  EXPECT_NE(got.find(Cp1252("Müller ")), std::string::npos);
  EXPECT_NE(got.find("NAN"), std::string::npos);
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");
}

INSTANTIATE_TEST_SUITE_P(Engines, PostgresRun, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Native" : "Odbc"; });

}  // namespace

namespace {

// The server ends the session while the native engine streams the rows: the
// run ends abnormally (3) with the server's message and leaves the download
// alone.
TEST(PostgresNativeRun, ConnectionLostWhileStreamingEndsTheRunAbnormally) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  qjtest::E2eInstall install("PGSQL");
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
      IniSection("LOST", {"SELECT CASE WHEN g = 5000 THEN pg_terminate_backend(pg_backend_pid())::int ELSE g END",
                          "FROM generate_series(1, 10000) g"},
                 {{1, "G", "DEC", "6"}}));
  install.UsePostgresNative(pg);
  qjtest::WriteBytes(install.Dnl("lost.txt"), "OLD");
  auto r = install.Run({"LOST", "T1", "dnl/lost.txt", "1"});
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  EXPECT_EQ(r.err.rfind("qjsqlexe: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("[57P01]"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[08S01]"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("lost.txt")), "OLD");
}

}  // namespace
