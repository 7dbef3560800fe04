// Faults injected into runs of the installed binary: failed writes, SIGKILL,
// a database gone before or during the run, unreadable or garbage input files.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "support/e2e_fixture.h"

namespace {

using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

std::string BigSection(const std::string& table = "big") {
  return IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
         IniSection("BIG", {"SELECT id, name, amount FROM " + table},
                    {{1, "ID", "DEC", "10"}, {2, "NAME", "CHAR", "40"}, {3, "AMOUNT", "DEC", "10"}});
}
// A table "big" of n rows whose records are 60 bytes wide.
void UseBigTable(const E2eInstall& install, int rows) {
  install.WriteQueryIni(BigSection());
  install.UseSqlite("CREATE TABLE big (id INTEGER, name VARCHAR(40), amount DOUBLE PRECISION);\n"
                    "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                    std::to_string(rows) + ") INSERT INTO big SELECT k, 'Mitarbeiter Nummer ' || k, k * 0.25 FROM n;\n");
}

// An append that fails after several buffers (writes beyond the file size
// limit fail with EFBIG) is cut back to the old content.
TEST(FaultInjection, AppendModeWriteFailureCutsTheFileBackAndExits7) {
  E2eInstall install;
  UseBigTable(install, 500);
  WriteBytes(install.Dnl("out.txt"), "old records, no line end");
  qjtest::RunOptions limited;
  limited.beforeExec = [] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &rl);
  };
  auto r = install.Run({"BIG", "T1", "dnl/out.txt", "0"}, "", limited);
  EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
  EXPECT_EQ(r.out, "Datei konnte nicht geschrieben werden:\ndnl/out.txt\n500 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "old records, no line end");
}

// SIGKILL while a large download is written in replace mode leaves the old
// file under the target's name: the new records go to another name first.
TEST(FaultInjection, KillWhileWritingKeepsTheOldFile) {
  E2eInstall install;
  UseBigTable(install, 200000);  // about 12 MB of records
  const std::string old = "the old download must survive";
  bool killed = false;
  for (int attempt = 0; attempt < 3 && !killed; ++attempt) {
    WriteBytes(install.Dnl("out.txt"), old);
    qjtest::TempDir logs;
    qjtest::BackgroundRun run({"BIG", "T1", "dnl/out.txt", "1"}, install.Options(), logs.path());
    while (!killed && run.Running()) {
      // The new download has appeared beside the target: stopped there, the
      // run is killed only while it is still there, before the rename.
      if (install.DnlEntries().size() > 1 && run.Stop()) {
        killed = install.DnlEntries().size() > 1;
        run.Kill(killed ? SIGKILL : SIGCONT);
      }
    }
    const auto result = run.Wait();
    // Finished before the new download was seen: try again.
    EXPECT_EQ(killed ? result.signal : result.exitCode, killed ? SIGKILL : 0) << result.out << result.err;
  }
  ASSERT_TRUE(killed) << "the temporary download was never seen";
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);
}

// A server on a port where nothing listens (1), a refused login and a SQLite
// file that has gone away (and must not be created): both statements are
// reported with the engine's messages after one login, nothing is written,
// exit 9.
TEST(FaultInjection, UnreachableDatabaseExits9) {
  const auto pg = qjtest::TestPgServer();
  for (const std::string dbSys : {"PGSQL", "SQLITE", "refused"}) {
    SCOPED_TRACE(dbSys);
    E2eInstall install(dbSys == "SQLITE" ? "SQLITE" : "PGSQL");
    if (dbSys == "PGSQL") {
      install.WriteConvertedIni("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=qjtest");
    } else if (dbSys == "SQLITE") {
      install.WriteConvertedIni(qjtest::SqliteConnectionString(install.Root() + "/gone.db"));
    } else if (pg.Available()) {
      install.WriteConvertedIni(pg.ConnectionString(), pg.user, "not-the-password");
    } else {
      continue;
    }
    install.WriteQueryIni(IniSection("GETFIR1", {"SELECT firm FROM firms"}, {{1, "FIRM", "CHAR", "4"}}) +
                          IniSection("ONE", {"SELECT name FROM staff"}, {{1, "NAME", "CHAR", "10"}}));
    WriteBytes(install.Dnl("out.txt"), "untouched");
    auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
    EXPECT_EQ(r.exitCode, 9) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("Exception bei DB Prepare\n SELECT firm FROM firms \r\n[", 0), 0u) << r.out;
    const size_t second = r.out.find("\n\nException bei DB Prepare\n SELECT name FROM staff \r\n[");
    EXPECT_NE(second, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.rfind("\n\n")), "\n\n0 Saetze kopiert in Datei dnl/out.txt \n");
    EXPECT_EQ(dbSys == "refused", r.out.find("password authentication failed") != std::string::npos) << r.out;
    // One login for the run: each later statement repeats the first failure.
    const std::string message = r.out.substr(r.out.find("\r\n[") + 2, r.out.find("\n\n") - r.out.find("\r\n[") - 2);
    size_t repeated = 0;
    for (size_t at = r.out.find(message); at != std::string::npos; at = r.out.find(message, at + 1)) ++repeated;
    EXPECT_EQ(repeated, 3u) << r.out;
    // Standard error names the data source, passwords masked, and the message on one line.
    EXPECT_EQ(r.err.rfind("qjsqlexe: Verbindung zur Datenquelle '", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.find("not-the-password"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "untouched");
    EXPECT_FALSE(qjtest::FileExists(install.Root() + "/gone.db"));
  }
}

