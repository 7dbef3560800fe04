#include "platform/process_setup.h"

#include <clocale>

namespace qj {

void PrepareProcess() { std::setlocale(LC_CTYPE, "C.UTF-8"); }

}  // namespace qj
