#pragma once
// The ODBC configuration the tests use: an ODBCSYSINI directory of their own
// (Debian's system file turns on psqlODBC's CommLog), and the PostgreSQL
// and MariaDB servers that scripts/test.sh starts on loopback.

#include <map>
#include <string>

namespace qjtest {

// A directory with odbcinst.ini naming the drivers "SQLite3",
// "PostgreSQL Unicode" and "MariaDB Unicode" and an empty odbc.ini; created once per test process.
const std::string& OdbcSysIniDir();

// Sets ODBCSYSINI (and ODBCINI) in this process, for in-process engine tests.
void UseTestOdbcConfig();

// The environment entries a child run needs for the test ODBC configuration.
std::map<std::string, std::string> OdbcEnv();

// Adds a data source to the test odbc.ini: "[name]" and one "key=value" line
// per attribute (e.g. Driver, Database).
void AddTestDsn(const std::string& name, const std::map<std::string, std::string>& attributes);

// A DSN-less connection string for an SQLite database file.
std::string SqliteConnectionString(const std::string& dbFile);

// The PostgreSQL server of the test run, from QJ_PG_HOST, QJ_PG_PORT, QJ_PG_USER,
// QJ_PG_PASSWORD and QJ_PG_DB. Available() is false when they are not set.
struct PgServer {
  std::string host, port, user, password, database;
  bool Available() const { return !port.empty(); }
  // A DSN-less connection string through "PostgreSQL Unicode" (without UID/PWD).
  std::string ConnectionString() const;
  // The libpq URI of the database (without user and password).
  std::string Uri() const;
};
PgServer TestPgServer();

// Skips the calling test when no PostgreSQL server is configured, unless
// QJ_REQUIRE_PG is set, in which case the test fails instead.
#define QJ_REQUIRE_PG_OR_SKIP(server)                                               \
  do {                                                                              \
    if (!(server).Available()) {                                                    \
      if (std::getenv("QJ_REQUIRE_PG") != nullptr) FAIL() << "PostgreSQL required"; \
      GTEST_SKIP() << "no PostgreSQL server configured";                            \
    }                                                                               \
  } while (0)

// The MariaDB server of the test run, from QJ_MARIA_HOST, QJ_MARIA_PORT,
// QJ_MARIA_USER, QJ_MARIA_PASSWORD and QJ_MARIA_DB.
struct MariaServer {
  std::string host, port, user, password, database;
  bool Available() const { return !port.empty(); }
  // A DSN-less connection string through "MariaDB Unicode" (without UID/PWD).
  std::string ConnectionString() const;
};
MariaServer TestMariaServer();

// As QJ_REQUIRE_PG_OR_SKIP, for MariaDB and QJ_REQUIRE_MARIA. (Under
// AddressSanitizer, tests/support/asan_suppressions.txt names the strlen of
// MariaDB Connector/ODBC 3.1 past its own heap buffers in SQLFetch.)
#define QJ_REQUIRE_MARIA_OR_SKIP(server)                                               \
  do {                                                                                 \
    if (!(server).Available()) {                                                       \
      if (std::getenv("QJ_REQUIRE_MARIA") != nullptr) FAIL() << "MariaDB required";    \
      GTEST_SKIP() << "no MariaDB server configured";                                  \
    }                                                                                  \
  } while (0)

// Runs SQL against the test MariaDB database with the mariadb client.
void MariaExec(const MariaServer& server, const std::string& sql);

// Runs SQL against an SQLite database file with the sqlite3 shell.
void SqliteExec(const std::string& dbFile, const std::string& sql);

// Runs SQL against the test PostgreSQL database with psql.
void PgExec(const PgServer& server, const std::string& sql);

}  // namespace qjtest
