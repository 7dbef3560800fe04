#include "support/e2e_fixture.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/code_page.h"

namespace qjtest {

std::string IniSection(const std::string& name, const std::vector<std::string>& sqlLines,
                       const std::vector<FieldSpec>& fields) {
  std::string text = "[" + name + "]\n";
  char key[32];
  for (size_t i = 0; i < sqlLines.size(); ++i) {
    std::snprintf(key, sizeof key, "SQL%03zu=", i + 1);
    text += key + sqlLines[i] + "\n";
  }
  for (const auto& f : fields) {
    std::snprintf(key, sizeof key, "%02d=", f.slot);
    text += "FELD" + (key + f.name) + "\nFTYP" + key + f.type + "\nFLEN" + key + f.length + "\n";
  }
  return text + "\n";
}

std::string ErrorFrame(const std::string& messageLines) {
  const std::string stars(54, '*');
  return "\n" + stars + "\n** Copyright (c) 2026 the qjsqlexe authors          **\n"
         "** Projekt     : VELMORANT                          **\n** Tool        : QJSQLEXE                           **\n"
         "** Beschreibung:  Ausfuehren einer SQL-Anweisung    **\n**                und erstellen einer Downloaddatei **\n"
         "**                aus den Resultierenden Daten      **\n" + stars + "\n\n" + messageLines +
         "\nBefehlsformat: \nQJSQLEXE.EXE Sektionsname Terminalname Zieldatei 0/1 \n\n"
         "Sektionsname = Name der Sektion in der Ini-Datei     \nTerminalname = Parameter fuer das SQL-Statement      \n"
         "Zieldatei    = Dateiname der Ausgabedatei            \nRepaceFlag   = 0 = Anhaengen, 1 = Ersetzen          \n"
         "\nBeispiel:\nQJSQLEXE.EXE QJDNL31P ZutCtrl qjdnl31p.txt 1\n\n";
}

std::string Cp1252(const std::string& utf8) { return qj::Utf8ToCp1252(utf8); }

E2eInstall::E2eInstall(std::string dbSys) : dbSys_(std::move(dbSys)) {
  if (mkdir(BinDir().c_str(), 0755) != 0 || mkdir(DnlDir().c_str(), 0755) != 0) {
    throw std::runtime_error("cannot lay out " + Root());
  }
  InstallBinary(BinDir());
}

void E2eInstall::WriteQueryIni(const std::string& bytes) const { WriteBytes(QueryIniPath(), bytes); }

// Each header line holds a header text and each entry a number other than 0,
// so no record answers a lookup for another key.
void E2eInstall::WriteConvertedIni(const std::string& database, const std::string& login,
                                   const std::string& password) const {
  WriteBytes(ConvertedIniPath(), "VELMORANT.INI;DATENBANK;System\n1;DB_SYSTEM;" + dbSys_ +
                                     "\nVELMORANT.INI;DATENBANK;Quelle\n2;DATABASE;" + database +
                                     "\nVELMORANT.INI;DATENBANK;Benutzer\n3;LOGIN;" + login +
                                     "\nVELMORANT.INI;DATENBANK;Kennwort\n4;PASS;" + password + "\n");
}

void E2eInstall::UseSqlite(const std::string& sql, bool native) const {
  SqliteExec(DbFile(), sql);
  WriteConvertedIni(native ? "file:" + DbFile() : SqliteConnectionString(DbFile()));
}

void E2eInstall::UsePostgres(const PgServer& server, const std::string& extraOptions) const {
  WriteConvertedIni(server.ConnectionString() + (extraOptions.empty() ? "" : ";" + extraOptions), server.user,
                    server.password);
}

void E2eInstall::UsePostgresNative(const PgServer& server, const std::string& query) const {
  WriteConvertedIni(server.Uri() + (query.empty() ? "" : "?" + query), server.user, server.password);
}

RunOptions E2eInstall::Options(const std::string& locale, RunOptions options) const {
  options.executable = Exe();
  options.workingDirectory = Root();
  for (const auto& [name, value] : OdbcEnv()) options.env[name] = value;
  if (!locale.empty()) options.env["LANG"] = locale;
  // Under LeakSanitizer, leaks inside the ODBC drivers are not the tool's.
  if (std::getenv("LSAN_OPTIONS") == nullptr && options.env.count("LSAN_OPTIONS") == 0) {
    options.env["LSAN_OPTIONS"] =
        std::string("suppressions=") + QJ_SOURCE_DIR + "/tests/support/lsan_suppressions.txt:print_suppressions=0";
  }
  return options;
}

RunResult E2eInstall::Run(const std::vector<std::string>& args, const std::string& locale,
                          RunOptions options) const {
  return RunProgram(args, Options(locale, std::move(options)));
}

std::vector<std::string> E2eInstall::DnlEntries() const {
  std::vector<std::string> names;
  DIR* d = opendir(DnlDir().c_str());
  if (d == nullptr) return names;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != ".." && name != "QJDNL00P.TXT") names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

BackgroundRun::BackgroundRun(const std::vector<std::string>& args, const RunOptions& options,
                             const std::string& logDir)
    : logDir_(logDir) {
  std::fflush(nullptr);  // the child must not write our buffered output again
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ != 0) return;
  // The environment as RunProgram builds it: ours without locale variables, the options on top.
  for (const char* name : {"LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_NUMERIC", "LC_TIME", "LC_COLLATE"}) {
    unsetenv(name);
  }
  for (const auto& name : options.unsetEnv) unsetenv(name.c_str());
  for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
  const std::string exe = options.executable.empty() ? BinaryPath() : options.executable;
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (std::freopen((logDir + "/stdout").c_str(), "w", stdout) == nullptr ||
      std::freopen((logDir + "/stderr").c_str(), "w", stderr) == nullptr ||
      (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)) {
    _exit(126);
  }
  if (options.beforeExec) options.beforeExec();
  execv(exe.c_str(), argv.data());
  _exit(127);
}

