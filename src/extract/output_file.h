#pragma once

namespace qj {

// Appends RecordLine to OutputLines. Reads ctx.RecordLine; writes ctx.OutputLines.
void AddRecordLine();

// Sorts OutputLines by the locale's case-insensitive collation (LC_COLLATE).
// Reads and writes ctx.OutputLines.
void SortOutputLines();

// Writes OutputLines to the target file, replacing or appending. With no
// lines the file is not touched. When the file cannot be created or written,
// the message goes to standard output, the old content stays intact and
// DownloadNotWritten is set. A target that is the converted ini file or the
// query definition file of the run (also through a link) is refused so.
// Reads ctx.OutputLines, ctx.TargetFile, ctx.ReplaceFlag, ctx.CutValues, ctx.DbSys;
// writes ctx.DownloadNotWritten.
void WriteFile();

}  // namespace qj
