#include "dbconn/db_error.h"
#include "dbconn/native_engines.h"

namespace qj {

namespace {

[[noreturn]] void Unavailable(const char* what) {
  throw EConnectionError(std::vector<DiagnosticRecord>{
      {"08001", 0, std::string("Die Windows-Version erreicht ") + what +
                       " nur ueber ODBC: DATABASE muss eine ODBC-Datenquelle oder Verbindungszeichenfolge sein"}});
}

}  // namespace

std::unique_ptr<EngineConnection> ConnectSqlite(const ConnectTarget&) { Unavailable("SQLite-Dateien (file:)"); }

std::unique_ptr<EngineConnection> ConnectPostgres(const ConnectTarget&) {
  Unavailable("PostgreSQL-Adressen (postgresql://)");
}

}  // namespace qj
