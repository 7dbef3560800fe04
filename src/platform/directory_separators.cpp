#include "platform/directory_separators.h"

namespace qj {

const char* DirectorySeparators() { return "/"; }

}  // namespace qj