BackgroundRun::~BackgroundRun() {
  Kill(SIGKILL);
  Wait();
}

bool BackgroundRun::Running() {
  if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

void BackgroundRun::Kill(int signal) {
  if (!reaped_) kill(pid_, signal);
}

bool BackgroundRun::Stop() {
  if (reaped_) return false;
  kill(pid_, SIGSTOP);
  int status = 0;
  while (waitpid(pid_, &status, WUNTRACED) == -1 && errno == EINTR) {
  }
  if (WIFSTOPPED(status)) return true;
  status_ = status;
  reaped_ = true;
  return false;
}

void BackgroundRun::Continue() {
  if (!reaped_) kill(pid_, SIGCONT);
}

RunResult BackgroundRun::Wait() {
  while (!reaped_ && (waitpid(pid_, &status_, 0) == pid_ || errno != EINTR)) reaped_ = true;
  RunResult result;
  if (WIFEXITED(status_)) result.exitCode = WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) result.signal = WTERMSIG(status_);
  if (FileExists(logDir_ + "/stdout")) result.out = ReadBytes(logDir_ + "/stdout");
  if (FileExists(logDir_ + "/stderr")) result.err = ReadBytes(logDir_ + "/stderr");
  return result;
}

std::string UniqueName(const std::string& prefix) {
  static std::atomic<int> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(now % 1000000) + "_" +
         std::to_string(counter++);
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  switch (info.param) {
    case Backend::Sqlite:
      return "Sqlite";
    case Backend::Postgres:
      return "Postgres";
    case Backend::Maria:
      return "Maria";
    case Backend::SqliteNative:
      return "SqliteNative";
    default:
      return "PostgresNative";
  }
}

void StaffRunTest::SetUp() {
  if (OnPostgres()) QJ_REQUIRE_PG_OR_SKIP(pg);
  if (OnMaria()) QJ_REQUIRE_MARIA_OR_SKIP(maria);
  if (OnPostgres() || OnMaria()) suffix_ = "_" + UniqueName("e2e");
  const std::string sql =
      "CREATE TABLE " + T("staff") +
      " (firm CHAR(4) NOT NULL, nr INTEGER NOT NULL, name VARCHAR(20), rate DOUBLE PRECISION, since DATE);\n"
      "INSERT INTO " + T("staff") + " VALUES ('0100', 7, 'Müller', 12.5, '2024-03-01'),"
      " ('0100', 12, 'äbersold', 1234.75, '2019-11-30'), ('0200', 3, 'MEIER', 8, '2023-12-24'),"
      " ('0200', 41, 'Özkan', -0.25, NULL), ('0300', 5, 'zander', NULL, '2026-01-15');\n"
      "CREATE TABLE " + T("terminal_firm") + " (terminal VARCHAR(10) NOT NULL, firm CHAR(4) NOT NULL);\n"
      "INSERT INTO " + T("terminal_firm") + " VALUES ('T1', '0100'), ('T1', '0200'), ('T1', '0300'), ('T2', '0200');\n";
  if (OnPostgres()) {
    PgExec(pg, "SET client_encoding = 'UTF8';\n" + sql);
  } else if (OnMaria()) {
    MariaExec(maria, sql);
  } else {
    SqliteExec(install.DbFile(), sql);
  }
  install.WriteConvertedIni(ConnectionString(), User(), Password());
}

void StaffRunTest::TearDown() {
  if (suffix_.empty()) return;
  const std::string drop = "DROP TABLE IF EXISTS " + T("staff") + ", " + T("terminal_firm") + ";";
  OnPostgres() ? PgExec(pg, drop) : MariaExec(maria, drop);
}

std::string StaffRunTest::ConnectionString() const {
  if (OnNative()) return OnPostgres() ? pg.Uri() : "file:" + install.DbFile();
  return OnPostgres() ? pg.ConnectionString() : OnMaria() ? maria.ConnectionString()
                                                          : SqliteConnectionString(install.DbFile());
}

std::string StaffRunTest::User() const { return OnPostgres() ? pg.user : OnMaria() ? maria.user : "qjuser"; }

std::string StaffRunTest::Password() const {
  return OnPostgres() ? pg.password : OnMaria() ? maria.password : "geheim";
}

std::string StaffRunTest::CompanySection() const {
  return IniSection("GETFIR1", {"SELECT firm FROM " + T("terminal_firm"), "WHERE terminal = '$parm01' ORDER BY firm"},
                    {{1, "FIRM", "CHAR", "4"}});
}

}  // namespace qjtest