// A connection broken while a streamed result is fetched ends the run with
// exit 3 and one diagnostic line, without the count; the old download stays.
TEST(FaultInjection, ServerGoneDuringStreamedFetchExits3) {
  const auto pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("big");
  const std::string application = qjtest::UniqueName("qjfault");
  qjtest::PgExec(pg, "CREATE TABLE " + table + " AS SELECT k AS id, 'Mitarbeiter Nummer ' || k AS name,"
                     " k * 0.25 AS amount FROM generate_series(1, 300000) AS k;");
  E2eInstall install("PGSQL");
  install.WriteQueryIni(BigSection(table));
  install.UsePostgres(pg, "UseDeclareFetch=1;Fetch=100;pqopt={application_name=" + application + "}");
  // The server process is ended as soon as it is seen fetching; seen only
  // after its last fetch, the run completes: try again.
  qjtest::RunResult result;
  for (int attempt = 0; attempt == 0 || (attempt < 3 && result.exitCode == 0); ++attempt) {
    WriteBytes(install.Dnl("out.txt"), "old");
    qjtest::TempDir logs;
    qjtest::BackgroundRun run({"BIG", "T1", "dnl/out.txt", "1"}, install.Options(), logs.path());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (run.Running() && std::chrono::steady_clock::now() < deadline) {
      qjtest::PgExec(pg, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                             application + "' AND query ILIKE 'fetch%';");
    }
    run.Kill(SIGKILL);
    result = run.Wait();
  }
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");
  EXPECT_EQ(result.exitCode, 3) << "cut off while fetching: " << result.out << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.rfind("qjsqlexe: ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  // The backend was terminated, or the connection closed.
  EXPECT_TRUE(result.err.find("[57P01]") != std::string::npos || result.err.find("[08S01]") != std::string::npos);
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "old");
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
}

// Garbage in either file (NULs, control characters, 0x1A, stray CRs,
// brackets, separators, overlong lines), also behind a sound section, gives
// one of the tool's own results, never a signal. A converted ini file that
// cannot be read (reading /proc/self/mem from its start fails with EIO, even
// for root) gives the parameter frame and exit 5; an unreadable query
// definition file has no sections: the engine rejects the empty statement, 6.
TEST(FaultInjection, GarbageOrUnreadableInputFilesGiveTheToolsOwnResults) {
  E2eInstall install;
  install.UseSqlite("CREATE TABLE staff (name VARCHAR(10));\nINSERT INTO staff VALUES ('a');\n");
  const std::string goodIni = ReadBytes(install.ConvertedIniPath());
  const std::string alphabet = std::string("\0\r\n\x1a;=[]$ \t", 12) + "0123456789DBSQLFELDxX-+";
  std::mt19937 random(42);
  for (int run = 0; run < 18; ++run) {
    std::string garbage(random() % 6000, ' ');
    for (char& c : garbage) {
      c = random() % 4 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
    }
    if (run % 3 == 0) garbage += std::string(5000, 'A');
    WriteBytes(install.ConvertedIniPath(), run % 3 == 0 ? garbage : goodIni);
    install.WriteQueryIni(run % 3 == 2 ? IniSection("ONE", {"SELECT name FROM staff"}, {{1, "N", "CHAR", "3"}}) + garbage
                                       : garbage);
    const auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
    SCOPED_TRACE("run " + std::to_string(run));
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_TRUE(r.exitCode == 0 || (r.exitCode >= 3 && r.exitCode <= 7) || r.exitCode == 9 || r.exitCode == 99)
        << r.exitCode << r.err;
    if (r.exitCode == 3) {
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
  std::remove(install.Dnl("out.txt").c_str());
  ASSERT_EQ(unlink(install.ConvertedIniPath().c_str()), 0);
  ASSERT_EQ(symlink("/proc/self/mem", install.ConvertedIniPath().c_str()), 0);
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 5) << r.out << r.err;
  EXPECT_NE(r.out.find("Fehler beim Ermitteln der Datenbankparameter\n"), std::string::npos) << r.out;

  ASSERT_EQ(unlink(install.ConvertedIniPath().c_str()), 0);
  WriteBytes(install.ConvertedIniPath(), goodIni);
  ASSERT_EQ(unlink(install.QueryIniPath().c_str()), 0);
  ASSERT_EQ(symlink("/proc/self/mem", install.QueryIniPath().c_str()), 0);
  r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  EXPECT_NE(r.out.find("Exception bei DB "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("0 Saetze kopiert")), "0 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));
}

}  // namespace
