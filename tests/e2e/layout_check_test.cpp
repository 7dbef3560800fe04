// The layout check: the report of a clean layout byte for byte, every kind
// of problem named with exit code 10, the run's codes where the check cannot
// get that far, and never a file created beside the target.

#include "support/e2e_fixture.h"

namespace {

using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::WriteBytes;

const std::string kStaff =
    "CREATE TABLE firms (firm VARCHAR(4));\nINSERT INTO firms VALUES ('0200'), ('0100');\n"
    "CREATE TABLE staff (firm VARCHAR(4), name VARCHAR(10), city VARCHAR(20), amount DECIMAL(6,2));\n"
    "INSERT INTO staff VALUES ('0100', 'Meier', 'Bonn', 12.5);\n";

const std::string kCompanies = IniSection("GETFIR1", {"SELECT firm FROM firms ORDER BY firm"}, {{1, "FIRM", "CHAR", "4"}});

// The check on SQLite, through the native engine (parameter true) and ODBC.
class LayoutCheck : public ::testing::TestWithParam<bool> {
 protected:
  bool Native() const { return GetParam(); }
  std::string Engine() const {
    return Native() ? "SQLite (libsqlite3), Datenquelle 'file:" + install.DbFile() + "'"
                    : "ODBC, Datenquelle '" + qjtest::SqliteConnectionString(install.DbFile()) + "'";
  }
  std::string Head(const std::string& section) const {
    return "Pruefung der Sektion " + section + " fuer Terminal T1 und Zieldatei dnl/out.txt\n"
           "Konvertierte Ini-Datei: " + install.ConvertedIniPath() + "\n"
           "Abfragedefinitionsdatei: " + install.QueryIniPath() + "\n"
           "Datenbankzugriff: " + Engine() + "\n";
  }
  qjtest::RunResult Check(const std::string& section) const {
    return install.Run({"--check", section, "T1", "dnl/out.txt"});
  }

