#include "platform/directory_separators.h"

namespace qj {

const char* DirectorySeparators() { return "\\:"; }

// The query definition file lies beside the executable only.
const char* SystemConfigDirectory() { return ""; }

}  // namespace qj
