// SQLite keeps any value in any column: the download shows each value as
// stored, whatever the column's declared type.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

TEST(SqliteValues, ValuesOfOtherStorageClassesAsStored) {
  qjtest::E2eInstall install;
  install.UseSqlite(
      "CREATE TABLE v (k INTEGER, n INTEGER, d DATE, r REAL, txt VARCHAR(12), flag BOOLEAN, bin BLOB);\n"
      "INSERT INTO v VALUES (1, 5.5, 'morgen', 1.7976931348623157e308, 'Müller €', 1, X'00FF'),\n"
      " (2, 'abc', '20240101', 0.1, '1.25', 0, NULL),\n"
      " (3, 42, '2024-02-29', -1.7976931348623157e308, 'ab  ', NULL, X'');\n");
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
TEST(SqliteValues, DecimalColumnsAndExpressionsInTheNumberForm) {
  qjtest::E2eInstall install;
  install.UseSqlite("CREATE TABLE x (k INTEGER, a DECIMAL(10,2));\n"
                    "INSERT INTO x VALUES (1, 1.25), (2, 5.0), (3, -0.00001);\n");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("TYPES", {"SELECT k, a, a * 1 FROM x ORDER BY k"},
                                   {{1, "K", "DEC", "1"}, {2, "A", "CHAR", "8"}, {3, "E", "CHAR", "8"}}));
  auto r = install.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("types.txt")), "11,25    1,25    25       5       3-1E-5   -1E-5   ");
}

}  // namespace
