// PENDING: placeholder body until this step is implemented.
#include "extract/record_format.h"

namespace qj {

void FormatRecord() {}
void FormatField(std::string_view, int32_t, const std::string&) {}

}  // namespace qj
