// PENDING: placeholder body until this step is implemented.
#include "querydef/query_definition.h"

namespace qj {

std::string QueryIniPath(const std::string&, const std::string&) { return {}; }
void ResetDefinitions() {}
int GetIniValues(const std::string&) { return 0; }

}  // namespace qj
