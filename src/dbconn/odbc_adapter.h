#pragma once
// The ODBC connection and statement behind the engine interface.

#include <memory>

#include "dbconn/engine.h"

namespace qj {

std::unique_ptr<EngineConnection> ConnectOdbc(const ConnectTarget& target);

}  // namespace qj
