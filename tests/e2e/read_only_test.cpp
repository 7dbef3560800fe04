// A download never changes the database: statements that write, hidden
// behind a select, smuggled in through a company value, or preceded by
// statements that switch the session back to writing are all rejected on
// every backend, and the data stays as it was.

#include <string>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;

class ReadOnlyRun : public qjtest::StaffRunTest {
 protected:
  void SetUp() override {
    StaffRunTest::SetUp();
    if (IsSkipped()) return;
    Exec("CREATE TABLE " + T("victim") + " (v VARCHAR(10));\nINSERT INTO " + T("victim") +
         " VALUES ('a'), ('b'), ('c');\nCREATE TABLE " + T("cmds") + " (k INTEGER, cmd VARCHAR(200));\n");
  }
  void TearDown() override {
    if (!OnPostgres() && !OnMaria()) return;
    if (!IsSkipped()) Exec("DROP TABLE IF EXISTS " + T("victim") + ", " + T("cmds") + ";");
    StaffRunTest::TearDown();
  }
  void Exec(const std::string& sql) {
    if (OnPostgres()) return qjtest::PgExec(pg, sql);
    if (OnMaria()) return qjtest::MariaExec(maria, sql);
    qjtest::SqliteExec(install.DbFile(), sql);
  }
  // The company values, one pass each in this order.
  void Companies(const std::vector<std::string>& values) {
    std::string sql = "DELETE FROM " + T("cmds") + ";\n";
    for (size_t i = 0; i < values.size(); ++i) {
      std::string quoted;
      for (char c : values[i]) quoted += c == '\'' ? std::string("''") : std::string(1, c);
      sql += "INSERT INTO " + T("cmds") + " VALUES (" + std::to_string(i) + ", '" + quoted + "');\n";
    }
    Exec(sql);
  }
  qjtest::RunResult RunStatement(const std::string& statement) {
    install.WriteQueryIni(
        IniSection("GETFIR1", {"SELECT cmd FROM " + T("cmds") + " ORDER BY k"}, {{1, "CMD", "CHAR", "200"}}) +
        IniSection("RUN", {statement}, {{1, "V", "CHAR", "1"}}) +
        IniSection("VICTIMS", {"SELECT v FROM " + T("victim")}, {{1, "V", "CHAR", "1"}}));
    return install.Run({"RUN", "T1", "dnl/run.txt", "1"});
  }
  // The rows of the victim table, sorted, as a download reads them.
  std::string Victims() {
    const qjtest::RunResult r = install.Run({"VICTIMS", "T1", "dnl/victims.txt", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return r.exitCode == 0 && qjtest::FileExists(install.Dnl("victims.txt")) ? ReadBytes(install.Dnl("victims.txt"))
                                                                              : "<none>";
  }
  // The statement that would switch the session back to writing.
  std::string ReadWrite() const {
    return OnPostgres() ? "SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE"
           : OnMaria()  ? "SET SESSION TRANSACTION READ WRITE"
                        : "PRAGMA query_only = 0";
  }
  std::string Victim() const { return T("victim"); }
};

// A statement that writes is rejected by the database: exit 6, no change.
TEST_P(ReadOnlyRun, WritingStatementIsRejected) {
  for (const std::string& statement :
       {"DELETE FROM " + Victim(), "UPDATE " + Victim() + " SET v = 'x'", "INSERT INTO " + Victim() + " VALUES ('d')",
        "DROP TABLE " + Victim()}) {
    SCOPED_TRACE(statement);
    const qjtest::RunResult r = RunStatement(statement);
    EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("Exception bei DB ", 0), 0u) << r.out;
    EXPECT_EQ(Victims(), "abc");
  }
}

// A write behind a select in the same statement text, and one that a
// company value stored in the database brings into the statement.
TEST_P(ReadOnlyRun, HiddenAndInjectedWritesChangeNothing) {
  RunStatement("SELECT v FROM " + Victim() + "; DELETE FROM " + Victim());
  EXPECT_EQ(Victims(), "abc");
  Companies({"a", "b'; DELETE FROM " + Victim() + " WHERE 'x' = 'x"});
  const qjtest::RunResult r = RunStatement("SELECT v FROM " + Victim() + " WHERE v = '$parm02'");
  EXPECT_NE(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Victims(), "abc");
}

// Statements that switch the session back to writing and commit, each in a
// pass of its own before the write, or all in one statement text.
TEST_P(ReadOnlyRun, SwitchingTheSessionBackDoesNotLetAWriteThrough) {
  Companies({ReadWrite(), "COMMIT", "DELETE FROM " + Victim(), "COMMIT"});
  qjtest::RunResult r = RunStatement("$parm02");
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  EXPECT_EQ(Victims(), "abc");
  Companies({});
  r = RunStatement(ReadWrite() + "; COMMIT; DELETE FROM " + Victim() + "; COMMIT");
  EXPECT_EQ(Victims(), "abc") << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(Engines, ReadOnlyRun, qjtest::AllBackends(), qjtest::BackendName);

}  // namespace
