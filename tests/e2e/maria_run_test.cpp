// The text forms of MariaDB's column types through MariaDB Connector/ODBC,
// in the German locale, byte for byte.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

class MariaRun : public ::testing::Test {
 protected:
  void SetUp() override {
    QJ_REQUIRE_MARIA_OR_SKIP(maria_);
    table_ = qjtest::UniqueName("maria");
    install_.WriteConvertedIni(maria_.ConnectionString(), maria_.user, maria_.password);
  }
  void TearDown() override {
    if (maria_.Available()) qjtest::MariaExec(maria_, "DROP TABLE IF EXISTS " + table_ + ";");
  }
  qjtest::RunResult Run(const std::string& sql, const std::vector<qjtest::FieldSpec>& fields) {
    install_.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                           IniSection("TYPES", {sql}, fields));
    return install_.Run({"TYPES", "T1", "dnl/types.txt", "1"}, "de_DE.UTF-8");
  }
  std::string Download() const { return ReadBytes(install_.Dnl("types.txt")); }

  qjtest::MariaServer maria_ = qjtest::TestMariaServer();
  qjtest::E2eInstall install_{"MYSQL"};
  std::string table_;
};

// Every type of the table in one download; long texts and binary values in
// later rows of a fetch block come whole and from their own row.
TEST_F(MariaRun, TypeTableGivesTheExpectedForms) {
  qjtest::MariaExec(maria_, "CREATE TABLE " + table_ +
                                " (k INT, txt VARCHAR(20), ch CHAR(6), i INT, bi BIGINT, ub BIGINT UNSIGNED,"
                                " amount DECIMAL(10,2), dbl DOUBLE, fl FLOAT, d DATE, t TIME, dt DATETIME, flag BOOLEAN,"
                                " bin BLOB, body TEXT);\nINSERT INTO " + table_ + " VALUES\n"
                                " (1, 'Müller €', 'ab  ', -2147483648, -9223372036854775808, 18446744073709551615,"
                                " -0.01, 0.1, 0.1, '2024-02-29', '838:59:59', '2023-12-31 23:59:58', TRUE,"
                                " X'00FF10', 'short'),\n"
                                " (2, '', 'XYZXYZ', 7, 9000000000, 0, 12345678.90, -2.5e-7, 3.25, '1999-01-02',"
                                " '-838:59:59', '2000-01-01 00:00:00', FALSE, REPEAT(X'AB', 1100), REPEAT('b', 700)),\n"
                                " (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '25:00:00', NULL, NULL, NULL,"
                                " CONCAT(REPEAT('c', 599), 'ü'));\n");
  auto r = Run("SELECT k, txt, ch, i, bi, ub, amount, dbl, fl, d, t, dt, flag, bin, body FROM " + table_ + " ORDER BY k",
               {{1, "K", "DEC", "1"}, {2, "TXT", "TXT", "10"}, {3, "CH", "TXT", "6"}, {4, "I", "CHAR", "11"},
                {5, "BI", "CHAR", "20"}, {6, "UB", "CHAR", "20"}, {7, "AMOUNT", "CHAR", "11"}, {8, "DBL", "CHAR", "8"},
                {9, "FL", "CHAR", "4"}, {10, "D", "CHAR", "10"}, {11, "T", "CHAR", "10"}, {12, "DT", "CHAR", "19"},
                {13, "FLAG", "CHAR", "1"}, {14, "BIN", "CHAR", "2200"}, {15, "BODY", "TXT", "700"}});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "3 Saetze kopiert in Datei dnl/types.txt \n");
  const std::vector<size_t> widths = {1, 10, 6, 11, 20, 20, 11, 8, 4, 10, 10, 19, 1, 2200, 700};
  std::string longBin;
  for (int i = 0; i < 1100; ++i) longBin += "AB";
  const std::vector<std::vector<std::string>> rows = {
      {"1", Cp1252("Müller €"), "ab", "-2147483648", "-9223372036854775808", "18446744073709551615", "-0,01", "0,1",
       "0,1", "29.02.2024", "838:59:59", "31.12.2023 23:59:58", "1", "00FF10", "short"},
      {"2", "", "XYZXYZ", "7", "9000000000", "0", "12345678,9", "-2,5E-7", "3,25", "02.01.1999", "-838:59:59",
       "01.01.2000", "0", longBin, std::string(700, 'b')},
      {"3", "", "", "", "", "", "", "", "", "", "25:00:00", "", "", "", std::string(599, 'c') + Cp1252("ü")}};
  std::string expected;
  for (const auto& row : rows) {
    for (size_t f = 0; f < widths.size(); ++f) expected += row[f] + std::string(widths[f] - row[f].size(), ' ');
  }
  const std::string got = Download();
  EXPECT_EQ(got, expected);
}

// The repro of a long text outside the first row of a block: every row its
// own value.
TEST_F(MariaRun, LongTextsOfLaterRowsAreTheirOwn) {
  auto r = Run("SELECT id, CONCAT(REPEAT('a',600),id) FROM (SELECT 1 id UNION SELECT 2 UNION SELECT 3) x ORDER BY id",
               {{1, "ID", "DEC", "1"}, {2, "TEXT", "TXT", "601"}});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string expected;
  for (char id : {'1', '2', '3'}) expected += id + std::string(600, 'a') + id;
  EXPECT_EQ(Download(), expected);
}

// Zero dates and dates with a zero month or day, which MariaDB keeps under
// its default sql_mode: the server's text, never NULL.
TEST_F(MariaRun, ZeroDatesAsTheServersText) {
  qjtest::MariaExec(maria_, "CREATE TABLE " + table_ + " (k INT, d DATE, dt DATETIME);\nINSERT INTO " + table_ +
                                " VALUES (1, '0000-00-00', '0000-00-00 00:00:00'), (2, '2024-00-15', '2024-02-00 10:00:00'),"
                                " (3, '2024-02-29', '2024-02-29 10:00:00.5');\n");
  auto r = Run("SELECT k, d, dt FROM " + table_ + " ORDER BY k",
               {{1, "K", "DEC", "1"}, {2, "D", "CHAR", "10"}, {3, "DT", "CHAR", "19"}});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Download(), "10000-00-000000-00-00 00:00:00"
                        "22024-00-152024-02-00 10:00:00"
                        "329.02.202429.02.2024 10:00:00");
}

}  // namespace
