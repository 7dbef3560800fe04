#include "support/odbc_env.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "support/test_support.h"

namespace qjtest {

namespace {

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string(fallback);
}

// A test server from prefix_HOST, _PORT, _USER, _PASSWORD and _DB.
template <typename Server>
Server ServerFromEnv(const std::string& prefix) {
  Server s;
  s.host = EnvOr((prefix + "_HOST").c_str(), "127.0.0.1");
  s.port = EnvOr((prefix + "_PORT").c_str(), "");
  s.user = EnvOr((prefix + "_USER").c_str(), "qjtest");
  s.password = EnvOr((prefix + "_PASSWORD").c_str(), "");
  s.database = EnvOr((prefix + "_DB").c_str(), "qjtest");
  return s;
}

// The MariaDB Connector/ODBC library as the odbc-mariadb package installed it.
std::string MariaDbDriverPath() {
  for (const char* list : {"/var/lib/dpkg/info/odbc-mariadb:amd64.list", "/var/lib/dpkg/info/odbc-mariadb.list",
                           "/var/lib/dpkg/info/odbc-mariadb:arm64.list"}) {
    std::ifstream lines(list);
    for (std::string line; std::getline(lines, line);) {
      if (line.size() > 13 && line.compare(line.size() - 13, 13, "/libmaodbc.so") == 0) return line;
    }
  }
  return "libmaodbc.so";
}

}  // namespace

const std::string& OdbcSysIniDir() {
  static TempDir* dir = [] {
    auto* d = new TempDir();  // lives until the test process ends
    WriteBytes(d->File("odbcinst.ini"),
               "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=libsqlite3odbc.so\n\n"
               "[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode)\n"
               "Driver=psqlodbcw.so\n\n"
               "[MariaDB Unicode]\nDescription=MariaDB Connector/ODBC\nDriver=" +
                   MariaDbDriverPath() + "\n\n");
    WriteBytes(d->File("odbc.ini"), "");
    return d;
  }();
  return dir->path();
}

void UseTestOdbcConfig() {
  setenv("ODBCSYSINI", OdbcSysIniDir().c_str(), 1);
  setenv("ODBCINI", (OdbcSysIniDir() + "/odbc.ini").c_str(), 1);
}

std::map<std::string, std::string> OdbcEnv() {
  return {{"ODBCSYSINI", OdbcSysIniDir()}, {"ODBCINI", OdbcSysIniDir() + "/odbc.ini"}};
}

void AddTestDsn(const std::string& name, const std::map<std::string, std::string>& attributes) {
  const std::string path = OdbcSysIniDir() + "/odbc.ini";
  std::string text = ReadBytes(path);
  text += "[" + name + "]\n";
  for (const auto& [key, value] : attributes) text += key + "=" + value + "\n";
  WriteBytes(path, text + "\n");
}

std::string SqliteConnectionString(const std::string& dbFile) {
  return "DRIVER=SQLite3;Database=" + dbFile + ";NoCreat=1;StepAPI=1";
}

std::string PgServer::ConnectionString() const {
  return "DRIVER={PostgreSQL Unicode};Server=" + host + ";Port=" + port + ";Database=" + database;
}

std::string PgServer::Uri() const { return "postgresql://" + host + ":" + port + "/" + database; }

PgServer TestPgServer() { return ServerFromEnv<PgServer>("QJ_PG"); }

std::string MariaServer::ConnectionString() const {
  return "DRIVER={MariaDB Unicode};Server=" + host + ";Port=" + port + ";Database=" + database;
}

MariaServer TestMariaServer() { return ServerFromEnv<MariaServer>("QJ_MARIA"); }

void MariaExec(const MariaServer& server, const std::string& sql) {
  RunOptions options;
  options.executable = "/usr/bin/mariadb";
  options.env["MYSQL_PWD"] = server.password;
  TempDir tmp;
  WriteBytes(tmp.File("in.sql"), sql);
  RunResult r = RunProgram({"--no-defaults", "--default-character-set=utf8mb4", "-h", server.host, "-P", server.port,
                            "-u", server.user, server.database, "-e", "source " + tmp.File("in.sql")},
                           options);
  if (r.exitCode != 0) throw std::runtime_error("mariadb failed: " + r.err);
}

void SqliteExec(const std::string& dbFile, const std::string& sql) {
  RunOptions options;
  options.executable = "/usr/bin/sqlite3";
  TempDir tmp;
  WriteBytes(tmp.File("in.sql"), sql);
  RunResult r = RunProgram({dbFile, ".read " + tmp.File("in.sql")}, options);
  if (r.exitCode != 0) throw std::runtime_error("sqlite3 failed: " + r.err);
}

void PgExec(const PgServer& server, const std::string& sql) {
  RunOptions options;
  options.executable = "/usr/bin/psql";
  options.env["PGPASSWORD"] = server.password;
  TempDir tmp;
  WriteBytes(tmp.File("in.sql"), sql);
  RunResult r = RunProgram({"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", server.host, "-p", server.port, "-U",
                            server.user, "-d", server.database, "-f", tmp.File("in.sql")},
                           options);
  if (r.exitCode != 0) throw std::runtime_error("psql failed: " + r.err);
}

}  // namespace qjtest
