// A section's statement through the installed binary against SQLite: the
// terminal filled in, statements without rows, statements the engine rejects
// (message, trace and exit code 6), and where the query definition file is
// looked for.

#include <sys/stat.h>

#include <cstdio>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

// Terminal T1 serves firms 0100 and 0200; the empty terminal serves 0900.
const char kTables[] =
    "CREATE TABLE tf(terminal VARCHAR(10), firm VARCHAR(10));"
    "INSERT INTO tf VALUES ('T1', '0100'), ('T1', '0200'), ('', '0900');"
    "CREATE TABLE item(firm VARCHAR(10), name VARCHAR(20));"
    "INSERT INTO item VALUES ('0100', 'bolt'), ('0200', 'Nut'), ('0200', 'axle'), ('0900', 'gear');";

std::string CompanySection() {
  return IniSection("GETFIR1", {"SELECT firm FROM tf WHERE terminal = '$parm01' ORDER BY firm"},
                    {{1, "FIRM", "CHAR", "4"}});
}

std::string LoadTrace(const std::string& statementTemplate, bool ends = true) {
  return "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  '" + statementTemplate + "'\n" +
         (ends ? "End GetIniValues\n" : "");
}

// The trace of ReadFirst up to the step that failed (or to its end).
std::string ReadFirstTrace(const std::string& statement, const std::string& lastStep = "FindFirst") {
  std::string trace = "Str ReadFirst\n  >>>>> Temp-SQL-Statement <<<<<\n  '" + statement + "'\n";
  for (const std::string step : {"Close", "SQL-Clear", "AddSql", "Prepare", "Open", "FindFirst"}) {
    trace += "  Datenbank " + step + "\n";
    if (step == lastStep) break;
  }
  return lastStep == "FindFirst" ? trace + "End ReadFirst\n" : trace;
}

class StatementRun : public ::testing::Test {
 protected:
  void SetUp() override { install.UseSqlite(kTables); }

  std::string StartTrace() const {
    return " Aktiviert Debugger\nStr CheckParm\nEnd CheckParm\nStr SetDbUsr\n DB-Informationen:\n"
           "  DbSys = 'SQLITE'\n  DbName = '" +
           qjtest::SqliteConnectionString(install.DbFile()) +
           "'\n  DbUsr = 'qjuser'\n  DbPwd = '********'\nEnd SetDbUsr\n";
  }

  qjtest::E2eInstall install;
};

