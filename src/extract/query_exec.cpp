// PENDING: placeholder body until this step is implemented.
#include "extract/query_exec.h"

namespace qj {

int ReadFirst(const std::string&) { return 23; }
int ReadNext() { return 23; }

}  // namespace qj
