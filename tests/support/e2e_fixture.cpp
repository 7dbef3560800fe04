#include "support/e2e_fixture.h"

#include <dirent.h>
#include <fcntl.h>
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

extern char** environ;

namespace qjtest {

namespace {

std::string TwoDigits(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

std::string ThreeDigits(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%03d", n);
  return buffer;
}

}  // namespace

std::string IniSection(const std::string& name, const std::vector<std::string>& sqlLines,
                       const std::vector<FieldSpec>& fields) {
  std::string text = "[" + name + "]\n";
  for (size_t i = 0; i < sqlLines.size(); ++i) {
    text += "SQL" + ThreeDigits(static_cast<int>(i + 1)) + "=" + sqlLines[i] + "\n";
  }
  for (const auto& f : fields) {
    const std::string nn = TwoDigits(f.slot);
    text += "FELD" + nn + "=" + f.name + "\nFTYP" + nn + "=" + f.type + "\nFLEN" + nn + "=" + f.length + "\n";
  }
  return text + "\n";
}

std::string ConvertedIniText(const std::string& dbSys, const std::string& database,
                             const std::string& login, const std::string& password) {
  return "VELMORANT.INI;DATENBANK;System\n1;DB_SYSTEM;" + dbSys +
         "\nVELMORANT.INI;DATENBANK;Quelle\n2;DATABASE;" + database +
         "\nVELMORANT.INI;DATENBANK;Benutzer\n3;LOGIN;" + login +
         "\nVELMORANT.INI;DATENBANK;Kennwort\n4;PASS;" + password + "\n";
}

std::string ErrorFrame(const std::string& messageLines) {
  return "\n"
         "******************************************************\n"
         "** Copyright (c) 2026 the qjsqlexe authors          **\n"
         "** Projekt     : VELMORANT                          **\n"
         "** Tool        : QJSQLEXE                           **\n"
         "** Beschreibung:  Ausfuehren einer SQL-Anweisung    **\n"
         "**                und erstellen einer Downloaddatei **\n"
         "**                aus den Resultierenden Daten      **\n"
         "******************************************************\n"
         "\n" +
         messageLines +
         "\n"
         "Befehlsformat: \n"
         "QJSQLEXE.EXE Sektionsname Terminalname Zieldatei 0/1 \n"
         "\n"
         "Sektionsname = Name der Sektion in der Ini-Datei     \n"
         "Terminalname = Parameter fuer das SQL-Statement      \n"
         "Zieldatei    = Dateiname der Ausgabedatei            \n"
         "RepaceFlag   = 0 = Anhaengen, 1 = Ersetzen          \n"
         "\n"
         "Beispiel:\n"
         "QJSQLEXE.EXE QJDNL31P ZutCtrl qjdnl31p.txt 1\n"
         "\n";
}

std::string Cp1252(const std::string& utf8) { return qj::Utf8ToCp1252(utf8); }

E2eInstall::E2eInstall(std::string dbSys) : dbSys_(std::move(dbSys)) {
  if (mkdir(BinDir().c_str(), 0755) != 0 || mkdir(DnlDir().c_str(), 0755) != 0) {
    throw std::runtime_error("cannot lay out " + Root());
  }
  InstallBinary(BinDir());
}

void E2eInstall::WriteQueryIni(const std::string& bytes) const { WriteBytes(QueryIniPath(), bytes); }

void E2eInstall::WriteConvertedIni(const std::string& database, const std::string& login,
                                   const std::string& password) const {
  WriteBytes(ConvertedIniPath(), ConvertedIniText(dbSys_, database, login, password));
}

void E2eInstall::UseSqlite(const std::string& sql) const {
  SqliteExec(DbFile(), sql);
  WriteConvertedIni(SqliteConnectionString(DbFile()));
}

void E2eInstall::UsePostgres(const PgServer& server, const std::string& extraOptions) const {
  std::string connection = server.ConnectionString();
  if (!extraOptions.empty()) connection += ";" + extraOptions;
  WriteConvertedIni(connection, server.user, server.password);
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
  // The environment is built the same way as RunProgram's: this process's
  // environment without the locale variables, with the options on top.
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "LANG" || name == "LANGUAGE" || name.rfind("LC_", 0) == 0) continue;
    if (options.env.count(name) != 0) continue;
    if (std::find(options.unsetEnv.begin(), options.unsetEnv.end(), name) != options.unsetEnv.end()) continue;
    envStrings.push_back(entry);
  }
  for (const auto& [name, value] : options.env) envStrings.push_back(name + "=" + value);
  const std::string exe = options.executable.empty() ? BinaryPath() : options.executable;
  const std::string outPath = logDir + "/stdout";
  const std::string errPath = logDir + "/stderr";

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(126);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) _exit(126);
    if (options.beforeExec) options.beforeExec();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
}

BackgroundRun::~BackgroundRun() {
  if (!reaped_) {
    kill(pid_, SIGKILL);
    Wait();
  }
}

bool BackgroundRun::Running() {
  if (reaped_) return false;
  const pid_t r = waitpid(pid_, &status_, WNOHANG);
  if (r == pid_) reaped_ = true;
  return !reaped_;
}

void BackgroundRun::Kill(int signal) {
  if (!reaped_) kill(pid_, signal);
}

RunResult BackgroundRun::Wait() {
  while (!reaped_) {
    const pid_t r = waitpid(pid_, &status_, 0);
    if (r == pid_) reaped_ = true;
    if (r < 0 && errno != EINTR) break;
  }
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
  return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

std::string StaffTablesSql(const std::string& suffix) {
  return "CREATE TABLE staff" + suffix +
         " (firm CHAR(4) NOT NULL, nr INTEGER NOT NULL, name VARCHAR(20),"
         " rate DOUBLE PRECISION, since DATE);\n"
         "INSERT INTO staff" + suffix + " VALUES\n"
         " ('0100', 7, 'Müller', 12.5, '2024-03-01'),\n"
         " ('0100', 12, 'äbersold', 1234.75, '2019-11-30'),\n"
         " ('0200', 3, 'MEIER', 8, '2023-12-24'),\n"
         " ('0200', 41, 'Özkan', -0.25, NULL),\n"
         " ('0300', 5, 'zander', NULL, '2026-01-15');\n"
         "CREATE TABLE terminal_firm" + suffix + " (terminal VARCHAR(10) NOT NULL, firm CHAR(4) NOT NULL);\n"
         "INSERT INTO terminal_firm" + suffix + " VALUES ('T1', '0100'), ('T1', '0200'), ('T1', '0300'),"
         " ('T2', '0200');\n";
}

void StaffRunTest::SetUp() {
  if (!OnPostgres()) {
    install.UseSqlite(StaffTablesSql(""));
    return;
  }
  QJ_REQUIRE_PG_OR_SKIP(pg);
  suffix_ = "_" + UniqueName("e2e");
  PgExec(pg, "SET client_encoding = 'UTF8';\n" + StaffTablesSql(suffix_));
  created_ = true;
  install.UsePostgres(pg);
}

void StaffRunTest::TearDown() {
  if (created_) PgExec(pg, "DROP TABLE staff" + suffix_ + "; DROP TABLE terminal_firm" + suffix_ + ";");
}

std::string StaffRunTest::CompanySection() const {
  return IniSection("GETFIR1", {"SELECT firm FROM " + T("terminal_firm"), "WHERE terminal = '$parm01' ORDER BY firm"},
                    {{1, "FIRM", "CHAR", "4"}});
}

}  // namespace qjtest
