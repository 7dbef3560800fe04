#include "platform/collation_table.h"

namespace qj {

// The Windows collation is the system's, not ICU's: lines are always sorted
// by its own sort keys.
std::unique_ptr<CollationTable> CollationTable::Build(const UCollator*) { return nullptr; }

}  // namespace qj
