#pragma once
// An installation of qjsqlexe for end-to-end runs: <root>/bin/qjsqlexe beside
// its query definition file, <root>/dnl/ with the converted ini file and the
// downloads, <root>/test.db for SQLite. Runs start in <root> ("dnl/<name>").

#include <sys/types.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/odbc_env.h"
#include "support/test_support.h"

namespace qjtest {

struct FieldSpec {
  int slot;
  std::string name, type, length;  // length as written in the file: "8", "0x1F", ...
};

// A section of the query definition file: SQL001... and FELD/FTYP/FLEN keys.
std::string IniSection(const std::string& name, const std::vector<std::string>& sqlLines,
                       const std::vector<FieldSpec>& fields);

std::string ErrorFrame(const std::string& messageLines);

std::string Cp1252(const std::string& utf8);

class E2eInstall {
 public:
  explicit E2eInstall(std::string dbSys = "SQLITE");

  const std::string& Root() const { return dir_.path(); }
  std::string BinDir() const { return dir_.File("bin"); }
  std::string DnlDir() const { return dir_.File("dnl"); }
  std::string Exe() const { return dir_.File("bin/qjsqlexe"); }
  std::string DbFile() const { return dir_.File("test.db"); }
  std::string Dnl(const std::string& name) const { return DnlDir() + "/" + name; }
  std::string QueryIniPath() const { return BinDir() + "/qjsqlexe." + dbSys_ + ".INI"; }
  std::string ConvertedIniPath() const { return Dnl("QJDNL00P.TXT"); }
  const std::string& DbSys() const { return dbSys_; }

  void WriteQueryIni(const std::string& bytes) const;
  void WriteConvertedIni(const std::string& database, const std::string& login = "qjuser",
                         const std::string& password = "geheim") const;
  // Creates test.db from the SQL and points the converted ini file at it,
  // through ODBC or the native engine.
  void UseSqlite(const std::string& sql, bool native = false) const;
  // Points the converted ini file at the test server; extraOptions go to the connection string.
  void UsePostgres(const PgServer& server, const std::string& extraOptions = "") const;
  // Points the converted ini file at the test server through the native
  // engine; the query goes to the URI (e.g. "options=-c%20TimeZone%3DUTC").
  void UsePostgresNative(const PgServer& server, const std::string& query = "") const;

  // Runs the installed binary in Root() with the test ODBC configuration;
  // locale is LANG for the run, empty leaves every locale variable unset.
  RunResult Run(const std::vector<std::string>& args, const std::string& locale = "",
                RunOptions options = {}) const;
  RunOptions Options(const std::string& locale = "", RunOptions options = {}) const;

  // The names in dnl/ other than the converted ini file, sorted.
  std::vector<std::string> DnlEntries() const;

 private:
  TempDir dir_;
  std::string dbSys_;
};

// A run in the background, its output in files in logDir.
class BackgroundRun {
 public:
  BackgroundRun(const std::vector<std::string>& args, const RunOptions& options, const std::string& logDir);
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  bool Running();
  pid_t Pid() const { return pid_; }
  void Kill(int signal);
  // Stops the run where it is (SIGSTOP) and waits until it has stopped;
  // false when it ended first. Continue lets a stopped run go on.
  bool Stop();
  void Continue();
  RunResult Wait();

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string logDir_;
};

// A unique name for a table of one test in a shared database.
std::string UniqueName(const std::string& prefix);

// The ODBC backends, and SQLite and PostgreSQL through the native engines.
enum class Backend { Sqlite, Postgres, Maria, SqliteNative, PostgresNative };
std::string BackendName(const ::testing::TestParamInfo<Backend>& info);
// Every backend, for INSTANTIATE_TEST_SUITE_P.
inline auto AllBackends() { return ::testing::Values(Backend::Sqlite, Backend::Postgres, Backend::Maria); }
inline auto NativeBackends() { return ::testing::Values(Backend::SqliteNative, Backend::PostgresNative); }

// An installation whose converted ini file points at the staff data on the
// test's backend: "staff" (firm, nr, name, rate, since) with five rows of
// firms 0100, 0200, 0300, and "terminal_firm" (terminal, firm): T1 serves all
// three firms, T2 only 0200. On a server the tables get a unique suffix.
class StaffRunTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string T(const std::string& table) const { return table + suffix_; }
  bool OnPostgres() const { return GetParam() == Backend::Postgres || GetParam() == Backend::PostgresNative; }
  bool OnNative() const { return GetParam() == Backend::SqliteNative || GetParam() == Backend::PostgresNative; }
  bool OnMaria() const { return GetParam() == Backend::Maria; }
  // The DATABASE value and login of the converted ini file for the backend.
  std::string ConnectionString() const;
  std::string User() const;
  std::string Password() const;
  // GETFIR1: the firms of the terminal, ordered.
  std::string CompanySection() const;

  E2eInstall install{OnPostgres() ? "PGSQL" : OnMaria() ? "MYSQL" : "SQLITE"};
  PgServer pg = TestPgServer();
  MariaServer maria = TestMariaServer();

 private:
  std::string suffix_;
};

}  // namespace qjtest
