// The complete trace of a run through the installed binary, byte for byte: a
// run of one pass and a run of one pass per company, on each backend.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::IniSection;
using qjtest::ReadBytes;

std::string LoadTrace(const std::string& statementTemplate) {
  return "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  '" + statementTemplate + "'\nEnd GetIniValues\n";
}

// One statement run without an engine error; with rows, the row loop follows.
std::string ReadFirstTrace(const std::string& statement, bool rowLoop = true) {
  return "Str ReadFirst\n  >>>>> Temp-SQL-Statement <<<<<\n  '" + statement +
         "'\n  Datenbank Close\n  Datenbank SQL-Clear\n  Datenbank AddSql\n  Datenbank Prepare\n"
         "  Datenbank Open\n  Datenbank FindFirst\nEnd ReadFirst\n" +
         (rowLoop ? "Str ReadNext Schleife\nEnd ReadNext Schleife\n" : "");
}

std::string Fill(std::string text, const std::string& placeholder, const std::string& value) {
  return text.replace(text.find(placeholder), placeholder.size(), value);
}

class Trace : public qjtest::StaffRunTest {
 protected:
  // Everything up to and including the company list of the terminal.
  std::string StartTrace(const std::string& terminal) const {
    const std::string ini = ReadBytes(install.ConvertedIniPath());
    const size_t at = ini.find("2;DATABASE;") + 11;
    const std::string companies =
        " SELECT firm FROM " + T("terminal_firm") + " WHERE terminal = '$parm01' ORDER BY firm ";
    return " Aktiviert Debugger\nStr CheckParm\nEnd CheckParm\nStr SetDbUsr\n DB-Informationen:\n  DbSys = '" +
           install.DbSys() + "'\n  DbName = '" + ini.substr(at, ini.find('\n', at) - at) + "'\n  DbUsr = '" +
           User() + "'\n  DbPwd = '********'\n  Datenbankzugriff = '" +
           (!OnNative() ? "ODBC" : OnPostgres() ? "PostgreSQL (libpq)" : "SQLite (libsqlite3)") + "'\nEnd SetDbUsr\n" + LoadTrace(companies) +
           ReadFirstTrace(Fill(companies, "$parm01", terminal), false);
  }
};

// One pass, German number and date forms, replacing: the steps in order, the
// statement before and after the terminal is filled in, the password hidden.
TEST_P(Trace, OnePassRunPrintsEveryStepInOrder) {
  const std::string statement = " SELECT name, nr, rate, since FROM " + T("staff") + " WHERE firm IN (SELECT firm FROM " +
                                T("terminal_firm") + " WHERE terminal = '$parm01') ";
  install.WriteQueryIni(CompanySection() + IniSection("ONE", {statement.substr(1, statement.size() - 2)},
                                                      {{1, "NAME", "TXT", "9"}, {2, "NR", "DEC", "3"},
                                                       {3, "RATE", "DEC", "8"}, {4, "SINCE", "CHAR", "10"}}));
  qjtest::WriteBytes(install.Dnl("one.txt"), "OLD");
  auto r = install.Run({"ONE", "T2", "dnl/one.txt", "1", "/D"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, StartTrace("T2") + LoadTrace(statement) + ReadFirstTrace(Fill(statement, "$parm01", "T2")) +
                       "Str WriteFile\nEnd WriteFile\n2 Saetze kopiert in Datei dnl/one.txt \n");
  EXPECT_EQ(r.err, "qjsqlexe: Gebietsschema de_DE (LANG)\n");
  EXPECT_EQ(ReadBytes(install.Dnl("one.txt")), "MEIER    0030000000824.12.2023" + Cp1252("Özkan    041000-0,25          "));
}

// One pass per company with the company filled in, each with its own row
// loop; all records sorted together behind the old content (append mode).
TEST_P(Trace, CompanyRunPrintsOnePassPerCompany) {
  const std::string statement = " SELECT name, nr FROM " + T("staff") + " WHERE firm = '$parm02' AND '$parm01' = 'T1' ";
  install.WriteQueryIni(CompanySection() + IniSection("PERFIRM", {statement.substr(1, statement.size() - 2)},
                                                      {{1, "NAME", "CHAR", "10"}, {2, "NR", "DEC", "3"}}));
  qjtest::WriteBytes(install.Dnl("firms.txt"), "OLD|");
  std::string passes;
  for (const std::string firm : {"0100", "0200", "0300"}) {
    passes += ReadFirstTrace(Fill(Fill(statement, "$parm02", firm), "$parm01", "T1"));
  }
  auto r = install.Run({"PERFIRM", "T1", "dnl/firms.txt", "0", "/d"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, StartTrace("T1") + LoadTrace(statement) + passes +
                       "Str WriteFile\nEnd WriteFile\n5 Saetze kopiert in Datei dnl/firms.txt \n");
  // Without a locale in the environment, the system's configured one or the root locale.
  EXPECT_EQ(r.err.rfind("qjsqlexe: Gebietsschema ", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("firms.txt")),
            "OLD|" + Cp1252("äbersold  012MEIER     003Müller    007Özkan     041zander    005"));
}

INSTANTIATE_TEST_SUITE_P(Engines, Trace, qjtest::AllBackends(), qjtest::BackendName);
INSTANTIATE_TEST_SUITE_P(NativeEngines, Trace, qjtest::NativeBackends(), qjtest::BackendName);

}  // namespace
