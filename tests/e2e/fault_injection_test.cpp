// Faults injected into real runs of the installed binary: a download that
// cannot be written completely, a process killed while writing, a database
// that is gone before or during the run, and parameter and query files that
// cannot be read or hold garbage. Each test names the promise it checks.

#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <random>
#include <set>

#include "support/e2e_fixture.h"

namespace {

using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::RunOptions;
using qjtest::WriteBytes;

// SQL for a table "big" of n rows (id, name, amount) made by a recursive CTE (SQLite).
std::string BigSqliteTable(int rows) {
  return "CREATE TABLE big (id INTEGER, name VARCHAR(40), amount DOUBLE PRECISION);\n"
         "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
         std::to_string(rows) +
         ")\n"
         "INSERT INTO big SELECT k, 'Mitarbeiter Nummer ' || k, k * 0.25 FROM n;\n";
}

// A section over "big" whose records are 60 bytes wide.
std::string BigSection(const std::string& table = "big") {
  return IniSection("BIG", {"SELECT id, name, amount FROM " + table},
                    {{1, "ID", "DEC", "10"}, {2, "NAME", "CHAR", "40"}, {3, "AMOUNT", "DEC", "10"}});
}

// Limits the size of every file the child writes and lets a write beyond it
// fail with EFBIG instead of raising SIGXFSZ.
RunOptions WithFileSizeLimit(rlim_t bytes) {
  RunOptions options;
  options.beforeExec = [bytes] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  return options;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Promise: a download that cannot be written completely in replace mode leaves
// the old file byte-identical, leaves no temporary file behind, still prints
// the count message, and ends with exit 7.
TEST(FaultInjection, ReplaceModeWriteFailureKeepsTheOldFileAndExits7) {
  E2eInstall install;
  install.UseSqlite(BigSqliteTable(500));  // 500 records of 60 bytes: 30000 bytes
  install.WriteQueryIni(BigSection());
  std::string old(20000, 'o');
  old += "end of the old download";
  WriteBytes(install.Dnl("out.txt"), old);

  auto r = install.Run({"BIG", "T1", "dnl/out.txt", "1"}, "", WithFileSizeLimit(24576));
  EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
  EXPECT_EQ(r.signal, 0);
  EXPECT_TRUE(EndsWith(r.out, "500 Saetze kopiert in Datei dnl/out.txt \n")) << r.out;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
}

// Promise: a download that cannot be appended completely is cut back to the
// old file's size and content, and the run ends with exit 7.
TEST(FaultInjection, AppendModeWriteFailureCutsTheFileBackAndExits7) {
  E2eInstall install;
  install.UseSqlite(BigSqliteTable(500));
  install.WriteQueryIni(BigSection());
  const std::string old = "old records, no line end";
  WriteBytes(install.Dnl("out.txt"), old);

  auto r = install.Run({"BIG", "T1", "dnl/out.txt", "0"}, "", WithFileSizeLimit(8192));
  EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
  EXPECT_EQ(r.signal, 0);
  EXPECT_TRUE(EndsWith(r.out, "500 Saetze kopiert in Datei dnl/out.txt \n")) << r.out;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);

  // With room enough the same append succeeds behind the old content.
  r = install.Run({"BIG", "T1", "dnl/out.txt", "0"}, "", WithFileSizeLimit(1 << 20));
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")).size(), old.size() + 500 * 60);
}

// Promise: a process killed with SIGKILL while it writes a large download in
// replace mode leaves the old file intact under the target's name; the new
// records are only ever written under another name.
TEST(FaultInjection, KillWhileWritingKeepsTheOldFile) {
  E2eInstall install;
  install.UseSqlite(BigSqliteTable(200000));  // about 12 MB of records
  install.WriteQueryIni(BigSection());
  const std::string old = "the old download must survive";
  WriteBytes(install.Dnl("out.txt"), old);

  bool killedWhileWriting = false;
  for (int attempt = 0; attempt < 3 && !killedWhileWriting; ++attempt) {
    qjtest::TempDir logs;
    qjtest::BackgroundRun run({"BIG", "T1", "dnl/out.txt", "1"}, install.Options(), logs.path());
    while (run.Running()) {
      if (install.DnlEntries().size() > 1) {  // the new download has appeared beside the target
        run.Kill(SIGKILL);
        killedWhileWriting = true;
        break;
      }
    }
    const auto result = run.Wait();
    if (killedWhileWriting) {
      EXPECT_EQ(result.signal, SIGKILL);
    } else {
      ASSERT_EQ(result.exitCode, 0) << result.out << result.err;  // finished before we saw it: try again
      WriteBytes(install.Dnl("out.txt"), old);
    }
  }
  ASSERT_TRUE(killedWhileWriting) << "the temporary download was never seen";
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);
  for (const auto& name : install.DnlEntries()) {
    if (name != "out.txt") std::cout << "left behind after SIGKILL: dnl/" << name << "\n";
  }
}

