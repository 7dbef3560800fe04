#pragma once
// An installation of qjsqlexe for end-to-end runs, laid out as a user would
// have it:
//   <root>/bin/qjsqlexe                 the built binary, copied
//   <root>/bin/qjsqlexe.<DbSys>.INI     the query definition file
//   <root>/dnl/QJDNL00P.TXT             the converted ini file
//   <root>/dnl/<downloads>              the target files
//   <root>/test.db                      the SQLite database, when used
// Runs start in <root>, so target files are given as "dnl/<name>".

#include <sys/types.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/odbc_env.h"
#include "support/test_support.h"

namespace qjtest {

// One output field of a section of the query definition file.
struct FieldSpec {
  int slot;
  std::string name;
  std::string type;
  std::string length;  // as written in the file: "8", "0x1F", ...
};

// A section of the query definition file: SQL001... and FELD/FTYP/FLEN keys.
std::string IniSection(const std::string& name, const std::vector<std::string>& sqlLines,
                       const std::vector<FieldSpec>& fields);

// The four records of a converted ini file that answer every lookup with its
// own key: each header line holds a header text and each entry a number other
// than 0, so no record matches a lookup for another key.
std::string ConvertedIniText(const std::string& dbSys, const std::string& database,
                             const std::string& login, const std::string& password);

// What a step that rejects its input prints: banner, message lines, an empty
// line and the usage text.
std::string ErrorFrame(const std::string& messageLines);

// UTF-8 text of a test as the Windows-1252 bytes that the tool reads and writes.
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

  // Creates test.db from the SQL and points the converted ini file at it.
  void UseSqlite(const std::string& sql) const;
  // Points the converted ini file at the test PostgreSQL server, with the
  // server's user and password; extraOptions are appended to the connection string.
  void UsePostgres(const PgServer& server, const std::string& extraOptions = "") const;

  // Runs the installed binary in Root() with the test ODBC configuration.
  // locale: the value of LANG for the run; empty leaves every locale variable unset.
  RunResult Run(const std::vector<std::string>& args, const std::string& locale = "",
                RunOptions options = {}) const;
  RunOptions Options(const std::string& locale = "", RunOptions options = {}) const;

  // The names in dnl/ other than the converted ini file, sorted.
  std::vector<std::string> DnlEntries() const;

 private:
  TempDir dir_;
  std::string dbSys_;
};

// A run of a program in the background, for tests that act on the process
// while it works. Output goes to files in the given directory.
class BackgroundRun {
 public:
  BackgroundRun(const std::vector<std::string>& args, const RunOptions& options, const std::string& logDir);
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  void Kill(int signal);
  // Waits for the end; the result holds exit code or signal and the output.
  RunResult Wait();

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string logDir_;
};

// A unique name for tables of one test in a shared database.
std::string UniqueName(const std::string& prefix);

// The database engines a run can go through.
enum class Backend { Sqlite, Postgres };
std::string BackendName(const ::testing::TestParamInfo<Backend>& info);

// The staff data shared by the end-to-end tests, in SQL that SQLite and
// PostgreSQL both take. Tables "staff<suffix>" (firm, nr, name, rate, since)
// with five rows of three companies, and "terminal_firm<suffix>" (terminal,
// firm): terminal T1 serves 0100, 0200 and 0300, terminal T2 only 0200.
std::string StaffTablesSql(const std::string& suffix);

// An installation whose converted ini file points at the staff data on the
// test's backend. On PostgreSQL the tables get a unique suffix and are dropped
// afterwards; without a PostgreSQL server the test is skipped.
class StaffRunTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A table name of the staff data as statements must write it.
  std::string T(const std::string& table) const { return table + suffix_; }
  bool OnPostgres() const { return GetParam() == Backend::Postgres; }

  // GETFIR1 (companies of the terminal, ordered) for the query definition file.
  std::string CompanySection() const;

  E2eInstall install{GetParam() == Backend::Postgres ? "PGSQL" : "SQLITE"};
  PgServer pg = TestPgServer();

 private:
  std::string suffix_;
  bool created_ = false;
};

}  // namespace qjtest
