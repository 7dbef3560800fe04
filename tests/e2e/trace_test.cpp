// The complete trace of a run through the installed binary, byte for byte:
// a run of one pass and a run of one pass per company, on SQLite and on
// PostgreSQL.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Backend;
using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

// The trace of loading a section whose statement template is given.
std::string LoadTrace(const std::string& statementTemplate) {
  return "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  '" + statementTemplate + "'\nEnd GetIniValues\n";
}

// The trace of one statement run that found its first row (or none) without an engine error.
std::string ReadFirstTrace(const std::string& statement) {
  return "Str ReadFirst\n  >>>>> Temp-SQL-Statement <<<<<\n  '" + statement +
         "'\n  Datenbank Close\n  Datenbank SQL-Clear\n  Datenbank AddSql\n  Datenbank Prepare\n"
         "  Datenbank Open\n  Datenbank FindFirst\nEnd ReadFirst\n";
}

const char kRowLoop[] = "Str ReadNext Schleife\nEnd ReadNext Schleife\n";

class Trace : public qjtest::StaffRunTest {
 protected:
  // Everything a traced run prints before the company list is read.
  std::string StartTrace() const {
    const std::string connection = qjtest::ReadBytes(install.ConvertedIniPath());
    const size_t at = connection.find("2;DATABASE;") + 11;
    const std::string dbName = connection.substr(at, connection.find('\n', at) - at);
    const std::string user = OnPostgres() ? pg.user : "qjuser";
    return " Aktiviert Debugger\nStr CheckParm\nEnd CheckParm\nStr SetDbUsr\n DB-Informationen:\n  DbSys = '" +
           install.DbSys() + "'\n  DbName = '" + dbName + "'\n  DbUsr = '" + user +
           "'\n  DbPwd = '********'\nEnd SetDbUsr\n";
  }

  // Loading and running GETFIR1 for terminal T1.
  std::string CompanyListTrace() const {
    const std::string statement =
        " SELECT firm FROM " + T("terminal_firm") + " WHERE terminal = '$parm01' ORDER BY firm ";
    std::string filled = statement;
    filled.replace(filled.find("$parm01"), 7, "T1");
    return LoadTrace(statement) + ReadFirstTrace(filled);
  }
};

// Promise: a traced run of one pass prints the start and end of every step in
// the fixed order, the statement before and after the terminal is filled in,
// the password hidden, and last the count message.
TEST_P(Trace, OnePassRunPrintsEveryStepInOrder) {
  install.WriteQueryIni(CompanySection() +
                        IniSection("ONE",
                                   {"SELECT name, nr FROM " + T("staff"),
                                    "WHERE firm IN (SELECT firm FROM " + T("terminal_firm") +
                                        " WHERE terminal = '$parm01')"},
                                   {{1, "NAME", "TXT", "9"}, {2, "NR", "DEC", "3"}}));
  const std::string statement = " SELECT name, nr FROM " + T("staff") + " WHERE firm IN (SELECT firm FROM " +
                                T("terminal_firm") + " WHERE terminal = '$parm01') ";
  std::string filled = statement;
  filled.replace(filled.find("$parm01"), 7, "T2");

  auto r = install.Run({"ONE", "T2", "dnl/one.txt", "1", "/D"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string companies = CompanyListTrace();
  companies.replace(companies.find("= 'T1'"), 6, "= 'T2'");
  EXPECT_EQ(r.out, StartTrace() + companies + LoadTrace(statement) + ReadFirstTrace(filled) + kRowLoop +
                       "Str WriteFile\nEnd WriteFile\n2 Saetze kopiert in Datei dnl/one.txt \n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(install.Dnl("one.txt")), "MEIER    003" + Cp1252("Özkan    041"));
}

// Promise: a traced company run loads the company list, then runs the
// requested statement once per company with that company filled in, each pass
// with its own row loop, and writes all records of all passes sorted together
// behind the old content (append mode).
TEST_P(Trace, CompanyRunPrintsOnePassPerCompany) {
  install.WriteQueryIni(CompanySection() + IniSection("PERFIRM",
                                                      {"SELECT name, nr FROM " + T("staff"),
                                                       "WHERE firm = '$parm02' AND '$parm01' = 'T1'"},
                                                      {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", "3"}}));
  WriteBytes(install.Dnl("firms.txt"), "OLD|");
  const std::string statement =
      " SELECT name, nr FROM " + T("staff") + " WHERE firm = '$parm02' AND '$parm01' = 'T1' ";

  std::string passes;
  for (const std::string firm : {"0100", "0200", "0300"}) {
    std::string filled = statement;
    filled.replace(filled.find("$parm02"), 7, firm);
    filled.replace(filled.find("$parm01"), 7, "T1");
    passes += ReadFirstTrace(filled) + kRowLoop;
  }

  auto r = install.Run({"PERFIRM", "T1", "dnl/firms.txt", "0", "/d"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, StartTrace() + CompanyListTrace() + LoadTrace(statement) + passes +
                       "Str WriteFile\nEnd WriteFile\n5 Saetze kopiert in Datei dnl/firms.txt \n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(install.Dnl("firms.txt")),
            "OLD|" + Cp1252("äbersold  012MEIER     003Müller    007Özkan     041zander    005"));
}

// Promise: without the trace switch the same company run prints only the count message.
TEST_P(Trace, UntracedCompanyRunPrintsOnlyTheCount) {
  install.WriteQueryIni(CompanySection() + IniSection("PERFIRM", {"SELECT name FROM " + T("staff"),
                                                                  "WHERE firm = '$parm02'"},
                                                      {{1, "NAME", "CHAR", "10"}}));
  auto r = install.Run({"PERFIRM", "T2", "dnl/firms.txt", "1", "/X"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2 Saetze kopiert in Datei dnl/firms.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("firms.txt")), "MEIER     " + Cp1252("Özkan     "));
}

INSTANTIATE_TEST_SUITE_P(Engines, Trace, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         qjtest::BackendName);

}  // namespace