// Promise: the terminal name replaces every "$parm01" of the statement, a
// terminal holding "$parm01" itself is inserted once, and the records are
// sorted without regard to letter case.
TEST_F(StatementRun, TerminalIsFilledIntoTheStatement) {
  install.WriteQueryIni(CompanySection() +
                        IniSection("ITEMS",
                                   {"SELECT i.name, '$parm01' FROM item i JOIN tf ON tf.firm = i.firm",
                                    "WHERE tf.terminal = '$parm01'"},
                                   {{1, "NAME", "CHAR", "5"}, {2, "TERM", "CHAR", "3"}}));
  auto r = install.Run({"ITEMS", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "axle T1 bolt T1 Nut  T1 ");

  install.WriteQueryIni(CompanySection() + IniSection("ECHO", {"SELECT '$parm01'"}, {{1, "T", "CHAR", "12"}}));
  r = install.Run({"ECHO", "a$parm01b", "dnl/echo.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("echo.txt")), "a$parm01b   ");
}

// Promise: a statement without rows prints nothing but the count message and
// leaves the download file untouched.
TEST_F(StatementRun, NoRowsPrintsOnlyTheCount) {
  install.WriteQueryIni(CompanySection() +
                        IniSection("NONE", {"SELECT name FROM item WHERE firm = '$parm01'"}, {{1, "N", "CHAR", "5"}}));
  WriteBytes(install.Dnl("out.txt"), "OLD");
  auto r = install.Run({"NONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "OLD");
}

// Promise: a rejected statement is reported as "Exception bei DB Prepare", the
// statement with CR LF, the engine's text and two line feeds; the run goes on
// to the count message and ends with 6.
TEST_F(StatementRun, RejectedStatementIsReportedAndExits6) {
  install.WriteQueryIni(CompanySection() +
                        IniSection("BAD", {"SELECT name", "FROM nosuch WHERE t = '$parm01'"}, {{1, "N", "CHAR", "5"}}));
  auto r = install.Run({"BAD", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.err;
  const std::string head = "Exception bei DB Prepare\n SELECT name FROM nosuch WHERE t = 'T1' \r\n";
  const std::string tail = "\n\n0 Saetze kopiert in Datei dnl/out.txt \n";
  ASSERT_GT(r.out.size(), head.size() + tail.size()) << r.out;
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  const std::string message = r.out.substr(head.size(), r.out.size() - head.size() - tail.size());
  EXPECT_NE(message.find("no such table: nosuch"), std::string::npos) << message;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));
}

// Promise: in trace mode a statement that fails when it is opened shows the
// trace up to "  Datenbank Open", the message, no "End ReadFirst", and then
// the empty row loop, the write and the count; a rejected company statement
// does not change the exit code.
TEST_F(StatementRun, TraceOfARejectedPassStopsAtTheFailingStep) {
  // A statement without result columns fails at open.
  install.WriteQueryIni(IniSection("GETFIR2", {"SELECT firm FROM tf WHERE terminal = '$parm01'"}, {{1, "F", "", ""}}) +
                        IniSection("DDL", {"CREATE TABLE made_by_run(x INTEGER)"}, {{1, "X", "CHAR", "1"}}));
  auto r = install.Run({"DDL", "T1", "dnl/out.txt", "1", "/D"});
  EXPECT_EQ(r.exitCode, 6) << r.err;

  // GETFIR1 is missing: its one-blank statement has no result columns and is
  // rejected at open; GETFIR2 then gives the firm 0900.
  const std::string expectedStart = StartTrace() + LoadTrace(" ") + ReadFirstTrace(" ", "Open") +
                                    "Exception bei DB Open\n \r\n";
  ASSERT_EQ(r.out.substr(0, expectedStart.size()), expectedStart) << r.out;

  const std::string company = " SELECT firm FROM tf WHERE terminal = '$parm01' ";
  const std::string statement = " CREATE TABLE made_by_run(x INTEGER) ";
  const std::string middle = LoadTrace(company) + ReadFirstTrace(" SELECT firm FROM tf WHERE terminal = '' ") +
                             LoadTrace(statement) + ReadFirstTrace(statement, "Open") + "Exception bei DB Open\n" +
                             statement + "\r\n";
  const size_t at = r.out.find(middle, expectedStart.size());
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string tail =
      "\n\nStr ReadNext Schleife\nEnd ReadNext Schleife\nStr WriteFile\nEnd WriteFile\n"
      "0 Saetze kopiert in Datei dnl/out.txt \n";
  ASSERT_GT(r.out.size(), at + middle.size() + tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(r.out.find("End ReadFirst", at + middle.size()), std::string::npos);
}

// Promise: the query definition file is the executable's path with the
// extension of its file name replaced; a dot in a directory name stays.
TEST_F(StatementRun, QueryDefinitionFileLiesBesideTheExecutable) {
  const std::string toolDir = install.Root() + "/tools.v2";
  ASSERT_EQ(mkdir(toolDir.c_str(), 0755), 0);
  const std::string exe = qjtest::InstallBinary(toolDir);
  const std::string section = CompanySection() + IniSection("ONE", {"SELECT 'right'"}, {{1, "A", "CHAR", "5"}});
  WriteBytes(toolDir + "/qjsqlexe.SQLITE.INI", section);
  WriteBytes(install.Root() + "/tools.SQLITE.INI", IniSection("ONE", {"SELECT 'wrong'"}, {{1, "A", "CHAR", "5"}}));

  qjtest::RunOptions options = install.Options();
  options.executable = exe;
  auto r = qjtest::RunProgram({"ONE", "T1", "dnl/a.txt", "1"}, options);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("a.txt")), "right");

  // With an extension the extension goes: tools.v2/qj.bin reads tools.v2/qj.SQLITE.INI.
  options.executable = toolDir + "/qj.bin";
  ASSERT_EQ(std::rename(exe.c_str(), options.executable.c_str()), 0);
  WriteBytes(toolDir + "/qj.SQLITE.INI", CompanySection() + IniSection("ONE", {"SELECT 'other'"}, {{1, "A", "CHAR", "5"}}));
  r = qjtest::RunProgram({"ONE", "T1", "dnl/b.txt", "1"}, options);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("b.txt")), "other");
}

}  // namespace
