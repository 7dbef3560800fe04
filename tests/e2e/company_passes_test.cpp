// Company lists and company passes through the installed binary: where the
// companies come from and one pass per company with "$parm02" filled in.
// SQLite, and one run on PostgreSQL.

#include <cstdio>
#include <string>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;

// Terminal T1 serves three firms, T2 none; the empty terminal serves 0900 and 0800.
const char kTables[] =
    "CREATE TABLE tf(terminal VARCHAR(10), firm VARCHAR(10));"
    "INSERT INTO tf VALUES ('T1', '0300'), ('T1', '0100'), ('T1', '0200'), ('', '0900'), ('', '0800');"
    "CREATE TABLE item(firm VARCHAR(10), name VARCHAR(20));"
    "INSERT INTO item VALUES ('0100', 'bolt'), ('0200', 'Nut'), ('0200', 'axle'), ('0300', 'Cog'),"
    " ('0900', 'gear'), ('0800', 'pin');";

std::string Companies(const std::string& name, const std::string& sql, int slot = 1) {
  return IniSection(name, {sql}, {{slot, "FIRM", "CHAR", "4"}});
}
const std::string kFirms = "SELECT firm FROM tf WHERE terminal = '$parm01' ORDER BY firm";
// Items of the firm of the pass: NAME CHAR 5, FIRM CHAR 4.
const std::string kPerFirm = IniSection("PERFIRM", {"SELECT name, firm FROM item WHERE firm = '$parm02'"},
                                        {{1, "NAME", "CHAR", "5"}, {2, "FIRM", "CHAR", "4"}});

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class CompanyPasses : public ::testing::Test {
 protected:
  void SetUp() override { install.UseSqlite(kTables); }
  // Runs section for terminal T1 (or as given) into dnl/out.txt; the download is left in `download`.
  qjtest::RunResult Run(const std::string& ini, const std::string& section, const std::string& terminal = "T1") {
    install.WriteQueryIni(ini);
    std::remove(install.Dnl("out.txt").c_str());
    qjtest::RunResult r = install.Run({section, terminal, "dnl/out.txt", "1"});
    download = qjtest::FileExists(install.Dnl("out.txt")) ? ReadBytes(install.Dnl("out.txt")) : "<none>";
    return r;
  }
  qjtest::E2eInstall install;
  std::string download;
};

TEST_F(CompanyPasses, WhereTheCompaniesComeFrom) {
  // Without FELD01 in GETFIR1 the rows still count, each pass with the empty value.
  auto r = Run(Companies("GETFIR1", kFirms, 2) + IniSection("SHOW", {"SELECT '[$parm02]'"}, {{1, "V", "CHAR", "3"}}),
               "SHOW");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(download, "[] [] [] ");

  // No row from GETFIR1: GETFIR2 runs with "$parm01" emptied.
  r = Run(Companies("GETFIR1", kFirms) + Companies("GETFIR2", kFirms) + kPerFirm, "PERFIRM", "T2");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(download, "gear 0900pin  0800");
  // A missing GETFIR1 is one blank: its rejection is reported, the exit code stays 0.
  r = Run(Companies("GETFIR2", kFirms) + kPerFirm, "PERFIRM");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Exception bei DB Open\n \r\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("\n\n2 Saetze")), "\n\n2 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(Count(r.out, "Exception"), 1) << r.out;
  EXPECT_EQ(download, "gear 0900pin  0800");
}

TEST_F(CompanyPasses, FortyCompaniesAndOneFailingPass) {
  // Every company value is kept, also beyond 29, and gets its pass.
  auto r = Run(IniSection("GETFIR1", {"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)",
                                      "SELECT printf('C%02d', i) FROM n ORDER BY i"},
                          {{1, "C", "CHAR", "3"}}) +
                   IniSection("EACH", {"SELECT '$parm02'"}, {{1, "V", "CHAR", "4"}}),
               "EACH");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "40 Saetze kopiert in Datei dnl/out.txt \n");
  std::string expected;
  for (int i = 1; i <= 40; ++i) expected += (i < 10 ? "C0" : "C") + std::to_string(i) + " ";
  EXPECT_EQ(download, expected);
  // The company values name tables, the middle one missing: the other passes deliver, exit 6.
  r = Run(Companies("GETFIR1", "SELECT 'item' UNION ALL SELECT 'gone' UNION ALL SELECT 'tf'") +
              IniSection("FROMTAB", {"SELECT firm FROM $parm02 WHERE firm IN ('0100', '0900')"}, {{1, "F", "CHAR", "4"}}),
          "FROMTAB");
  EXPECT_EQ(r.exitCode, 6) << r.err;
  const std::string head = "Exception bei DB Prepare\n SELECT firm FROM gone WHERE firm IN ('0100', '0900') \r\n";
  EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("\n\n4 Saetze")), "\n\n4 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(download, "0100010009000900");
}

// On PostgreSQL, with a company value that holds its own placeholder inserted once.
TEST(CompanyPassesPostgres, CompaniesFromTheServer) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string tf = qjtest::UniqueName("qd_tf");
  qjtest::PgExec(pg, "CREATE TABLE " + tf + " (terminal VARCHAR(10), firm VARCHAR(10));INSERT INTO " + tf +
                         " VALUES ('T1', '0200'), ('T1', '0100'), ('T1', 'x$parm02'), ('T2', '0900');");
  qjtest::E2eInstall install("PGSQL");
  install.UsePostgres(pg);
  install.WriteQueryIni(
      Companies("GETFIR1", "SELECT firm FROM " + tf + " WHERE terminal = '$parm01' ORDER BY firm") +
      IniSection("PAIRS", {"SELECT '$parm02', '$parm01'"}, {{1, "C", "CHAR", "9"}, {2, "T", "CHAR", "2"}}));
  auto r = install.Run({"PAIRS", "T1", "dnl/out.txt", "1"});
  qjtest::PgExec(pg, "DROP TABLE " + tf + ";");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "3 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "0100     T10200     T1x$parm02 T1");
}

}  // namespace
