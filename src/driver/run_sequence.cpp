#include "driver/run_sequence.h"

#include "dbconn/data_module.h"
#include "dbconn/set_db_usr.h"
#include "driver/console.h"
#include "driver/console_texts.h"
#include "driver/layout_check.h"
#include "driver/run_context.h"
#include "extract/company_query.h"
#include "extract/format_beside.h"
#include "extract/line_list.h"
#include "extract/output_file.h"
#include "extract/query_exec.h"
#include "extract/record_format.h"
#include "platform/locale_env.h"
#include "platform/process_setup.h"
#include "platform/text_encoding.h"
#include "platform/text_util.h"
#include "querydef/company_list.h"
#include "querydef/query_definition.h"

namespace qj {

namespace {

std::string ArgumentAt(const std::vector<std::string>& args, size_t index) {
  return index < args.size() ? args[index] : std::string();
}

bool IsTraceSwitch(std::string word) {
  UpperCaseAscii(word);
  return word == "/D";
}

// Sort keys of finished records computed while the engine fetches. Through
// ODBC the fetch takes a core of its own and the drivers take dozens of locks
// per row (SQLite's about 39 pairs): a third thread for the keys made such a
// run slower, so there the thread that formats the records beside the fetch
// (format_beside.h) computes their keys as it adds them.
void SortKeysBesideTheFetch() {
  const KeysThread where = ctx.dm1->VELMORANT.Kind() == EngineKind::Odbc ? KeysThread::HandingOver : KeysThread::Own;
  ctx.OutputLines->ComputeSortKeysBeside(LocaleForCategory(LocaleCategory::Collate), kSortKeysBesideLines, where);
}

// One row pass: run the working statement and turn every row into a record.
// A long pass formats its records on a second thread from some rows on; the
// copy of a row there reads Qry1 as FormatRecord does, so only with that step.
void RowPass(const RunSteps& steps) {
  ctx.ResultCode = steps.ReadFirst(ctx.TerminalName);
  Trace("Str ReadNext Schleife\n");
  const bool besideAllowed = steps.FormatRecord == &FormatRecord;
  for (int records = 0; ctx.ResultCode == 0; ++records) {
    if (besideAllowed && records == kFormatBesideRecords && FormatPassBeside(steps.ReadNext, steps.AddRecordLine)) {
      break;
    }
    steps.FormatRecord();
    steps.AddRecordLine();
    ++ctx.RecordCount;
    ctx.ResultCode = steps.ReadNext();
  }
  Trace("End ReadNext Schleife\n");
}

}  // namespace

std::string StatementWord(const std::string& word, const char* what) {
  size_t replaced = 0;
  std::string converted = WordAsCp1252(word, replaced);
  if (replaced > 0) {
    Console::Err(
        FormatMessageText("qjsqlexe: Warnung: %s: %i Zeichen ohne Windows-1252-Entsprechung durch '?' ersetzt\n",
                          {what, static_cast<int64_t>(replaced)}));
  }
  return converted;
}

RunSteps DefaultRunSteps() {
  return RunSteps{&SetDbUsr,   &ReadCompanyList, &ResetDefinitions, &GetIniValues,
                  &SubstituteCompany, &ReadFirst, &ReadNext,        &FormatRecord,
                  &AddRecordLine,     &SortOutputLines, &WriteFile};
}

int CheckParm() {
  Trace("Str CheckParm\n");
  if (ctx.ArgumentCount < 4) {
    ShowErrorFrame({"Falsche Anzahl Parameter\n"});
    return kExitArgumentCount;
  }
  if (ctx.ReplaceFlag != "0" && ctx.ReplaceFlag != "1") {
    ShowErrorFrame({"Falsches ReplaceFlag Erlaubt: '0' oder '1'\n"});
    return kExitReplaceFlag;
  }
  Trace("End CheckParm\n");
  return 0;
}

int RunSequence(const std::vector<std::string>& args, const RunSteps& steps) {
  ctx.CompanyCursor = 0;
  ctx.dm1 = std::make_shared<Tdm1>();
  ctx.OutputLines = std::make_shared<LineList>();

  ctx.ArgumentCount = static_cast<int32_t>(args.size());
  ctx.SectionName = StatementWord(ArgumentAt(args, 0), "Sektionsname");
  ctx.TerminalName = StatementWord(ArgumentAt(args, 1), "Terminalname");
  // The file system takes the name as the terminal gave it.
  ctx.TargetFile = ArgumentAt(args, 2);
  ctx.ReplaceFlag = ArgumentAt(args, 3);

  ctx.TraceMode = IsTraceSwitch(ArgumentAt(args, 4));
  Trace(" Aktiviert Debugger\n");

  ctx.ResultCode = CheckParm();
  if (ctx.ResultCode != 0) return ctx.ResultCode;

  ctx.ResultCode = steps.SetDbUsr();
  if (ctx.ResultCode != 0) return ctx.ResultCode;
  LoadQueryIni();

  // The company list's result is stored and not tested: a run without
  // companies goes on with an empty list.
  ctx.ResultCode = steps.ReadCompanyList();

  steps.ResetDefinitions();
  ctx.ResultCode = steps.GetIniValues(ctx.SectionName);
  if (ctx.ResultCode != 0) return ctx.ResultCode;

  steps.SubstituteCompany();
  ctx.RecordCount = 0;
  SortKeysBesideTheFetch();
  // Only the requested section's statements decide exit code 6.
  ctx.StatementRejected = false;

  if (ctx.CompanyPlaceholderFound) {
    for (int32_t companyIndex = 1; companyIndex <= ctx.CompanyCount; ++companyIndex) {
      RowPass(steps);
      steps.SubstituteCompany();
    }
  } else {
    RowPass(steps);
  }

  steps.SortOutputLines();
  steps.WriteFile();

  Print("%i Saetze kopiert in Datei %s \n", {ctx.RecordCount, ctx.TargetFile});

  if (ctx.DownloadNotWritten) return kExitDownloadNotWritten;
  if (ctx.ConnectionFailed) return kExitConnectionFailed;
  if (ctx.StatementRejected) return kExitStatementRejected;
  return kExitDone;
}

int RunMain(int argc, char** argv) {
  PrepareProcess();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // Only as the one word: any other command line keeps its meaning.
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version")) {
    args[0] == "--help" ? ShowHelp() : ShowVersion();
    Console::Flush();
    return kExitDone;
  }
  // The layout check takes exactly its three words; any other command line
  // starting with "--check" stays a run, as it was.
  if (args.size() == 4 && args[0] == "--check") {
    const int code = LayoutCheck(args[1], args[2], args[3]);
    Console::Flush();
    return code;
  }
  if (!args.empty() && args[0] == "--check") {
    ErrorLine("--check verlangt genau Sektionsname Terminalname Zieldatei; die Befehlszeile laeuft als Download");
  }
  const int code = RunSequence(args);
  Console::Flush();
  return code;
}

}  // namespace qj