// A TCP port on loopback on which nothing listens.
std::string ClosedPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return std::to_string(ntohs(address.sin_port));
}

// Checks a run against a database that cannot be reached: both the company
// statement and the requested statement are reported with the engine's
// messages, nothing is written, and the run ends with exit 6.
void ExpectUnreachable(const E2eInstall& install) {
  const std::string old = "untouched";
  WriteBytes(install.Dnl("out.txt"), old);
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("Exception bei DB Prepare\n SELECT firm FROM firms \r\n[", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\n\nException bei DB Prepare\n SELECT name FROM staff \r\n["), std::string::npos) << r.out;
  EXPECT_TRUE(EndsWith(r.out, "\n\n0 Saetze kopiert in Datei dnl/out.txt \n")) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);
}

std::string UnreachableSections() {
  return IniSection("GETFIR1", {"SELECT firm FROM firms"}, {{1, "FIRM", "CHAR", "4"}}) +
         IniSection("ONE", {"SELECT name FROM staff"}, {{1, "NAME", "CHAR", "10"}});
}

// Promise: a database server that is down before the run gives the engine's
// messages at the first prepare and exit 6, with the download untouched.
TEST(FaultInjection, ServerDownBeforeTheRunExits6) {
  E2eInstall install("PGSQL");
  install.WriteQueryIni(UnreachableSections());
  install.WriteConvertedIni("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=" + ClosedPort() + ";Database=qjtest",
                            "qjtest", "secret");
  ExpectUnreachable(install);
}

// Promise: the same holds for an SQLite database file that has gone away
// (the connection string forbids creating it).
TEST(FaultInjection, SqliteDatabaseGoneBeforeTheRunExits6) {
  E2eInstall install;
  install.WriteQueryIni(UnreachableSections());
  install.WriteConvertedIni(qjtest::SqliteConnectionString(install.Root() + "/gone.db"));
  ExpectUnreachable(install);
  EXPECT_FALSE(qjtest::FileExists(install.Root() + "/gone.db"));
}

// Promise: a connection that breaks while rows are being fetched in a
// streamed result ends the run with exit 3 and one diagnostic line, without
// the count message, and the old download stays as it was.
TEST(FaultInjection, ServerGoneDuringStreamedFetchExits3) {
  const auto pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  const std::string table = qjtest::UniqueName("big");
  const std::string application = qjtest::UniqueName("qjfault");
  qjtest::PgExec(pg, "CREATE TABLE " + table + " AS SELECT k AS id, 'Mitarbeiter Nummer ' || k AS name,"
                     " k * 0.25 AS amount FROM generate_series(1, 300000) AS k;");
  E2eInstall install("PGSQL");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) + BigSection(table));
  install.UsePostgres(pg, "UseDeclareFetch=1;Fetch=100;pqopt={application_name=" + application + "}");
  const std::string old = "the old download must survive";

  // The run's server process is ended from outside as soon as it is seen
  // fetching. Seen only after its last fetch, the run completes; try again.
  qjtest::RunResult result;
  bool cutOff = false;
  for (int attempt = 0; attempt < 3 && !cutOff; ++attempt) {
    WriteBytes(install.Dnl("out.txt"), old);
    qjtest::TempDir logs;
    qjtest::BackgroundRun run({"BIG", "T1", "dnl/out.txt", "1"}, install.Options(), logs.path());
    bool terminated = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!terminated && run.Running() && std::chrono::steady_clock::now() < deadline) {
      qjtest::RunOptions psql;
      psql.executable = "/usr/bin/psql";
      psql.env["PGPASSWORD"] = pg.password;
      const auto r = qjtest::RunProgram(
          {"-X", "-A", "-t", "-h", pg.host, "-p", pg.port, "-U", pg.user, "-d", pg.database, "-c",
           "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" + application +
               "' AND query ILIKE 'fetch%'"},
          psql);
      terminated = r.out.find('t') != std::string::npos;
    }
    result = run.Wait();
    cutOff = terminated && result.exitCode != 0;
  }
  qjtest::PgExec(pg, "DROP TABLE " + table + ";");
  ASSERT_TRUE(cutOff) << "the run was never cut off while fetching: " << result.out << result.err;
  EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.rfind("qjsqlexe: ", 0), 0u) << result.err;
  // The engine's diagnostic: the backend was terminated, or the connection closed.
  EXPECT_TRUE(result.err.find("[57P01]") != std::string::npos || result.err.find("[08S01]") != std::string::npos)
      << result.err;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
}

