// PENDING: placeholder body until this step is implemented.
#include "extract/output_file.h"

namespace qj {

void AddRecordLine() {}
void SortOutputLines() {}
void WriteFile() {}

}  // namespace qj
