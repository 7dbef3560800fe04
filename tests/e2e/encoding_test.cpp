// Text at the terminal and in the two files under a UTF-8 locale: command line
// words, UTF-8 and Windows-1252 files, database text on the console, login
// values the driver cannot receive, and the warnings of the query definition
// file; on each backend.

#include "platform/text_encoding.h"
#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

const char kUtf8Locale[] = "C.UTF-8";
const std::string kBom = "\xEF\xBB\xBF";

class Encoding : public qjtest::StaffRunTest {
 protected:
  // Every terminal gets firm 0200.
  std::string CompanySection() const {
    return IniSection("GETFIR1", {"SELECT firm FROM " + T("terminal_firm") + " WHERE terminal = 'T2'"},
                      {{1, "FIRM", "CHAR", "4"}});
  }
  // Section "Größe" (written in UTF-8): the staff named by the terminal, and Özkan.
  std::string NamesSection() const {
    return IniSection("Größe", {"SELECT name, nr FROM " + T("staff"), "WHERE name IN ('$parm01', 'Özkan')"},
                      {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", "3"}});
  }
  const std::string kBoth = Cp1252("Müller    007Özkan     041");
  const std::string kOzkan = Cp1252("Özkan     041");
};

// The same download from a UTF-8 file with and without byte order mark and
// from the stored Windows-1252 file; the terminal name as UTF-8 or as
// Windows-1252 bytes.
TEST_P(Encoding, Utf8AndWindows1252FilesAndWordsFindTheSameRows) {
  const std::string utf8 = CompanySection() + NamesSection();
  for (const std::string& file : {utf8, kBom + utf8, Cp1252(utf8)}) {
    install.WriteQueryIni(file);
    for (const std::string& terminal : {std::string("Müller"), Cp1252("Müller")}) {
      for (const std::string& section : {std::string("GRößE"), Cp1252("Größe")}) {
        auto r = install.Run({section, terminal, "dnl/names.txt", "1"}, kUtf8Locale);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "2 Saetze kopiert in Datei dnl/names.txt \n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(ReadBytes(install.Dnl("names.txt")), kBoth) << file.substr(0, 3) << " " << terminal << " " << section;
      }
    }
  }
}

// A character Windows-1252 cannot hold becomes "?" with a warning; the target
// file name goes to the file system and the count message as given.
TEST_P(Encoding, TerminalCharactersOutsideWindows1252AndUtf8FileNames) {
  install.WriteQueryIni(CompanySection() + NamesSection());
  auto r = install.Run({"Größe", "Müller→", "dnl/größe.txt", "1"}, kUtf8Locale);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "qjsqlexe: Warnung: Terminalname: 1 Zeichen ohne Windows-1252-Entsprechung durch '?' ersetzt\n");
  EXPECT_EQ(r.out, "1 Saetze kopiert in Datei dnl/größe.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("größe.txt")), kOzkan);
}

// Statement, trace values and engine messages in UTF-8 under a UTF-8 locale,
// as Windows-1252 bytes under any other; the tool's own lines stay as they
// are. The trace shows no password that the connection string itself holds.
TEST_P(Encoding, DatabaseTextOnTheConsoleFollowsTheLocale) {
  install.WriteQueryIni(CompanySection() + NamesSection() +
                        IniSection("FEHLT", {"SELECT name FROM fehlt_ä WHERE x = 'Köln'"}, {{1, "NAME", "CHAR", "5"}}));
  const bool onServer = GetParam() != qjtest::Backend::Sqlite;
  const std::string base = ConnectionString();
  const std::string inner = onServer ? Password() : "inner";
  install.WriteConvertedIni(base + ";PWD=" + inner + ";Ort=Köln", onServer ? User() : "Jürgen", Password());
  auto traced = install.Run({"Größe", "Müller", "dnl/t.txt", "1", "/D"}, kUtf8Locale);
  EXPECT_EQ(traced.exitCode, 0) << traced.err;
  EXPECT_TRUE(qj::IsValidUtf8(traced.out)) << traced.out;
  EXPECT_NE(traced.out.find("  DbName = '" + base + ";PWD=********;Ort=Köln'\n"), std::string::npos) << traced.out;
  if (!onServer) {
    EXPECT_NE(traced.out.find("  DbUsr = 'Jürgen'\n"), std::string::npos);
  }
  EXPECT_EQ(traced.out.find(inner), std::string::npos);
  EXPECT_NE(traced.out.find("  ' SELECT name, nr FROM " + T("staff") + " WHERE name IN ('Müller', 'Özkan') '\n"),
            std::string::npos)
      << traced.out;
  EXPECT_NE(traced.out.find("2 Saetze kopiert in Datei dnl/t.txt \n"), std::string::npos);
  EXPECT_EQ(ReadBytes(install.Dnl("t.txt")), kBoth);

  auto rejected = install.Run({"FEHLT", "T1", "dnl/f.txt", "1"}, kUtf8Locale);
  EXPECT_EQ(rejected.exitCode, 6) << rejected.err;
  EXPECT_TRUE(qj::IsValidUtf8(rejected.out)) << rejected.out;
  EXPECT_EQ(rejected.out.find("Exception bei DB "), 0u) << rejected.out;
  EXPECT_NE(rejected.out.find(" SELECT name FROM fehlt_ä WHERE x = 'Köln' \r\n"), std::string::npos);
  EXPECT_NE(rejected.out.find("fehlt_ä", rejected.out.find("\r\n")), std::string::npos) << rejected.out;

  auto plain = install.Run({"FEHLT", "T1", "dnl/f.txt", "1"});
  EXPECT_EQ(plain.exitCode, 6);
  EXPECT_NE(plain.out.find(Cp1252(" SELECT name FROM fehlt_ä WHERE x = 'Köln' \r\n")), std::string::npos);
}

TEST_P(Encoding, CutLinesLongStatementsAndOversizedLengthsAreWarned) {
  std::vector<std::string> lines = {"SELECT name, nr FROM " + T("staff") + " WHERE name = 'Özkan'" +
                                    std::string(2100, ' ') + "garbage"};
  std::string full = IniSection("FULL", {"SELECT name, nr FROM " + T("staff") + " WHERE nr = 41"},
                                {{1, "NAME", "CHAR", "6"}, {2, "NR", "CHAR", "70000"}});
  for (int n = 2; n <= 999; ++n) {
    char key[16];
    std::snprintf(key, sizeof key, "SQL%03d=", n);
    full += std::string(key) + "AND 1 = 1\n";
  }
  install.WriteQueryIni(CompanySection() + IniSection("CUT", lines, {{1, "NAME", "CHAR", "6"}}) + "[FULL]\n" +
                        full.substr(full.find('\n') + 1) + "SQL1000=never read\n");
  auto cut = install.Run({"CUT", "T1", "dnl/cut.txt", "1"}, kUtf8Locale);
  EXPECT_EQ(cut.exitCode, 0) << cut.err;
  EXPECT_EQ(cut.err, "qjsqlexe: Warnung: Sektion CUT: SQL001 auf 2047 Bytes gekuerzt\n");
  EXPECT_EQ(ReadBytes(install.Dnl("cut.txt")), Cp1252("Özkan "));

  auto full999 = install.Run({"FULL", "T1", "dnl/full.txt", "1"}, kUtf8Locale);
  EXPECT_EQ(full999.exitCode, 0) << full999.err;
  EXPECT_EQ(full999.err,
            "qjsqlexe: Warnung: Sektion FULL: Anweisung reicht bis SQL999, weitere Zeilen werden nicht gelesen\n"
            "qjsqlexe: Warnung: Sektion FULL: FLEN02 = 70000 ist groesser als 65535 und ungueltig, Feldlaenge 0\n"
            "qjsqlexe: Warnung: Feld FELD02 (NR), Satz 1: Wert mit 2 Bytes auf 0 Bytes gekuerzt\n");
  EXPECT_EQ(full999.out, "1 Saetze kopiert in Datei dnl/full.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("full.txt")), Cp1252("Özkan "));
}

// A login value that would end its attribute early is refused before any
// connection: it cannot redirect the run to another database.
TEST_P(Encoding, LoginValuesTheDriverCannotReceiveEndWithCode5) {
  install.WriteQueryIni(CompanySection() + NamesSection());
  const std::string database = ConnectionString();
  const std::string other = install.Dnl("other.db");
  struct Case {
    std::string login, password, refused;
  };
  std::vector<Case> cases = {{" qjuser", "geheim", "LOGIN"}};
  // psqlODBC keeps the braces of a user name; the SQLite driver would take
  // the rest of either value as attributes of its own.
  if (!OnMaria()) cases.push_back({"x;Database=" + other + ";", "geheim", "LOGIN"});
  if (!OnMaria() && !OnPostgres()) cases.push_back({"qjuser", "x;Database=" + other + ";", "PASS"});
  // MariaDB Connector/ODBC takes both in braces, but drops their edge blanks.
  if (OnMaria()) cases.push_back({"qjuser", "geheim ", "PASS"});
  for (const Case& c : cases) {
    install.WriteConvertedIni(database, c.login, c.password);
    auto r = install.Run({"Größe", "Müller", "dnl/m.txt", "1"}, kUtf8Locale);
    EXPECT_EQ(r.exitCode, 5) << c.login << " " << c.password;
    EXPECT_EQ(r.out, qjtest::ErrorFrame("Der Wert von " + c.refused +
                                        " ist fuer den ODBC-Treiber nicht zulaessig\n"
                                        "(';', '{', '}' oder Leerzeichen am Anfang oder Ende)\n"
                                        "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"));
    EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{});
  }
}

// psqlODBC and MariaDB Connector/ODBC receive a password with ";" and "}"
// in braces; MariaDB also a user name with ";".
TEST_P(Encoding, PasswordsWithSemicolonsLogInWhereTheDriverTakesBraces) {
  if (!OnPostgres() && !OnMaria()) GTEST_SKIP() << "the SQLite driver takes no braces: refused above";
  const std::string password = "p;w}d{ x";
  std::string user = qjtest::UniqueName("qj_semi");
  qjtest::PgServer admin = pg;
  admin.user = "postgres";
  admin.password = "";
  if (OnPostgres()) {
    qjtest::PgExec(admin, "CREATE ROLE " + user + " LOGIN PASSWORD '" + password + "'; GRANT SELECT ON " + T("staff") +
                              ", " + T("terminal_firm") + " TO " + user + ";");
  } else {
    user += ";x";
    qjtest::MariaExec(maria, "CREATE USER '" + user + "'@'127.0.0.1' IDENTIFIED BY '" + password + "'; GRANT SELECT ON " +
                                 maria.database + ".* TO '" + user + "'@'127.0.0.1';");
  }
  install.WriteQueryIni(CompanySection() + NamesSection());
  install.WriteConvertedIni(ConnectionString(), user, password);
  auto r = install.Run({"Größe", "Müller", "dnl/m.txt", "1"}, kUtf8Locale);
  if (OnPostgres()) {
    qjtest::PgExec(admin, "DROP OWNED BY " + user + "; DROP ROLE " + user + ";");
  } else {
    qjtest::MariaExec(maria, "DROP USER '" + user + "'@'127.0.0.1';");
  }
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("m.txt")), kBoth);
}

