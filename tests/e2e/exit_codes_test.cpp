// Every exit code of a run through the installed binary, on SQLite and on
// PostgreSQL: standard output, exit code and the download file, byte for byte.
// (Codes 1 and 2 of the command line check are in command_line_test.cpp.)

#include <sys/stat.h>

#include "support/e2e_fixture.h"

namespace {

using qjtest::Backend;
using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

class ExitCodes : public qjtest::StaffRunTest {
 protected:
  // All staff of the terminal in one pass: NAME CHAR 10, NR DEC 4, RATE DEC 8, SINCE CHAR 10.
  std::string OnePassSection(const std::string& name = "RUN1", const std::string& nrLength = "4") const {
    return IniSection(name,
                      {"SELECT name, nr, rate, since FROM " + T("staff"),
                       "WHERE firm IN (SELECT firm FROM " + T("terminal_firm") + " WHERE terminal = '$parm01')"},
                      {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", nrLength}, {3, "RATE", "DEC", "8"},
                       {4, "SINCE", "CHAR", "10"}});
  }
};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The five staff records of terminal T1, sorted without regard to letter case.
std::string RootLocaleRecords() {
  return Cp1252("äbersold  001201234.752019-11-30") + "MEIER     0003000000082023-12-24" +
         Cp1252("Müller    0007000012.52024-03-01") + Cp1252("Özkan     0041000-0.25          ") +
         "zander    0005000000002026-01-15";
}

std::string GermanLocaleRecords() {
  return Cp1252("äbersold  001201234,7530.11.2019") + "MEIER     00030000000824.12.2023" +
         Cp1252("Müller    0007000012,501.03.2024") + Cp1252("Özkan     0041000-0,25          ") +
         "zander    00050000000015.01.2026";
}

// Promise: a completed run prints nothing but the count message, exits 0, and
// the download holds the sorted records in the locale's number and date forms;
// replacing drops the old content, appending keeps it in front.
TEST_P(ExitCodes, CompletedRunExits0InEitherLocaleAndEitherMode) {
  install.WriteQueryIni(CompanySection() + OnePassSection());
  const std::string target = install.Dnl("out.txt");
  const std::string count = "5 Saetze kopiert in Datei dnl/out.txt \n";

  WriteBytes(target, "OLD CONTENT");
  auto r = install.Run({"RUN1", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, count);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(target), RootLocaleRecords());

  r = install.Run({"RUN1", "T1", "dnl/out.txt", "0"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, count);
  EXPECT_EQ(ReadBytes(target), RootLocaleRecords() + GermanLocaleRecords());

  // C names the root locale, and LC_ALL wins over LANG.
  qjtest::RunOptions cLocale;
  cLocale.env["LC_ALL"] = "C";
  r = install.Run({"RUN1", "T1", "dnl/out.txt", "1"}, "de_DE.UTF-8", cLocale);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(target), RootLocaleRecords());
}

// Promise: a failure that no step turns into a result code (a used slot beyond
// the result's columns, a DEC value longer than its field) ends the run with
// exit 3 and one line on standard error, without the count message and without
// touching the download file.
TEST_P(ExitCodes, AbnormalEndExits3AndLeavesTheDownloadAlone) {
  const std::string beyondColumns =
      IniSection("WIDE", {"SELECT name, nr FROM " + T("staff")},
                 {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", "4"}, {3, "GONE", "CHAR", "3"}});
  install.WriteQueryIni(CompanySection() + OnePassSection("NARROW", "1") + beyondColumns);
  const std::string target = install.Dnl("out.txt");
  for (const std::string section : {"WIDE", "NARROW"}) {
    for (const std::string flag : {"0", "1"}) {
      SCOPED_TRACE(section + " flag " + flag);
      WriteBytes(target, "OLD CONTENT");
      auto r = install.Run({section, "T1", "dnl/out.txt", flag});
      EXPECT_EQ(r.exitCode, 3);
      EXPECT_EQ(r.signal, 0);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err.rfind("qjsqlexe: ", 0), 0u) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
      EXPECT_EQ(ReadBytes(target), "OLD CONTENT");
      EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
    }
  }
}

// Promise: a section whose field 1 is named "0" ends the run with 4, silently,
// before any statement of it runs and without touching the download file.
TEST_P(ExitCodes, DisabledSectionExits4) {
  install.WriteQueryIni(CompanySection() +
                        IniSection("OFF", {"SELECT name FROM " + T("staff")}, {{1, "0", "CHAR", "10"}}));
  WriteBytes(install.Dnl("out.txt"), "OLD");
  auto r = install.Run({"OFF", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "OLD");
}

// Promise: a statement of the requested section that the engine rejects is
// reported with the statement and the engine's text; the other passes still
// run, the records are sorted and written, the count message comes, and the
// exit code is 6 -- or 7 when the download could not be written as well.
TEST_P(ExitCodes, RejectedStatementExits6AndUnwritableDownloadWins) {
  // The company values are table names: the pass over the missing table is
  // rejected, the pass over the staff table delivers its five rows.
  const std::string fromT2 = " FROM " + T("terminal_firm") + " WHERE terminal = 'T2'";
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT '" + T("staff") + "'" + fromT2, "UNION ALL SELECT '" + T("nosuch") + "'" + fromT2},
                 {{1, "TAB", "CHAR", "40"}}) +
      IniSection("FROMTAB", {"SELECT name FROM $parm02"}, {{1, "NAME", "CHAR", "10"}}));

  auto r = install.Run({"FROMTAB", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  const std::string rejected = "SELECT name FROM " + T("nosuch") + " \r\n";
  const size_t at = r.out.find(rejected);
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_TRUE(r.out.rfind("Exception bei DB Prepare\n ", 0) == 0 || r.out.rfind("Exception bei DB Open\n ", 0) == 0)
      << r.out;
  EXPECT_GT(r.out.size(), at + rejected.size() + 2) << "the engine's message follows the statement";
  EXPECT_TRUE(EndsWith(r.out, "\n\n5 Saetze kopiert in Datei dnl/out.txt \n")) << r.out;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")),
            Cp1252("äbersold  MEIER     Müller    Özkan     zander    "));

  // The same run, appending to a directory where the download should go.
  ASSERT_EQ(mkdir(install.Dnl("dir.txt").c_str(), 0755), 0);
  r = install.Run({"FROMTAB", "T1", "dnl/dir.txt", "0"});
  EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
  EXPECT_NE(r.out.find(rejected), std::string::npos);
  EXPECT_TRUE(EndsWith(r.out, "\n\nDatei konnte nicht erstellt werden:\ndnl/dir.txt\n"
                              "5 Saetze kopiert in Datei dnl/dir.txt \n"))
      << r.out;
}

INSTANTIATE_TEST_SUITE_P(Engines, ExitCodes, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         qjtest::BackendName);

// Promise: a missing database parameter shows the error frame with its two
// lines and ends with 5 before any file beside the executable is read.
TEST(ExitCodesParameters, MissingParameterExits5WithTheFrame) {
  qjtest::E2eInstall install;
  WriteBytes(install.ConvertedIniPath(),
             "VELMORANT.INI;DATENBANK;System\n1;DB_SYSTEM;SQLITE\n"
             "VELMORANT.INI;DATENBANK;Quelle\n2;DATABASE;DRIVER=SQLite3;Database=/nonexistent.db;NoCreat=1\n"
             "VELMORANT.INI;DATENBANK;Benutzer\n3;LOGIN;u\n");
  const std::string frame = qjtest::ErrorFrame(
      "Fehler beim Ermitteln der Datenbankparameter\nQuelle: '..\\..\\FILES\\VELMORANT.INI'\n");
  auto r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(r.out, frame);
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));

