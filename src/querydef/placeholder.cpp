// PENDING: placeholder body until this step is implemented.
#include "querydef/placeholder.h"

namespace qj {

bool ReplacePlaceholder(std::string&, std::string_view, std::string_view) { return false; }

}  // namespace qj
