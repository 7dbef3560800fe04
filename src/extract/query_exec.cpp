#include "extract/query_exec.h"

#include "dbconn/connect_login.h"
#include "dbconn/data_module.h"
#include "dbconn/db_error.h"
#include "driver/console.h"
#include "driver/database_text.h"
#include "driver/result_codes.h"
#include "driver/run_context.h"
#include "platform/pause.h"
#include "querydef/placeholder.h"

namespace qj {

namespace {

constexpr int kPauseMilliseconds = 100;

// A trace line followed by the trace pause.
void TraceStep(std::string_view line) {
  if (!ctx.TraceMode) return;
  Print(line);
  PauseMilliseconds(kPauseMilliseconds);
}

// The engine's message on one line of standard error, so that it stays
// where standard output goes nowhere.
void ErrLine(const std::string& text, const EDatabaseError& error) {
  ErrorLine(text + ": " + DatabaseText(error.what()));
}

// The report of an engine error: the step, the statement as the query holds
// it (ending in CR LF) and the engine's message. A connection that cannot be
// opened is named once a run with its data source, passwords masked; every
// other failure is a rejected statement.
void ReportEngineError(std::string_view step, const EDatabaseError& error) {
  if (dynamic_cast<const EConnectionError*>(&error) != nullptr) {
    if (!ctx.ConnectionFailed) {
      ErrLine("Verbindung zur Datenquelle '" + DatabaseText(MaskedConnectionString(ctx.dm1->VELMORANT.AliasName)) +
                  "' nicht moeglich",
              error);
    }
    ctx.ConnectionFailed = true;
  } else {
    ctx.StatementRejected = true;
    // An empty statement comes from a section that is not there: the section
    // load names that for the requested section, and a missing company
    // section is part of the company rules.
    if (ctx.dm1->Qry1.StatementText().find_first_not_of(' ') != std::string::npos) {
      ErrLine("Anweisung abgelehnt (DB " + std::string(step) + ")", error);
    }
  }
  Print("Exception bei DB %s\n%s%s\n\n", {step, DatabaseText(ctx.dm1->Qry1.Text()), DatabaseText(error.what())});
}

}  // namespace

int ReadFirst(const std::string& terminal) {
  TQuery& query = ctx.dm1->Qry1;

  TraceStep("Str ReadFirst\n");
  ReplacePlaceholder(ctx.WorkingStatement, kTerminalPlaceholder, terminal);
  const std::string& statement = ctx.WorkingStatement;
  if (ctx.TraceMode) {
    Print("  >>>>> Temp-SQL-Statement <<<<<\n");
    Print("  '%s'\n", {DatabaseText(statement)});
    PauseMilliseconds(kPauseMilliseconds);
  }

  TraceStep("  Datenbank Close\n");
  query.Close();
  TraceStep("  Datenbank SQL-Clear\n");
  query.ClearSql();
  TraceStep("  Datenbank AddSql\n");
  query.AddSql(statement);

  TraceStep("  Datenbank Prepare\n");
  try {
    if (!query.Prepared()) query.Prepare();
  } catch (const EDatabaseError& error) {
    ReportEngineError("Prepare", error);
    PauseMilliseconds(kPauseMilliseconds);
    return kNoRow;
  }

  TraceStep("  Datenbank Open\n");
  try {
    query.Open();
  } catch (const EDatabaseError& error) {
    ReportEngineError("Open", error);
    PauseMilliseconds(kPauseMilliseconds);
    return kNoRow;
  }

  TraceStep("  Datenbank FindFirst\n");
  try {
    ctx.RowFound = query.FindFirst();
  } catch (const EDatabaseError& error) {
    ReportEngineError("FindFirst", error);
  }

  TraceStep("End ReadFirst\n");
  return ctx.RowFound ? 0 : kNoRow;
}

int ReadNext() {
  ctx.RowFound = ctx.dm1->Qry1.FindNext();
  return ctx.RowFound ? 0 : kNoRow;
}

}  // namespace qj