  E2eInstall install;
};

// A layout that fits its result: the files, the engine, the first company,
// the statement with both placeholders filled, every used slot beside its
// column and the record width; exit 0 and no file written.
TEST_P(LayoutCheck, CleanLayoutPrintsTheReportAndExitsZero) {
  install.UseSqlite(kStaff, Native());
  install.WriteQueryIni(kCompanies + IniSection("STAFF", {"SELECT name, firm, city FROM staff",
                                                          "WHERE firm = '$parm02' AND '$parm01' <> ''"},
                                                {{1, "NAME", "CHAR", "10"}, {2, "FIRM", "dec", "4"},
                                                 {3, "CITY", "TXT", "20"}}));
  const auto r = Check("STAFF");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, Head("STAFF") +
                       "Firmen: 2, die erste '0100'\n"
                       "Anweisung: ' SELECT name, firm, city FROM staff WHERE firm = '0100' AND 'T1' <> '' '\n" +
                       (Native() ? "  Feld    Name  Typ   Laenge  Spalte  Spaltenname  Datenbanktyp  Anzeigebreite\n"
                                   "  FELD01  NAME  CHAR  10      1       name         VARCHAR(10)   10\n"
                                   "  FELD02  FIRM  DEC   4       2       firm         VARCHAR(4)    4\n"
                                   "  FELD03  CITY  TXT   20      3       city         VARCHAR(20)   20\n"
                                 : "  Feld    Name  Typ   Laenge  Spalte  Spaltenname  Datenbanktyp  Anzeigebreite\n"
                                   "  FELD01  NAME  CHAR  10      1       name         VARCHAR       10\n"
                                   "  FELD02  FIRM  DEC   4       2       firm         VARCHAR       4\n"
                                   "  FELD03  CITY  TXT   20      3       city         VARCHAR       20\n") +
                       "Satzlaenge: 34 Bytes\n"
                       "Keine Probleme gefunden\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(install.DnlEntries().empty());
}

// Each kind of problem is named once and makes the exit code 10; the
// download file is neither written nor created.
TEST_P(LayoutCheck, EveryProblemKindIsNamedWithExitTen) {
  install.UseSqlite(kStaff, Native());
  install.WriteQueryIni(
      kCompanies +
      "[KEYS]\nSQL001=SELECT name, city, amount FROM staff\nFELD01=name\nFTPY01=CHAR\nFLEN01=10\n"
      "FELD02=city\nFTYP02=CHR\nFLEN02=20\nFELD03=amount\nFTYP03=DEC\nFLEN03=1O\n\n" +
      IniSection("BEYOND", {"SELECT name, city FROM staff"},
                 {{1, "NAME", "CHAR", "10"}, {2, "CITY", "CHAR", "20"}, {4, "AMOUNT", "DEC", "6"}}) +
      IniSection("PRECISE", {"SELECT amount FROM staff"}, {{1, "AMOUNT", "DEC", "6"}}) +
      IniSection("WIDE", {"SELECT name, city, amount FROM staff"},
                 {{1, "NAME", "CHAR", "5"}, {2, "CITY", "TXT", "8"}, {3, "AMOUNT", "DEC", "4"}}));

  auto r = Check("KEYS");
  EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
  // The DEC slot whose length is no number has the length 0, which its column exceeds.
  EXPECT_NE(r.out.find("Probleme: 5\n"
                       "  Warnung: Sektion KEYS: unbekannter Schluessel FTPY01\n"
                       "  Warnung: Sektion KEYS: FTYP01 fehlt; FELD01 (NAME) bleibt leer\n"
                       "  Warnung: Sektion KEYS: FTYP02 = 'CHR' ist keiner der Typen CHAR, DEC, TXT; FELD02 (CITY) "
                       "bleibt leer\n"
                       "  Warnung: Sektion KEYS: FLEN03 = '1O' ist keine Zahl; FELD03 (AMOUNT) hat die Laenge 0\n"
                       "  FELD03 (AMOUNT): Spalte 'amount' ("),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Satzlaenge: 0 Bytes\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "") << "the section's warnings are in the report";

  r = Check("BEYOND");
  EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
  EXPECT_NE(r.out.find("  FELD04  AMOUNT  DEC   6       4       (fehlt)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Probleme: 1\n  FELD04 (AMOUNT): Spalte 4 fehlt, die Anweisung liefert nur 2 Spalten; ein Lauf "
                       "bricht beim ersten Satz ab (Code 3)\n"),
            std::string::npos)
      << r.out;

  r = Check("WIDE");
  EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
  EXPECT_NE(r.out.find(std::string("Probleme: 3\n") +
                       "  FELD01 (NAME): Spalte 'name' (" + (Native() ? "VARCHAR(10)" : "VARCHAR") +
                       ") hat bis zu 10 Zeichen, das CHAR-Feld nur 5; laengere Werte werden gekuerzt\n"
                       "  FELD02 (CITY): Spalte 'city' (" + (Native() ? "VARCHAR(20)" : "VARCHAR") +
                       ") hat bis zu 20 Zeichen, das TXT-Feld nur 8; laengere Werte werden gekuerzt\n"
                       "  FELD03 (AMOUNT): Spalte 'amount' (" + (Native() ? "DECIMAL(6,2)) hat bis zu 8" : "DECIMAL) hat bis zu 6") +
                       " Zeichen, das DEC-Feld nur 4; ein laengerer Wert bricht den Lauf ab (Code 3)\n"),
            std::string::npos)
      << r.out;

  // DECIMAL(6,2) takes six digits, a sign and a separator: -9999,99 does not
  // fit a DEC field of 6. (The SQLite ODBC driver counts the digits alone.)
  if (Native()) {
    r = Check("PRECISE");
    EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
    EXPECT_NE(r.out.find("hat bis zu 8 Zeichen, das DEC-Feld nur 6"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(install.DnlEntries().empty());
}

// A record that would answer every lookup (an empty header text or the
// number 0) is named by its line, with the lookups it answers now.
TEST_P(LayoutCheck, RecordsAnsweringEveryLookupAreNamed) {
  install.UseSqlite(kStaff, Native());
  install.WriteQueryIni(kCompanies + IniSection("NAMES", {"SELECT name FROM staff"}, {{1, "NAME", "CHAR", "10"}}));
  const std::string database = Native() ? "file:" + install.DbFile() : qjtest::SqliteConnectionString(install.DbFile());
  WriteBytes(install.ConvertedIniPath(), "VELMORANT.INI;DATENBANK;System\n1;DB_SYSTEM;SQLITE\n"
                                         "VELMORANT.INI;DATENBANK;Quelle\n2;DATABASE;" + database + "\n"
                                         "VELMORANT.INI;Kennwort\n4;PASS;streng-geheim\n"
                                         "VELMORANT.INI;DATENBANK;Benutzer\n3;LOGIN;qjuser\n"
                                         "VELMORANT.INI;DATENBANK;Alt\n0;ALT;x\n");
  const auto r = Check("NAMES");
  EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
  const std::string path = install.ConvertedIniPath();
  EXPECT_NE(r.out.find("Probleme: 2\n  " + path + " Zeile 5: Datensatz 'PASS' mit leerem Kopftext beantwortet jede "
                       "Abfrage, jetzt die von LOGIN statt deren eigener Datensaetze\n  " + path +
                       " Zeile 9: Datensatz 'ALT' mit Nummer 0 beantwortet jede Abfrage\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ((r.out + r.err).find("streng-geheim"), std::string::npos);
}

// Where the check cannot get that far it ends as a run would: 99 without
// a converted ini file, 9 when the database cannot be reached, 6 for a
// statement the database rejects; it creates no file, not even the database.
TEST_P(LayoutCheck, StepsThatStopARunStopTheCheckWithTheirCodes) {
  install.WriteQueryIni(kCompanies + IniSection("NAMES", {"SELECT name FROM staff"}, {{1, "NAME", "CHAR", "10"}}) +
                        IniSection("TYPO", {"SELECT nam FROM staff"}, {{1, "NAME", "CHAR", "10"}}));
  auto r = Check("NAMES");
  EXPECT_EQ(r.exitCode, 99);
  EXPECT_EQ(r.out, "Konvertierte Ini-Datei nicht gefunden");
  EXPECT_EQ(r.err, "qjsqlexe: Konvertierte Ini-Datei " + install.ConvertedIniPath() + " nicht vorhanden\n");

  const std::string gone = install.Root() + "/gone.db";
  install.WriteConvertedIni(Native() ? "file:" + gone : qjtest::SqliteConnectionString(gone));
  r = Check("NAMES");
  EXPECT_EQ(r.exitCode, 9) << r.out << r.err;
  EXPECT_NE(r.out.find("Pruefung abgebrochen: keine Verbindung zur Datenbank\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.rfind("qjsqlexe: Verbindung zur Datenquelle '", 0), 0u) << r.err;
  EXPECT_FALSE(qjtest::FileExists(gone));

  install.UseSqlite(kStaff, Native());
  r = Check("TYPO");
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  EXPECT_NE(r.out.find("Pruefung abgebrochen: die Datenbank lehnt die Anweisung ab: "), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("qjsqlexe: Anweisung abgelehnt (DB Prepare): "), std::string::npos) << r.err;
  EXPECT_TRUE(install.DnlEntries().empty());
}

// The company sections are read as in a run, but what they would print is
// the report's: a rejected company statement and a company section's
// unknown key are problems, the statement's exception text stays out.
TEST_P(LayoutCheck, CompanySectionProblemsAreNamed) {
  install.UseSqlite(kStaff, Native());
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT firm FROM nofirms"}, {{1, "FIRM", "CHAR", "4"}}) +
                        "[GETFIR2]\nSQL001=SELECT firm FROM firms ORDER BY firm\nFELD01=FIRM\nFTPY01=CHAR\n\n" +
                        IniSection("NAMES", {"SELECT name FROM staff WHERE firm = '$parm02'"},
                                   {{1, "NAME", "CHAR", "10"}}));
  const auto r = Check("NAMES");
  EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
  EXPECT_NE(r.out.find("Firmen: 2, die erste '0100'\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Probleme: 2\n  Firmenliste: Anweisung abgelehnt (DB Prepare): "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("nofirms"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n  Firmenliste: Warnung: Sektion GETFIR2: unbekannter Schluessel FTPY01\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Exception bei DB"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Engines, LayoutCheck, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Native" : "Odbc"; });

// Only "--check" with exactly its three words is the check; any other command
// line keeps what a run does with it, with a hint on standard error.
TEST(LayoutCheckCommandLine, OtherWordCountsStayRuns) {
  E2eInstall install;
  const auto r = install.Run({"--check", "NAMES", "T1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, qjtest::ErrorFrame("Falsche Anzahl Parameter\n"));
  EXPECT_EQ(r.err,
            "qjsqlexe: --check verlangt genau Sektionsname Terminalname Zieldatei; die Befehlszeile laeuft als "
            "Download\n");
}

// The check on PostgreSQL through the native engine: the server's types and
// sizes beside the slots, and a column wider than its field.
TEST(LayoutCheckPostgres, ReportsTheServersColumns) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("pgcheck");
  qjtest::PgExec(pg, "CREATE TABLE " + table + " (name VARCHAR(10), nr INTEGER, amount NUMERIC(8,2), day DATE);\n");
  E2eInstall install("PGSQL");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("CLEAN", {"SELECT name, nr, amount, day FROM " + table},
                                   {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", "11"}, {3, "AMOUNT", "DEC", "10"},
                                    {4, "DAY", "CHAR", "10"}}) +
                        IniSection("NARROW", {"SELECT name, nr FROM " + table},
                                   {{1, "NAME", "TXT", "8"}, {2, "NR", "DEC", "6"}}));
  install.UsePostgresNative(pg);

  auto r = install.Run({"--check", "CLEAN", "T1", "dnl/out.txt"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Pruefung der Sektion CLEAN fuer Terminal T1 und Zieldatei dnl/out.txt\n"
                   "Konvertierte Ini-Datei: " + install.ConvertedIniPath() + "\n"
                   "Abfragedefinitionsdatei: " + install.QueryIniPath() + "\n"
                   "Datenbankzugriff: PostgreSQL (libpq), Datenquelle '" + pg.Uri() + "'\n"
                   "Anweisung: ' SELECT name, nr, amount, day FROM " + table + " '\n"
                   "  Feld    Name    Typ   Laenge  Spalte  Spaltenname  Datenbanktyp  Anzeigebreite\n"
                   "  FELD01  NAME    CHAR  10      1       name         varchar       10\n"
                   "  FELD02  NR      DEC   11      2       nr           int4          11\n"
                   "  FELD03  AMOUNT  DEC   10      3       amount       numeric       10\n"
                   "  FELD04  DAY     CHAR  10      4       day          date          10\n"
                   "Satzlaenge: 41 Bytes\n"
                   "Keine Probleme gefunden\n");

  r = install.Run({"--check", "NARROW", "T1", "dnl/out.txt"});
  EXPECT_EQ(r.exitCode, 10) << r.out << r.err;
  EXPECT_NE(r.out.find("Probleme: 2\n"
                       "  FELD01 (NAME): Spalte 'name' (varchar) hat bis zu 10 Zeichen, das TXT-Feld nur 8; laengere "
                       "Werte werden gekuerzt\n"
                       "  FELD02 (NR): Spalte 'nr' (int4) hat bis zu 11 Zeichen, das DEC-Feld nur 6; ein laengerer "
                       "Wert bricht den Lauf ab (Code 3)\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(install.DnlEntries().empty());
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");

  // A server that does not answer: 9, as a run.
  install.WriteConvertedIni("postgresql://127.0.0.1:1/qjtest", pg.user, pg.password);
  r = install.Run({"--check", "CLEAN", "T1", "dnl/out.txt"});
  EXPECT_EQ(r.exitCode, 9) << r.out << r.err;
}

}  // namespace
