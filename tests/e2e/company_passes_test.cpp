// Company lists and company passes through the installed binary: where the
// companies come from, one pass per company with "$parm02" filled in, and
// runs without companies. SQLite, and one run on PostgreSQL.

#include <string>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;

// Terminal T1 serves three firms, T2 none; the empty terminal serves 0900.
// The firm table names are firm values too, for passes that fail.
const char kTables[] =
    "CREATE TABLE tf(terminal VARCHAR(10), firm VARCHAR(10));"
    "INSERT INTO tf VALUES ('T1', '0300'), ('T1', '0100'), ('T1', '0200'), ('', '0900'), ('', '0800');"
    "CREATE TABLE item(firm VARCHAR(10), name VARCHAR(20));"
    "INSERT INTO item VALUES ('0100', 'bolt'), ('0200', 'Nut'), ('0200', 'axle'), ('0300', 'Cog'),"
    " ('0900', 'gear'), ('0800', 'pin');";

const char kFirmsOfTerminal[] = "SELECT firm FROM tf WHERE terminal = '$parm01' ORDER BY firm";

// Items of the firm of the pass: NAME CHAR 5, FIRM CHAR 4.
std::string ItemsPerFirm(const std::string& name = "PERFIRM") {
  return IniSection(name, {"SELECT name, firm FROM item WHERE firm = '$parm02'"},
                    {{1, "NAME", "CHAR", "5"}, {2, "FIRM", "CHAR", "4"}});
}

// The number of passes a traced run made for the requested statement.
int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class CompanyPasses : public ::testing::Test {
 protected:
  void SetUp() override { install.UseSqlite(kTables); }
  qjtest::E2eInstall install;
};

