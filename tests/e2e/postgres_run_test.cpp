// The text forms of PostgreSQL's column types through psqlODBC in the root
// and the German locale.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

// LC_NUMERIC and LC_TIME each rule their own category over LANG; midnight
// timestamps lose their time part, fractions of seconds are not shown, CHAR(n)
// padding stays in a TXT field, a character outside Windows-1252 becomes "?".
TEST(PostgresRun, ColumnTypesTakeTheLocaleForms) {
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
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("TYPES", {"SELECT k, amount, booked, day, at, code, note FROM " + table},
                                   {{1, "K", "DEC", "3"}, {2, "AMOUNT", "DEC", "12"}, {3, "BOOKED", "CHAR", "19"},
                                    {4, "DAY", "CHAR", "10"}, {5, "AT", "CHAR", "8"}, {6, "CODE", "TXT", "6"},
                                    {7, "NOTE", "CHAR", "10"}}));
  install.UsePostgres(pg);
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

}  // namespace
