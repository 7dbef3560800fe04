// PENDING: placeholder body until this step is implemented.
#include "dbconn/data_module.h"

namespace qj {

EDatabaseError::EDatabaseError(const std::string& m, std::vector<DiagnosticRecord> r) : std::runtime_error(m), records_(std::move(r)) {}
class OdbcConnection {};
class OdbcStatement {};
TDatabase::TDatabase() {}
TDatabase::~TDatabase() {}
TQuery::TQuery(TDatabase& d) : database_(d) {}
TQuery::~TQuery() {}
Tdm1::Tdm1() : Qry1(VELMORANT) {}
Tdm1::~Tdm1() {}

}  // namespace qj
