// PENDING: placeholder body until this step is implemented.
#include "dbconn/converted_ini.h"

namespace qj {

ConvertedRecord FindConvertedRecord(std::string_view, std::string_view, std::string_view, int32_t) { return {}; }
void LookupConvertedValue(const std::string&, const std::string&, int32_t, const std::string&) {}

}  // namespace qj
