#pragma once

namespace qj {

// Appends RecordLine to OutputLines.
void AddRecordLine();

// Sorts OutputLines by the locale's case-insensitive collation.
void SortOutputLines();

// Writes OutputLines to the target file, replacing or appending.
void WriteFile();

}  // namespace qj
