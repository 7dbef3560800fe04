// PENDING: placeholder body until this step is implemented.
#include "extract/value_text.h"

namespace qj {

void AppendValueText(const ColumnValue&, std::string&) {}
std::string ValueText(const ColumnValue&) { return {}; }

}  // namespace qj
