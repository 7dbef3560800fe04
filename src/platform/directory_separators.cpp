#include "platform/directory_separators.h"

namespace qj {

const char* DirectorySeparators() { return "/"; }

const char* SystemConfigDirectory() { return "/etc/qjsqlexe/"; }

}  // namespace qj