// Promise: the firms of GETFIR1 give one pass each, in their order, and all
// records of all passes are sorted together; GETFIR2 is not loaded.
TEST_F(CompanyPasses, ThreeCompaniesGiveThreePassesInOrder) {
  install.WriteQueryIni(IniSection("GETFIR1", {kFirmsOfTerminal}, {{1, "FIRM", "CHAR", "4"}}) +
                        IniSection("GETFIR2", {"SELECT 'never'"}, {{1, "F", "CHAR", "4"}}) + ItemsPerFirm());
  auto r = install.Run({"PERFIRM", "T1", "dnl/out.txt", "1", "/D"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "axle 0200bolt 0100Cog  0300Nut  0200");
  EXPECT_EQ(Count(r.out, "Str ReadFirst\n"), 4);
  const size_t p1 = r.out.find("firm = '0100'");
  const size_t p2 = r.out.find("firm = '0200'");
  const size_t p3 = r.out.find("firm = '0300'");
  ASSERT_NE(p3, std::string::npos) << r.out;
  EXPECT_LT(p1, p2);
  EXPECT_LT(p2, p3);
  EXPECT_EQ(r.out.find("never"), std::string::npos) << "GETFIR2 is not loaded";
  EXPECT_EQ(Count(r.out, "Str ReadNext Schleife\n"), 3);
  EXPECT_NE(r.out.find("4 Saetze kopiert in Datei dnl/out.txt \n"), std::string::npos);
}

// Promise: without FELD01 in GETFIR1 the rows still count, and each pass gets
// the empty value.
TEST_F(CompanyPasses, UnnamedCompanyFieldGivesPassesWithEmptyValues) {
  install.WriteQueryIni(IniSection("GETFIR1", {kFirmsOfTerminal}, {{2, "FIRM", "CHAR", "4"}}) +
                        IniSection("SHOW", {"SELECT '[$parm02]'"}, {{1, "V", "CHAR", "3"}}));
  auto r = install.Run({"SHOW", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "[] [] [] ");
}

// Promise: when GETFIR1 yields no row, GETFIR2 runs with "$parm01" emptied;
// a missing GETFIR1 section is handed over as one blank, its rejection is
// reported and does not change the exit code.
TEST_F(CompanyPasses, SecondSectionSuppliesTheCompanies) {
  install.WriteQueryIni(IniSection("GETFIR1", {kFirmsOfTerminal}, {{1, "FIRM", "CHAR", "4"}}) +
                        IniSection("GETFIR2", {kFirmsOfTerminal}, {{1, "FIRM", "CHAR", "4"}}) + ItemsPerFirm());
  auto r = install.Run({"PERFIRM", "T2", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "gear 0900pin  0800");

  install.WriteQueryIni(IniSection("GETFIR2", {kFirmsOfTerminal}, {{1, "FIRM", "CHAR", "4"}}) + ItemsPerFirm());
  r = install.Run({"PERFIRM", "T1", "dnl/out2.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string head = "Exception bei DB Open\n \r\n";
  const std::string tail = "\n\n2 Saetze kopiert in Datei dnl/out2.txt \n";
  EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
  ASSERT_GT(r.out.size(), head.size() + tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(Count(r.out, "Exception"), 1) << r.out;
  EXPECT_EQ(ReadBytes(install.Dnl("out2.txt")), "gear 0900pin  0800");
}

// Promise: without any company a "$parm02" statement never runs (a rejected
// one would be reported), and a statement without it runs exactly once.
TEST_F(CompanyPasses, NoCompaniesAtAll) {
  const std::string none = IniSection("GETFIR1", {"SELECT firm FROM tf WHERE 1 = 0"}, {{1, "F", "CHAR", "4"}}) +
                           IniSection("GETFIR2", {"SELECT firm FROM tf WHERE 1 = 0"}, {{1, "F", "CHAR", "4"}});
  install.WriteQueryIni(none + IniSection("NEEDS", {"SELECT x FROM nosuch_$parm02"}, {{1, "X", "CHAR", "1"}}) +
                        IniSection("PLAIN", {"SELECT name FROM item WHERE firm = '0100'"}, {{1, "N", "CHAR", "4"}}));
  auto r = install.Run({"NEEDS", "T1", "dnl/out.txt", "1", "/D"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Count(r.out, "Str ReadFirst\n"), 2) << "only the two company statements run";
  EXPECT_EQ(Count(r.out, "nosuch"), 1) << "only the load shows the statement: " << r.out;
  EXPECT_EQ(r.out.find("Str ReadNext Schleife"), std::string::npos);
  EXPECT_NE(r.out.find("0 Saetze kopiert in Datei dnl/out.txt \n"), std::string::npos);
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));

  r = install.Run({"PLAIN", "T1", "dnl/plain.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1 Saetze kopiert in Datei dnl/plain.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("plain.txt")), "bolt");
}

// Promise: "$PARM02" and "$parm2" are no placeholders: the statement runs
// once with them unchanged, whatever the company list holds.
TEST_F(CompanyPasses, OtherSpellingsRunOnce) {
  install.WriteQueryIni(IniSection("GETFIR1", {kFirmsOfTerminal}, {{1, "FIRM", "CHAR", "4"}}) +
                        IniSection("ODD", {"SELECT '$PARM02 $parm2'"}, {{1, "V", "CHAR", "14"}}));
  auto r = install.Run({"ODD", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "$PARM02 $parm2");
}

// Promise: every company value is kept, also beyond 29, and gets its pass.
TEST_F(CompanyPasses, FortyCompaniesGiveFortyPasses) {
  std::string values = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)";
  install.WriteQueryIni(
      IniSection("GETFIR1", {values, "SELECT printf('C%02d', i) FROM n ORDER BY i"}, {{1, "C", "CHAR", "3"}}) +
      IniSection("EACH", {"SELECT '$parm02'"}, {{1, "V", "CHAR", "4"}}));
  auto r = install.Run({"EACH", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "40 Saetze kopiert in Datei dnl/out.txt \n");
  std::string expected;
  for (int i = 1; i <= 40; ++i) expected += (i < 10 ? "C0" : "C") + std::to_string(i) + " ";
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), expected);
}

// Promise: a pass whose statement the engine rejects is reported, the other
// passes deliver their records, and the run ends with 6.
TEST_F(CompanyPasses, OneFailingPassAmongThreeExits6) {
  // The company values name tables; the middle one does not exist.
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT 'item' UNION ALL SELECT 'gone' UNION ALL SELECT 'tf'"}, {{1, "T", "CHAR", "4"}}) +
      IniSection("FROMTAB", {"SELECT firm FROM $parm02 WHERE firm IN ('0100', '0900')"}, {{1, "F", "CHAR", "4"}}));
  auto r = install.Run({"FROMTAB", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.err;
  const std::string head = "Exception bei DB Prepare\n SELECT firm FROM gone WHERE firm IN ('0100', '0900') \r\n";
  const std::string tail = "\n\n4 Saetze kopiert in Datei dnl/out.txt \n";
  EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
  ASSERT_GT(r.out.size(), head.size() + tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "0100010009000900");
}

// Promise: the same company passes on PostgreSQL, with a company value that
// holds its own placeholder inserted once.
TEST(CompanyPassesPostgres, CompaniesFromTheServer) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string tf = qjtest::UniqueName("qd_tf");
  qjtest::PgExec(pg, "CREATE TABLE " + tf + " (terminal VARCHAR(10), firm VARCHAR(10));"
                     "INSERT INTO " + tf + " VALUES ('T1', '0200'), ('T1', '0100'), ('T1', 'x$parm02'), ('T2', '0900');");
  qjtest::E2eInstall install("PGSQL");
  install.UsePostgres(pg);
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT firm FROM " + tf + " WHERE terminal = '$parm01' ORDER BY firm"},
                 {{1, "FIRM", "CHAR", "4"}}) +
      IniSection("PAIRS", {"SELECT '$parm02', '$parm01'"}, {{1, "C", "CHAR", "9"}, {2, "T", "CHAR", "2"}}));
  auto r = install.Run({"PAIRS", "T1", "dnl/out.txt", "1"});
  qjtest::PgExec(pg, "DROP TABLE " + tf + ";");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "3 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "0100     T10200     T1x$parm02 T1");
}

}  // namespace
