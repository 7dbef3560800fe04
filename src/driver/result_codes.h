#pragma once
// Every result code of the tool: the exit codes of the process and the codes
// the steps hand each other inside a run.

namespace qj {

// Exit codes of the process.
enum ExitCode : int {
  kExitDone = 0,
  kExitArgumentCount = 1,
  kExitReplaceFlag = 2,
  kExitAbnormalEnd = 3,
  kExitSectionDisabled = 4,
  kExitDbParameterMissing = 5,
  kExitStatementRejected = 6,
  kExitDownloadNotWritten = 7,
  // Console output could not be written; the download file is as the run left it.
  kExitConsoleNotWritten = 8,
  // The connection to the database could not be opened: no statement ran.
  // A batch job may try again later, unlike after a rejected statement.
  kExitConnectionFailed = 9,
  // The layout check found a problem.
  kExitLayoutProblem = 10,
  kExitConvertedIniMissing = 99,
  // A termination signal ended the run: this base plus the signal number.
  kExitSignalBase = 128,
};

// Codes inside a run that never reach the process's exit code.
enum StepCode : int {
  kNoRow = 23,      // the query has no (further) row
  kNoCompany = 96,  // the company statement gave no company
};

}  // namespace qj
