#pragma once
// The run sequence: the fixed order of the steps of one run, its two loop
// shapes.

#include <string>
#include <vector>

#include "driver/result_codes.h"

namespace qj {

// The steps the run sequence calls after CheckParm. Tests replace single steps
// with doubles; a run uses DefaultRunSteps().
struct RunSteps {
  int (*SetDbUsr)();
  int (*ReadCompanyList)();
  void (*ResetDefinitions)();
  int (*GetIniValues)(const std::string& sectionName);
  void (*SubstituteCompany)();
  int (*ReadFirst)(const std::string& terminal);
  int (*ReadNext)();
  void (*FormatRecord)();
  void (*AddRecordLine)();
  void (*SortOutputLines)();
  void (*WriteFile)();
};

RunSteps DefaultRunSteps();

// A command-line word that goes into the statement or names a section, as
// the Windows-1252 text the files and the database hold; characters without
// a Windows-1252 form become "?" with a warning naming the word (`what`).
std::string StatementWord(const std::string& word, const char* what);

// Checks the argument count and the replace flag. Returns 0, 1 or 2.
// Reads ctx.ArgumentCount, ctx.ReplaceFlag.
int CheckParm();

// One run over the argument words after the program name. Returns the exit code.
// Writes ctx.ArgumentCount, ctx.SectionName, ctx.TerminalName, ctx.TargetFile,
// ctx.ReplaceFlag, ctx.TraceMode, ctx.dm1, ctx.CompanyCursor; reads and
// writes ctx.ResultCode, ctx.StatementRejected, ctx.RecordCount; reads
// ctx.CompanyCount, ctx.CompanyPlaceholderFound, ctx.DownloadNotWritten.
int RunSequence(const std::vector<std::string>& args, const RunSteps& steps = DefaultRunSteps());

// The process entry behind main: prepares the process and runs the sequence.
int RunMain(int argc, char** argv);

}  // namespace qj