  // In trace mode the four values come first, the missing password between empty quotes.
  r = install.Run({"ANY", "T1", "dnl/out.txt", "1", "/D"});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(r.out,
            " Aktiviert Debugger\nStr CheckParm\nEnd CheckParm\nStr SetDbUsr\n DB-Informationen:\n"
            "  DbSys = 'SQLITE'\n  DbName = 'DRIVER=SQLite3;Database=/nonexistent.db;NoCreat=1'\n"
            "  DbUsr = 'u'\n  DbPwd = ''\n" +
                frame);
}

// Promise: without a converted ini file in the target's directory the run
// ends with 99 and only its message, without a line end; a directory of that
// name is no file.
TEST(ExitCodesParameters, MissingConvertedIniFileExits99) {
  qjtest::E2eInstall install;
  auto r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 99);
  EXPECT_EQ(r.out, "Konvertierte Ini-Datei nicht gefunden");

  ASSERT_EQ(mkdir(install.ConvertedIniPath().c_str(), 0755), 0);
  r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 99);
  EXPECT_EQ(r.out, "Konvertierte Ini-Datei nicht gefunden");
  // The converted ini file is looked for beside the target, not in the working directory.
  r = install.Run({"ANY", "T1", "out.txt", "1"});
  EXPECT_EQ(r.exitCode, 99);
}

}  // namespace
