// What a run says on standard error when a file, a key, a section or the
// connection is wrong: one line each, naming the file and what is wrong,
// while standard output and the exit codes stay as they are.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/e2e_fixture.h"

namespace {

using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  EXPECT_EQ(start, text.size()) << "every line ends: " << text;
  return lines;
}

const std::string kStaff = "CREATE TABLE staff (name VARCHAR(10));\nINSERT INTO staff VALUES ('b'), ('a');\n";

// 99 names the absolute path looked for and why it is not used; the
// standard output keeps its message without a line end.
TEST(FailureMessages, ConvertedIniFileNotUsedNamesItsAbsolutePathAndWhy) {
  E2eInstall install;
  auto r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 99);
  EXPECT_EQ(r.out, "Konvertierte Ini-Datei nicht gefunden");
  EXPECT_EQ(r.err, "qjsqlexe: Konvertierte Ini-Datei " + install.ConvertedIniPath() + " nicht vorhanden\n");

  r = install.Run({"ANY", "T1", "nodir/out.txt", "1"});
  EXPECT_EQ(r.err, "qjsqlexe: Konvertierte Ini-Datei " + install.Root() + "/nodir/QJDNL00P.TXT nicht vorhanden\n");

  ASSERT_EQ(mkdir(install.ConvertedIniPath().c_str(), 0755), 0);
  r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 99);
  EXPECT_EQ(r.err, "qjsqlexe: Konvertierte Ini-Datei " + install.ConvertedIniPath() + " ist ein Verzeichnis\n");
  ASSERT_EQ(rmdir(install.ConvertedIniPath().c_str()), 0);

  // Root reads every file: the unreadable case needs another user.
  if (geteuid() != 0) {
    install.UseSqlite(kStaff);
    ASSERT_EQ(chmod(install.ConvertedIniPath().c_str(), 0), 0);
    r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
    EXPECT_EQ(r.exitCode, 99);
    EXPECT_EQ(r.err.rfind("qjsqlexe: Konvertierte Ini-Datei " + install.ConvertedIniPath() + " nicht lesbar: ", 0), 0u)
        << r.err;
  }
}

// 5 names the file and every key that is missing or empty, never a
// password; the frame on standard output stays as it was.
TEST(FailureMessages, MissingParametersAreNamedWithoutThePassword) {
  E2eInstall install;
  WriteBytes(install.ConvertedIniPath(),
             "VELMORANT.INI;DATENBANK;System\n1;DB_SYSTEM;SQLITE\n"
             "VELMORANT.INI;DATENBANK;Quelle\n2;DATABASE;\n"
             "VELMORANT.INI;DATENBANK;Kennwort\n4;PASS;streng-geheim\n");
  auto r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(r.out, qjtest::ErrorFrame("Fehler beim Ermitteln der Datenbankparameter\n"
                                      "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"));
  EXPECT_EQ(r.err, "qjsqlexe: " + install.ConvertedIniPath() + ": Datenbankparameter LOGIN fehlt oder ist leer\n");

  WriteBytes(install.ConvertedIniPath(), "VELMORANT.INI;DATENBANK;Kennwort\n4;PASS;streng-geheim\n");
  r = install.Run({"ANY", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.err, "qjsqlexe: " + install.ConvertedIniPath() +
                       ": Datenbankparameter DB_SYSTEM, DATABASE, LOGIN fehlen oder sind leer\n");
  EXPECT_EQ(r.err.find("streng-geheim"), std::string::npos);
}

// A comment or an empty line among the records shifts every pairing after
// it; the warning names the line where the shift shows.
TEST(FailureMessages, LinesThatShiftTheRecordPairingAreNamed) {
  E2eInstall install;
  install.UseSqlite(kStaff);
  const std::string good = ReadBytes(install.ConvertedIniPath());
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("ONE", {"SELECT name FROM staff"}, {{1, "N", "CHAR", "2"}}));
  WriteBytes(install.ConvertedIniPath(), "# Parameter der Downloads\n" + good);
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1", "/D"});
  // Every lookup takes the first record, whose number reads as 0.
  EXPECT_NE(r.out.find("  DbSys = 'System'\n"), std::string::npos) << r.out;
  ASSERT_FALSE(Lines(r.err).empty());
  EXPECT_EQ(Lines(r.err)[0], "qjsqlexe: Warnung: " + install.ConvertedIniPath() +
                                 " Zeile 1: '# Parameter der Downloads' ist keine Kopfzeile (Datei;Gruppe;Text), "
                                 "die Zeilen ab hier sind falsch gepaart");

  const size_t secondRecord = good.find("VELMORANT.INI;DATENBANK;Quelle");
  WriteBytes(install.ConvertedIniPath(), good.substr(0, secondRecord) + "x;G;T\n\n" + good.substr(secondRecord));
  r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  ASSERT_FALSE(Lines(r.err).empty());
  EXPECT_EQ(Lines(r.err)[0], "qjsqlexe: Warnung: " + install.ConvertedIniPath() +
                                 " Zeile 4: '' ist keine Eintragszeile (Nummer;Schluessel;Wert), "
                                 "die Zeilen ab hier sind falsch gepaart");

  WriteBytes(install.ConvertedIniPath(), good);
  r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

// A query definition file or section that is not there: exit 6 as before
// (the engine rejects the empty statement), and one line names the file,
// the place in the system's configuration looked at as well, and the section.
TEST(FailureMessages, MissingQueryDefinitionFileOrSectionIsNamed) {
  E2eInstall install;
  install.UseSqlite(kStaff);
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6);
  EXPECT_NE(r.out.find("Exception bei DB "), std::string::npos);
  std::vector<std::string> lines = Lines(r.err);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "qjsqlexe: Abfragedefinitionsdatei " + install.QueryIniPath() +
                          " nicht gefunden oder nicht lesbar (auch nicht /etc/qjsqlexe/qjsqlexe.SQLITE.INI), Sektion ONE"),
            lines.end())
      << r.err;

  install.WriteQueryIni(IniSection("OTHER", {"SELECT name FROM staff"}, {{1, "N", "CHAR", "2"}}));
  r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6);
  lines = Lines(r.err);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "qjsqlexe: Sektion ONE fehlt in " + install.QueryIniPath()), lines.end())
      << r.err;
  // The empty statements of the missing sections are not reported again as rejected.
  EXPECT_EQ(r.err.find("Anweisung abgelehnt"), std::string::npos) << r.err;
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));
}