// Bytes that no editor wrote: NULs, control characters, 0x1A, stray CRs,
// brackets, equals signs and separators, and lines far beyond every limit.
std::string Garbage(unsigned seed) {
  std::mt19937 random(seed);
  const std::string alphabet = std::string("\0\r\n\x1a;=[]$ \t", 12) + "0123456789DBSQLFELDxX-+";
  std::string bytes;
  const size_t size = random() % 6000;
  for (size_t i = 0; i < size; ++i) {
    const unsigned pick = random() % 4;
    bytes += pick == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
  }
  if (seed % 3 == 0) bytes += std::string(5000, 'A');
  return bytes;
}

const std::set<int> kKnownExitCodes = {0, 3, 4, 5, 6, 7, 99};

void ExpectClearResult(const qjtest::RunResult& r) {
  EXPECT_EQ(r.signal, 0) << r.err;
  EXPECT_TRUE(kKnownExitCodes.count(r.exitCode) == 1) << r.exitCode << r.err;
  if (r.exitCode == 3) {
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
}

// Promise: a converted ini file or query definition file full of garbage gives
// one of the tool's own results, never a crash.
TEST(FaultInjection, GarbageParameterAndQueryFilesNeverCrash) {
  E2eInstall install;
  install.UseSqlite("CREATE TABLE staff (name VARCHAR(10));\nINSERT INTO staff VALUES ('a');\n");
  const std::string goodIni = ReadBytes(install.ConvertedIniPath());
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    WriteBytes(install.ConvertedIniPath(), Garbage(seed));
    ExpectClearResult(install.Run({"ONE", "T1", "dnl/out.txt", "1"}));

    WriteBytes(install.ConvertedIniPath(), goodIni);
    install.WriteQueryIni(Garbage(seed + 100));
    ExpectClearResult(install.Run({"ONE", "T1", "dnl/out.txt", "1"}));
    // Garbage appended to a sound section still leaves a clear result.
    install.WriteQueryIni(IniSection("ONE", {"SELECT name FROM staff"}, {{1, "N", "CHAR", "3"}}) + Garbage(seed));
    ExpectClearResult(install.Run({"ONE", "T1", "dnl/out.txt", "1"}));
  }
}

// Promise: a converted ini file that exists but cannot be read gives the
// missing-parameter frame and exit 5; a query definition file that cannot be
// read is one without sections: the engine rejects the empty statement and
// the run ends with exit 6.
TEST(FaultInjection, UnreadableParameterAndQueryFilesGiveTheirResults) {
  E2eInstall install;
  install.UseSqlite("CREATE TABLE staff (name VARCHAR(10));\n");
  const std::string goodIni = ReadBytes(install.ConvertedIniPath());
  // Reading /proc/self/mem from its start fails with EIO, even for root.
  ASSERT_EQ(unlink(install.ConvertedIniPath().c_str()), 0);
  ASSERT_EQ(symlink("/proc/self/mem", install.ConvertedIniPath().c_str()), 0);
  auto r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 5) << r.out << r.err;
  EXPECT_NE(r.out.find("Fehler beim Ermitteln der Datenbankparameter\n"), std::string::npos) << r.out;

  ASSERT_EQ(unlink(install.ConvertedIniPath().c_str()), 0);
  WriteBytes(install.ConvertedIniPath(), goodIni);
  ASSERT_EQ(symlink("/proc/self/mem", install.QueryIniPath().c_str()), 0);
  r = install.Run({"ONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 6) << r.out << r.err;
  EXPECT_NE(r.out.find("Exception bei DB "), std::string::npos) << r.out;
  EXPECT_TRUE(EndsWith(r.out, "0 Saetze kopiert in Datei dnl/out.txt \n")) << r.out;
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));
}

}  // namespace
