// The exit codes of runs through the installed binary that end early or with
// a fault, on each backend, and the two parameter file faults.

#include <sys/stat.h>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

class ExitCodes : public qjtest::StaffRunTest {};

// 3: a used slot beyond the result's columns or a DEC value longer than its
// field ends the run with one line on stderr; 4: a section whose field 1 is
// "0" ends silently. Neither touches the download.
TEST_P(ExitCodes, AbnormalEndAndDisabledSectionLeaveTheDownloadAlone) {
  install.WriteQueryIni(
      CompanySection() + IniSection("WIDE", {"SELECT name, nr FROM " + T("staff")},
                 {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", "4"}, {3, "GONE", "CHAR", "3"}}) +
      IniSection("NARROW", {"SELECT nr FROM " + T("staff")}, {{1, "NR", "DEC", "1"}}) +
      IniSection("OFF", {"SELECT name FROM " + T("staff")}, {{1, "0", "CHAR", "10"}}));
  for (const auto& [section, flag, code] : {std::tuple{"WIDE", "0", 3}, {"NARROW", "1", 3}, {"OFF", "1", 4}}) {
    SCOPED_TRACE(section);
    WriteBytes(install.Dnl("out.txt"), "OLD CONTENT");
    auto r = install.Run({section, "T1", "dnl/out.txt", flag});
    EXPECT_EQ(r.exitCode, code) << r.err;
    EXPECT_EQ(r.out, "");
    if (code == 3) {
      EXPECT_EQ(r.err.rfind("qjsqlexe: ", 0), 0u) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    } else {
      EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "OLD CONTENT");
    EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  }
}

// 6: a rejected statement of a company pass is reported with the engine's
// text, the other passes still deliver; 7 wins when the download cannot be
// written as well.
TEST_P(ExitCodes, RejectedStatementExits6AndUnwritableDownloadWins) {
  const std::string fromT2 = " FROM " + T("terminal_firm") + " WHERE terminal = 'T2'";
  install.WriteQueryIni(
      IniSection("GETFIR1", {"SELECT '" + T("staff") + "'" + fromT2, "UNION ALL SELECT '" + T("nosuch") + "'" + fromT2},
                 {{1, "TAB", "CHAR", "40"}}) +
      IniSection("FROMTAB", {"SELECT name FROM $parm02"}, {{1, "NAME", "CHAR", "10"}}));
  const std::string rejected = "SELECT name FROM " + T("nosuch") + " \r\n";
  auto r = install.Run({"FROMTAB", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  const size_t at = r.out.find(rejected);
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_TRUE(r.out.rfind("Exception bei DB Prepare\n ", 0) == 0 || r.out.rfind("Exception bei DB Open\n ", 0) == 0);
  const size_t end = r.out.find("\n\n5 Saetze");
  EXPECT_GT(end, at + rejected.size()) << "the engine's message follows the statement";
  EXPECT_EQ(r.out.substr(end), "\n\n5 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), qjtest::Cp1252("äbersold  MEIER     Müller    Özkan     zander    "));

  ASSERT_EQ(mkdir(install.Dnl("dir.txt").c_str(), 0755), 0);
  r = install.Run({"FROMTAB", "T1", "dnl/dir.txt", "0"});
  EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
  EXPECT_NE(r.out.find(rejected), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.find("\n\nDatei konnte")),
            "\n\nDatei konnte nicht erstellt werden:\ndnl/dir.txt\n5 Saetze kopiert in Datei dnl/dir.txt \n");
}

INSTANTIATE_TEST_SUITE_P(Engines, ExitCodes, qjtest::AllBackends(), qjtest::BackendName);
INSTANTIATE_TEST_SUITE_P(NativeEngines, ExitCodes, qjtest::NativeBackends(), qjtest::BackendName);

// 99: no converted ini file beside the target (a directory is none), only the
// message without a line end; 5: a missing parameter gives the frame, in
// trace mode after the four values.
TEST(ExitCodesParameters, MissingConvertedIniExits99AndMissingParameterExits5) {
  qjtest::E2eInstall install;
  ASSERT_EQ(mkdir(install.ConvertedIniPath().c_str(), 0755), 0);
  for (const std::string target : {"dnl/out.txt", "out.txt"}) {
    auto r = install.Run({"ANY", "T1", target, "1"});
    EXPECT_EQ(r.exitCode, 99);
    EXPECT_EQ(r.out, "Konvertierte Ini-Datei nicht gefunden");
  }
  ASSERT_EQ(rmdir(install.ConvertedIniPath().c_str()), 0);
  WriteBytes(install.ConvertedIniPath(),
             "VELMORANT.INI;DATENBANK;System\n1;DB_SYSTEM;SQLITE\n"
             "VELMORANT.INI;DATENBANK;Quelle\n2;DATABASE;DRIVER=SQLite3;Database=/nonexistent.db;NoCreat=1\n"
             "VELMORANT.INI;DATENBANK;Benutzer\n3;LOGIN;u\n");
  auto r = install.Run({"ANY", "T1", "dnl/out.txt", "1", "/D"});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(r.out, " Aktiviert Debugger\nStr CheckParm\nEnd CheckParm\nStr SetDbUsr\n DB-Informationen:\n"
                   "  DbSys = 'SQLITE'\n  DbName = 'DRIVER=SQLite3;Database=/nonexistent.db;NoCreat=1'\n"
                   "  DbUsr = 'u'\n  DbPwd = ''\n" +
                       qjtest::ErrorFrame("Fehler beim Ermitteln der Datenbankparameter\n"
                                          "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"));
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));
}

}  // namespace
