// SQLite keeps any value in any column: the download shows each value as
// stored, whatever the column's declared type. Every download is the same
// through the SQLite3 ODBC driver and the native engine, save for texts that
// read as numbers, which only the native engine can tell from numbers.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

// The parameter: through the native engine (else through ODBC).
class SqliteValues : public ::testing::TestWithParam<bool> {
 protected:
  bool Native() const { return GetParam(); }
};

TEST_P(SqliteValues, ValuesOfOtherStorageClassesAsStored) {
  qjtest::E2eInstall install;
  install.UseSqlite(
      "CREATE TABLE v (k INTEGER, n INTEGER, d DATE, r REAL, txt VARCHAR(12), flag BOOLEAN, bin BLOB);\n"
      "INSERT INTO v VALUES (1, 5.5, 'morgen', 1.7976931348623157e308, 'Müller €', 1, X'00FF'),\n"
      " (2, 'abc', '20240101', 0.1, '1.25', 0, NULL),\n"
      " (3, 42, '2024-02-29', -1.7976931348623157e308, 'ab  ', NULL, X'');\n", Native());
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("TYPES", {"SELECT k, n, d, r, txt, flag, bin FROM v ORDER BY k"},
                                   {{1, "K", "DEC", "1"}, {2, "N", "CHAR", "4"}, {3, "D", "CHAR", "10"},
                                    {4, "R", "CHAR", "22"}, {5, "TXT", "TXT", "9"}, {6, "FLAG", "CHAR", "1"},
                                    {7, "BIN", "CHAR", "4"}}));
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "3 Saetze kopiert in Datei dnl/types.txt \n");
  // The largest double exact (not INF); a text column's '1.25' stays that text.
  EXPECT_EQ(ReadBytes(install.Dnl("types.txt")),
            "15,5 morgen    1,79769313486232E308  " + Cp1252("Müller € ") + "100FF"
            "2abc 20240101  0,1                   1.25     0    "
            "342  29.02.2024-1,79769313486232E308 ab       "
            "     ");
}

// Decimal columns and expressions the driver reports as text.
TEST_P(SqliteValues, DecimalColumnsAndExpressionsInTheNumberForm) {
  qjtest::E2eInstall install;
  install.UseSqlite("CREATE TABLE x (k INTEGER, a DECIMAL(10,2));\n"
                    "INSERT INTO x VALUES (1, 1.25), (2, 5.0), (3, -0.00001);\n", Native());
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("TYPES", {"SELECT k, a, a * 1 FROM x ORDER BY k"},
                                   {{1, "K", "DEC", "1"}, {2, "A", "CHAR", "8"}, {3, "E", "CHAR", "8"}}));
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("types.txt")), "11,25    1,25    25       5       3-1E-5   -1E-5   ");
}

// Texts an expression yields keep every character: a number in text form
// that SQLite would never write for a number ('0100', '1.50') stays text.
TEST_P(SqliteValues, TextsOfExpressionsKeepTheirLeadingZeros) {
  qjtest::E2eInstall install;
  install.UseSqlite("CREATE TABLE f (firm VARCHAR(4), plz TEXT, n INTEGER);\n"
                    "INSERT INTO f VALUES ('0100', '01234', 7), ('0200', '1.50', 8);\n", Native());
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
      IniSection("TYPES", {"SELECT upper(firm), CAST(plz AS TEXT), '0042', n * 1.5 FROM f ORDER BY firm"},
                 {{1, "A", "TXT", "5"}, {2, "B", "TXT", "6"}, {3, "C", "TXT", "5"}, {4, "D", "TXT", "5"}}));
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("types.txt")), "0100 01234 0042 10,5 "
                                                 "0200 1.50  0042 12   ");
}

