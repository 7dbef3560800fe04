#include "dbconn/native_engines.h"
#include "dbconn/odbc_adapter.h"
#include "dbconn/odbc_engine.h"
#include "platform/text_util.h"

namespace qj {

EngineKind EngineKindOf(std::string_view dataSource) {
  if (StartsWith(dataSource, "file:")) return EngineKind::Sqlite;
  if (StartsWith(dataSource, "postgresql://") || StartsWith(dataSource, "postgres://")) return EngineKind::Postgres;
  return EngineKind::Odbc;
}

const char* EngineName(EngineKind kind) {
  switch (kind) {
    case EngineKind::Sqlite:
      return "SQLite (libsqlite3)";
    case EngineKind::Postgres:
      return "PostgreSQL (libpq)";
    default:
      return "ODBC";
  }
}

std::unique_ptr<EngineConnection> ConnectEngine(const ConnectTarget& target) {
  switch (EngineKindOf(target.dataSource)) {
    case EngineKind::Sqlite:
      return ConnectSqlite(target);
    case EngineKind::Postgres:
      return ConnectPostgres(target);
    default:
      return ConnectOdbc(target);
  }
}

}  // namespace qj
