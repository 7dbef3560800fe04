// What the process finds at its start: standard descriptors that the caller
// closed, and an executable that a package upgrade replaced while it runs.

#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

class ClosedDescriptors : public qjtest::StaffRunTest {
 protected:
  // Names cut to 3 bytes, which warns on standard error for the long ones;
  // one pass per firm, so that the connection is used after a warning.
  void SetUp() override {
    StaffRunTest::SetUp();
    if (IsSkipped()) return;
    install.WriteQueryIni(CompanySection() + IniSection("NAMES", {"SELECT name FROM " + T("staff") +
                                                                      " WHERE firm = '$parm02' ORDER BY nr"},
                                                         {{1, "NAME", "CHAR", "3"}}));
  }
  qjtest::RunResult RunClosing(std::initializer_list<int> descriptors) {
    qjtest::RunOptions options;
    const std::vector<int> closed(descriptors);
    options.beforeExec = [closed] {
      for (const int fd : closed) close(fd);
    };
    WriteBytes(install.Dnl("out.txt"), "OLD");
    return install.Run({"NAMES", "T1", "dnl/out.txt", "0"}, "", options);
  }
  const std::string records = "OLD" + qjtest::Cp1252("äbeMEIMülÖzkzan");
};

// Standard output closed: the count message cannot be written, so the run
// says so with 8 while the download is complete; nothing of the tool's goes
// into the database connection or the files it opens.
TEST_P(ClosedDescriptors, ClosedStandardOutputExits8WithTheDownloadWritten) {
  for (auto closed : {std::initializer_list<int>{1}, std::initializer_list<int>{0, 1}}) {
    const qjtest::RunResult r = RunClosing(closed);
    EXPECT_EQ(r.exitCode, 8) << r.err;
    EXPECT_NE(r.err.find("qjsqlexe: Standardausgabe nicht geschrieben: "), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), records);
    EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  }
}

// Standard error closed: the warnings are lost, the run succeeds.
TEST_P(ClosedDescriptors, ClosedStandardErrorLosesOnlyTheWarnings) {
  for (auto closed : {std::initializer_list<int>{2}, std::initializer_list<int>{0, 2}}) {
    const qjtest::RunResult r = RunClosing(closed);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "5 Saetze kopiert in Datei dnl/out.txt \n");
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), records);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ClosedDescriptors, qjtest::AllBackends(), qjtest::BackendName);

// A package upgrade renames a new executable over the running one; the run
// still finds the query definition file beside it. The run is traced, so
// that it stops right after it has started its executable; the executable is
// replaced before it goes on.
TEST(ProcessStart, ReplacedExecutableStillFindsItsQueryDefinitionFile) {
  qjtest::E2eInstall install;
  install.UseSqlite("CREATE TABLE t(v TEXT); INSERT INTO t VALUES ('b'), ('a');");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT v FROM t"}, {{1, "V", "CHAR", "1"}}) +
                        IniSection("LIST", {"SELECT v FROM t"}, {{1, "V", "CHAR", "2"}}));
  const std::string upgrade = install.Exe() + ".new";
  WriteBytes(upgrade, ReadBytes(install.Exe()));
  ASSERT_EQ(chmod(upgrade.c_str(), 0755), 0);
  qjtest::RunOptions options = install.Options();
  options.beforeExec = [] { ptrace(PTRACE_TRACEME, 0, nullptr, nullptr); };

  qjtest::TempDir logs;
  qjtest::BackgroundRun run({"LIST", "T1", "dnl/out.txt", "1"}, options, logs.path());
  int status = 0;
  ASSERT_EQ(waitpid(run.Pid(), &status, 0), run.Pid());
  ASSERT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGTRAP) << status;
  ASSERT_EQ(rename(upgrade.c_str(), install.Exe().c_str()), 0);
  ASSERT_EQ(ptrace(PTRACE_DETACH, run.Pid(), nullptr, nullptr), 0);
  const qjtest::RunResult r = run.Wait();
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "2 Saetze kopiert in Datei dnl/out.txt \n") << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "a b ");
}

// libpq and the libraries it pulls in are loaded only for a PostgreSQL
// connection: a SQLite download, native or through ODBC, starts without them.
// A PostgreSQL engine that is missing fails only for postgresql:// values.
TEST(ProcessStart, ASqliteDownloadLoadsNoPostgresLibrary) {
  qjtest::E2eInstall install;
  install.WriteQueryIni(IniSection("LIST", {"SELECT v FROM t"}, {{1, "V", "CHAR", "2"}}));
  for (const bool native : {true, false}) {
    SCOPED_TRACE(native ? "native" : "ODBC");
    std::remove(install.DbFile().c_str());
    install.UseSqlite("CREATE TABLE t(v TEXT); INSERT INTO t VALUES ('b'), ('a');", native);
    qjtest::TempDir logs;
    qjtest::RunOptions options;
    options.env["LD_DEBUG"] = "libs";
    options.env["LD_DEBUG_OUTPUT"] = logs.File("ld");
    const qjtest::RunResult r = install.Run({"LIST", "T1", "dnl/out.txt", "1"}, "", options);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "a b ");
    std::string loaded;
    for (const auto& entry : std::filesystem::directory_iterator(logs.path())) loaded += ReadBytes(entry.path());
    EXPECT_NE(loaded.find("libsqlite3"), std::string::npos) << "no loader trace";
    EXPECT_EQ(loaded.find("libpq"), std::string::npos) << loaded.substr(0, 2000);
  }
}

}  // namespace