// An engine error that ends the run while it steps through the rows carries
// database text too: in UTF-8 on standard error under a UTF-8 locale.
TEST(EncodingAbnormalEnd, EngineErrorWhileSteppingFollowsTheLocale) {
  qjtest::E2eInstall install;
  install.UseSqlite("CREATE TABLE n (k INTEGER);\n"
                    "WITH RECURSIVE c(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM c WHERE k < 2000)"
                    " INSERT INTO n SELECT k FROM c;\n");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("LATE", {"SELECT CASE WHEN k > 1500 THEN json_extract('{}', '$Köln') ELSE k END",
                                            "FROM n"},
                                   {{1, "K", "CHAR", "4"}}));
  qjtest::WriteBytes(install.Dnl("late.txt"), "old");
  for (const char* locale : {kUtf8Locale, "C"}) {
    auto r = install.Run({"LATE", "T1", "dnl/late.txt", "1"}, locale);
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    const std::string place = locale == std::string("C") ? Cp1252("Köln") : "Köln";
    EXPECT_NE(r.err.find(place), std::string::npos) << locale << ": " << r.err;
    EXPECT_EQ(ReadBytes(install.Dnl("late.txt")), "old");
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, Encoding, qjtest::AllBackends(), qjtest::BackendName);

}  // namespace
