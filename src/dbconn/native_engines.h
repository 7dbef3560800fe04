#pragma once
// The engines that reach SQLite and PostgreSQL through their own client
// libraries. Both run every statement read-only. The Windows build has
// neither: there opening one fails as a connection error naming that.

#include <memory>

#include "dbconn/engine.h"

namespace qj {

// The SQLite database of the URI filename ("file:/data/dnl.db"), opened
// read-only; it must exist.
std::unique_ptr<EngineConnection> ConnectSqlite(const ConnectTarget& target);

// The PostgreSQL database of the libpq URI; a non-empty user or password of
// the target wins over the URI's own.
std::unique_ptr<EngineConnection> ConnectPostgres(const ConnectTarget& target);

}  // namespace qj