// A rejected statement's engine message also goes to standard error, on one
// line, for a batch job that throws standard output away.
TEST(FailureMessages, RejectedStatementsEngineMessageOnStandardError) {
  E2eInstall install;
  install.UseSqlite(kStaff);
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("BAD", {"SELECT nosuch FROM staff"}, {{1, "N", "CHAR", "2"}}));
  auto r = install.Run({"BAD", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6);
  const std::vector<std::string> lines = Lines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].rfind("qjsqlexe: Anweisung abgelehnt (DB Prepare): [", 0), 0u) << r.err;
  EXPECT_NE(lines[0].find("nosuch"), std::string::npos) << r.err;
}

// Layout mistakes are warned about when the section loads, one line each;
// the download comes out exactly as without the warnings.
TEST(FailureMessages, LayoutMistakesAreWarnedAndTheRunGoesOn) {
  E2eInstall install;
  install.UseSqlite(kStaff);
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        "[LAYOUT]\nSQL001=SELECT name, name, '', '', name FROM staff\n"
                        "FELD01=A\nFTPY01=CHAR\nFLEN01=2\n"
                        "FELD02=B\nFTYP02=CHR\nFLEN02=2\n"
                        "FELD03=C\nFTYP03=CHAR\n"
                        "FELD04=D\nFTYP04=CHAR\nFLEN04=1O\n"
                        "FELD05=E\nFTYP05=char\nFLEN05=0x3\n"
                        "FELD31=F\nSQL1=x\n");
  auto r = install.Run({"LAYOUT", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(r.err,
            "qjsqlexe: Warnung: Sektion LAYOUT: unbekannter Schluessel FTPY01\n"
            "qjsqlexe: Warnung: Sektion LAYOUT: unbekannter Schluessel FELD31\n"
            "qjsqlexe: Warnung: Sektion LAYOUT: unbekannter Schluessel SQL1\n"
            "qjsqlexe: Warnung: Sektion LAYOUT: FTYP01 fehlt; FELD01 (A) bleibt leer\n"
            "qjsqlexe: Warnung: Sektion LAYOUT: FTYP02 = 'CHR' ist keiner der Typen CHAR, DEC, TXT; FELD02 (B) bleibt leer\n"
            "qjsqlexe: Warnung: Sektion LAYOUT: FLEN03 fehlt; FELD03 (C) hat die Laenge 0\n"
            "qjsqlexe: Warnung: Sektion LAYOUT: FLEN04 = '1O' ist keine Zahl; FELD04 (D) hat die Laenge 0\n");
  // Slots 1 and 2 add nothing, slots 3 and 4 are empty, slot 5 is 3 wide.
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "a  b  ");
}

}  // namespace

namespace {

// Where Debian keeps configuration: without a query definition file beside
// the executable, the one of that name in /etc/qjsqlexe is read; one beside
// the executable wins. Needs a writable /etc/qjsqlexe (root); the database
// system's name is the test's own, so no other file there is touched.
TEST(QueryDefinitionFile, FromEtcWhenNoneLiesBesideTheExecutable) {
  const std::string etc = "/etc/qjsqlexe";
  mkdir(etc.c_str(), 0755);
  const std::string dbSys = "ETCTEST" + std::to_string(getpid());
  const std::string inEtc = etc + "/qjsqlexe." + dbSys + ".INI";
  if (access(etc.c_str(), W_OK) != 0) GTEST_SKIP() << etc << " is not writable";
  E2eInstall install(dbSys);
  install.UseSqlite(kStaff);
  WriteBytes(inEtc, IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("ONE", {"SELECT name FROM staff"}, {{1, "N", "CHAR", "2"}}));
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "a b ");

  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("ONE", {"SELECT name FROM staff"}, {{1, "N", "CHAR", "3"}}));
  r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "a  b  ");
  std::remove(inEtc.c_str());
  rmdir(etc.c_str());  // only when the test made it and nothing else is there
}

}  // namespace
