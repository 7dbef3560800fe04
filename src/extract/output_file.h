#pragma once

namespace qj {

// Appends RecordLine to OutputLines.
void AddRecordLine();

// Sorts OutputLines by the locale's case-insensitive collation (LC_COLLATE).
void SortOutputLines();

// Writes OutputLines to the target file, replacing or appending. With no
// lines the file is not touched. When the file cannot be created or written,
// the message goes to standard output, the old content stays intact and
// DownloadNotWritten is set.
void WriteFile();

}  // namespace qj