// Every type of the table in one download, each value stored in its
// column's own form; long texts and binary values in later rows come whole
// and from their own row.
TEST_P(SqliteValues, TypeTableGivesTheExpectedForms) {
  qjtest::E2eInstall install;
  install.UseSqlite(
      "CREATE TABLE t (k INTEGER, txt VARCHAR(20), ch CHAR(6), i INTEGER, bi BIGINT, amount DECIMAL(10,2),"
      " dbl DOUBLE, fl FLOAT, d DATE, tm TIME, dt DATETIME, flag BOOLEAN, bin BLOB, body TEXT);\n"
      "INSERT INTO t VALUES\n"
      " (1, 'Müller €', 'ab  ', -2147483648, 9223372036854775807, -0.01, 0.1, 0.1, '2024-02-29', '23:59:59',"
      " '2023-12-31 23:59:58', 1, X'00FF10', 'short'),\n"
      " (2, '', 'XYZXYZ', 7, -9223372036854775808, 12345678.90, -2.5e-7, 3.25, '1999-01-02', '00:00:00',"
      " '2000-01-01 00:00:00', 0, zeroblob(1100), printf('%.700c', 'b')),\n"
      " (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, printf('%.599c', 'c') || 'ü');\n", Native());
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
      IniSection("TYPES", {"SELECT k, txt, ch, i, bi, amount, dbl, fl, d, tm, dt, flag, bin, body FROM t ORDER BY k"},
                 {{1, "K", "DEC", "1"}, {2, "TXT", "TXT", "10"}, {3, "CH", "TXT", "6"}, {4, "I", "CHAR", "11"},
                  {5, "BI", "CHAR", "20"}, {6, "AMOUNT", "CHAR", "11"}, {7, "DBL", "CHAR", "8"}, {8, "FL", "CHAR", "4"},
                  {9, "D", "CHAR", "10"}, {10, "T", "CHAR", "8"}, {11, "DT", "CHAR", "19"}, {12, "FLAG", "CHAR", "1"},
                  {13, "BIN", "CHAR", "2200"}, {14, "BODY", "TXT", "700"}}));
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "3 Saetze kopiert in Datei dnl/types.txt \n");
  const std::vector<size_t> widths = {1, 10, 6, 11, 20, 11, 8, 4, 10, 8, 19, 1, 2200, 700};
  const std::vector<std::vector<std::string>> rows = {
      {"1", Cp1252("Müller €"), "ab  ", "-2147483648", "9223372036854775807", "-0,01", "0,1", "0,1", "29.02.2024",
       "23:59:59", "31.12.2023 23:59:58", "1", "00FF10", "short"},
      {"2", "", "XYZXYZ", "7", "-9223372036854775808", "12345678,9", "-2,5E-7", "3,25", "02.01.1999", "00:00:00",
       "01.01.2000", "0", std::string(2200, '0'), std::string(700, 'b')},
      {"3", "", "", "", "", "", "", "", "", "", "", "", "", std::string(599, 'c') + Cp1252("ü")}};
  std::string expected;
  for (const auto& row : rows) {
    for (size_t f = 0; f < widths.size(); ++f) expected += row[f] + std::string(widths[f] - row[f].size(), ' ');
  }
  EXPECT_EQ(ReadBytes(install.Dnl("types.txt")), expected);
}

// Texts that read as numbers and numbers: ODBC delivers '2.5' and 2.5 alike,
// so an expression's text takes the number form and a number in a column
// without declared type the text form; the native engine gives each value in
// its storage class.
TEST_P(SqliteValues, TextsThatReadAsNumbersStayTextsOnlyNatively) {
  qjtest::E2eInstall install;
  install.UseSqlite("CREATE TABLE f (k INTEGER, x);\n"
                    "INSERT INTO f VALUES (1, '1.25'), (2, 1.25), (3, '1e+05'), (4, '42');\n",
                    Native());
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("TYPES", {"SELECT k, x, '2.5' FROM f ORDER BY k"},
                                   {{1, "K", "DEC", "1"}, {2, "X", "CHAR", "6"}, {3, "L", "CHAR", "3"}}));
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("types.txt")),
            Native() ? "11.25  2.5" "21,25  2.5" "31e+05 2.5" "442    2.5"
                     : "11.25  2,5" "21.25  2,5" "31e+05 2,5" "442    2,5");
}

INSTANTIATE_TEST_SUITE_P(Engines, SqliteValues, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Native" : "Odbc"; });

}  // namespace
