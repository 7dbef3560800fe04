#include "extract/output_file.h"

#include <cstdlib>

#include "dbconn/set_db_usr.h"
#include "driver/console.h"
#include "driver/result_codes.h"
#include "driver/run_context.h"
#include "extract/download_file.h"
#include "extract/record_format.h"
#include "extract/sort_lines.h"
#include "platform/collation.h"
#include "platform/executable_path.h"
#include "platform/locale_env.h"
#include "querydef/query_definition.h"

namespace qj {

void AddRecordLine() {
  if (!ctx.OutputLines) ctx.OutputLines = std::make_shared<LineList>();
  ctx.OutputLines->Add(ctx.RecordLine);
}

void SortOutputLines() {
  if (!ctx.OutputLines || ctx.OutputLines->size() < 2) return;
  const Collation collation(LocaleForCategory(LocaleCategory::Collate));
  SortLines(*ctx.OutputLines, collation);
}

namespace {

constexpr size_t kReadAheadRecords = 16;

void PrefetchRecord(const LineList::Ref& line) {
  if (line.size == 0) return;
  __builtin_prefetch(line.data);
  __builtin_prefetch(line.data + line.size - 1);
}

// The cause of a failure, on one line of standard error beside the message
// on standard output.
void ReportCause(const DownloadFile& file) {
  Console::Err(FormatMessageText("qjsqlexe: Datei %s: %s\n", {ctx.TargetFile, file.Failure()}));
}

// A termination signal held back during the write: the old content is back,
// the run ends as the signal would have ended it.
[[noreturn]] void EndBySignal(int signal) {
  Console::Flush();
  std::_Exit(kExitSignalBase + signal);
}

}  // namespace

void WriteFile() {
  // Every row is formatted by now: the count of cut values is complete.
  ReportCutValueCount();
  Trace("Str WriteFile\n");
  if (ctx.OutputLines && !ctx.OutputLines->empty()) {
    DownloadFile file;
    // The run's own input files are never written, whatever path the target
    // takes to them.
    const std::string convertedIni = ConvertedIniPath(ctx.TargetFile);
    const std::string queryIni = QueryIniPath(ExecutablePath(), ctx.DbSys);
    file.NeverWrite(convertedIni,
                    FormatMessageText("ist die konvertierte Ini-Datei %s und wird nie beschrieben", {convertedIni}));
    file.NeverWrite(queryIni,
                    FormatMessageText("ist die Abfragedefinitionsdatei %s und wird nie beschrieben", {queryIni}));
    if (!file.Open(ctx.TargetFile, ctx.ReplaceFlag == "1" ? WriteMode::Replace : WriteMode::Append)) {
      Print("Datei konnte nicht erstellt werden:\n%s\n", {ctx.TargetFile});
      ReportCause(file);
      ctx.DownloadNotWritten = true;
    } else {
      bool written = true;
      const std::vector<LineList::Ref>& lines = ctx.OutputLines->Refs();
      for (size_t i = 0; i < lines.size(); ++i) {
        // Sorted, the records are read all over the memory they were added
        // to: ask for those a few places ahead while this one is copied.
        if (i + kReadAheadRecords < lines.size()) PrefetchRecord(lines[i + kReadAheadRecords]);
        if (!file.Write(lines[i].View())) {
          written = false;
          break;
        }
      }
      written = file.Close() && written;
      if (!written) {
        Print("Datei konnte nicht geschrieben werden:\n%s\n", {ctx.TargetFile});
        ReportCause(file);
        ctx.DownloadNotWritten = true;
        if (file.Interrupted() != 0) EndBySignal(file.Interrupted());
      }
    }
  }
  Trace("End WriteFile\n");
}

}  // namespace qj
