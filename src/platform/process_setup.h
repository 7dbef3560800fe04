#pragma once

namespace qj {

// Process-wide settings made once at start: LC_CTYPE "C.UTF-8" so that the
// driver manager converts Unicode correctly for drivers without wide entry
// points. Number and date texts never come from the C library's locale.
void PrepareProcess();

}  // namespace qj
