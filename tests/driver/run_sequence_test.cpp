// The run sequence with its later steps replaced by doubles that record what
// they were asked to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/run_context.h"
#include "driver/run_sequence.h"
#include "extract/line_list.h"
#include "support/run_context_fixture.h"

namespace {

using qj::ctx;

// What the doubles see and answer.
struct Script {
  int setDbUsr = 0;
  int getIniValues = 0;
  int companies = 0;
  std::string templateText = " SELECT 1 ";
  int rowsPerPass = 2;
  int rejectPass = 0;  // 1-based pass whose statement the engine rejects
  bool writeFails = false;

  std::vector<std::string> calls;
  std::vector<std::string> statementsRun;
  int rowsLeft = 0;
  int passes = 0;
};
Script* s = nullptr;

int SetDbUsrDouble() {
  s->calls.push_back("SetDbUsr");
  return s->setDbUsr;
}
int ReadCompanyListDouble() {
  s->calls.push_back("ReadCompanyList");
  // A company statement that fails must not count for the exit code.
  ctx.StatementRejected = true;
  ctx.CompanyCount = s->companies;
  for (int i = 1; i <= s->companies; ++i) ctx.StoreCompanyAt(i, "F" + std::to_string(i));
  return s->companies > 0 ? 0 : 96;
}
void ResetDefinitionsDouble() { s->calls.push_back("ResetDefinitions"); }
int GetIniValuesDouble(const std::string& section) {
  s->calls.push_back("GetIniValues " + section);
  ctx.StatementTemplate = s->templateText;
  return s->getIniValues;
}
void SubstituteCompanyDouble() {
  ++ctx.CompanyCursor;
  ctx.WorkingStatement = ctx.StatementTemplate;
  const std::string value = ctx.CompanyAt(ctx.CompanyCursor);
  ctx.CompanyPlaceholderFound = false;
  const size_t at = ctx.WorkingStatement.find("$parm02");
  if (at != std::string::npos) {
    ctx.WorkingStatement.replace(at, 7, value);
    ctx.CompanyPlaceholderFound = true;
  }
}
int ReadFirstDouble(const std::string& terminal) {
  ++s->passes;
  s->calls.push_back("ReadFirst " + terminal);
  s->statementsRun.push_back(ctx.WorkingStatement);
  if (s->passes == s->rejectPass) {
    ctx.StatementRejected = true;
    return 23;
  }
  s->rowsLeft = s->rowsPerPass;
  return s->rowsLeft > 0 ? 0 : 23;
}
int ReadNextDouble() { return --s->rowsLeft > 0 ? 0 : 23; }
void FormatRecordDouble() { ctx.RecordLine = ctx.WorkingStatement + "#" + std::to_string(s->rowsLeft); }
void AddRecordLineDouble() { ctx.OutputLines->Add(ctx.RecordLine); }
void SortOutputLinesDouble() { s->calls.push_back("SortOutputLines"); }
void WriteFileDouble() {
  s->calls.push_back("WriteFile");
  if (s->writeFails) ctx.DownloadNotWritten = true;
}

const qj::RunSteps kDoubles{&SetDbUsrDouble,  &ReadCompanyListDouble, &ResetDefinitionsDouble,
                            &GetIniValuesDouble, &SubstituteCompanyDouble, &ReadFirstDouble,
                            &ReadNextDouble,  &FormatRecordDouble,   &AddRecordLineDouble,
                            &SortOutputLinesDouble, &WriteFileDouble};

class RunSequenceTest : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    s = &script;
    qj::Console::CaptureForTest(&out, &err);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    s = nullptr;
  }
  int Run(std::vector<std::string> args = {"SECT", "T1", "dnl/out.txt", "1"}) {
    return qj::RunSequence(args, kDoubles);
  }

  Script script;
  std::string out;
  std::string err;
};

TEST_F(RunSequenceTest, StatementWithoutCompanyPlaceholderRunsOncePerRun) {
  script.companies = 3;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(script.statementsRun, std::vector<std::string>{" SELECT 1 "});
  EXPECT_EQ(ctx.RecordCount, 2);
  EXPECT_EQ(ctx.OutputLines->size(), 2u);
  EXPECT_EQ(out, "2 Saetze kopiert in Datei dnl/out.txt \n");
  const std::vector<std::string> order{"SetDbUsr",   "ReadCompanyList", "ResetDefinitions", "GetIniValues SECT",
                                       "ReadFirst T1", "SortOutputLines", "WriteFile"};
  EXPECT_EQ(script.calls, order);
}

TEST_F(RunSequenceTest, CompanyLoopRunsOncePerCompanyInOrderAndCountsAllRecords) {
  script.companies = 3;
  script.templateText = " SELECT '$parm02' ";
  script.rowsPerPass = 4;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(script.statementsRun,
            (std::vector<std::string>{" SELECT 'F1' ", " SELECT 'F2' ", " SELECT 'F3' "}));
  // The call after the last pass reads the empty position beyond the list.
  EXPECT_EQ(ctx.CompanyCursor, 4);
  EXPECT_EQ(ctx.WorkingStatement, " SELECT '' ");
  EXPECT_EQ(ctx.RecordCount, 12);
  EXPECT_EQ(ctx.OutputLines->size(), 12u);
}

TEST_F(RunSequenceTest, CompanyPlaceholderWithoutCompaniesRunsNothing) {
  script.templateText = " SELECT '$parm02' ";
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(script.statementsRun.empty());
  EXPECT_EQ(out, "0 Saetze kopiert in Datei dnl/out.txt \n");
}

TEST_F(RunSequenceTest, TraceShowsRowLoopPerPass) {
  script.companies = 2;
  script.templateText = " SELECT '$parm02' ";
  EXPECT_EQ(Run({"SECT", "T1", "o.txt", "0", "/d"}), 0);
  EXPECT_EQ(out,
            " Aktiviert Debugger\nStr CheckParm\nEnd CheckParm\n"
            "Str ReadNext Schleife\nEnd ReadNext Schleife\n"
            "Str ReadNext Schleife\nEnd ReadNext Schleife\n"
            "4 Saetze kopiert in Datei o.txt \n");
}

TEST_F(RunSequenceTest, DatabaseParameterFailureStopsTheRunWithItsCode) {
  script.setDbUsr = 99;
  EXPECT_EQ(Run(), 99);
  EXPECT_EQ(script.calls, std::vector<std::string>{"SetDbUsr"});
}

TEST_F(RunSequenceTest, DisabledSectionStopsTheRunWithItsCode) {
  script.getIniValues = 4;
  EXPECT_EQ(Run(), 4);
  EXPECT_EQ(script.calls.back(), "GetIniValues SECT");
  EXPECT_EQ(out, "");
}

TEST_F(RunSequenceTest, FailingCompanyStatementAloneKeepsExitCode0) {
  // The company list double rejects its statement on every run.
  EXPECT_EQ(Run(), 0);
}

TEST_F(RunSequenceTest, RejectedStatementOfTheSectionEndsWith6AfterTheCountMessage) {
  script.companies = 3;
  script.templateText = " SELECT '$parm02' ";
  script.rejectPass = 2;
  EXPECT_EQ(Run(), 6);
  EXPECT_EQ(script.statementsRun.size(), 3u);
  EXPECT_EQ(ctx.RecordCount, 4);
  EXPECT_EQ(out, "4 Saetze kopiert in Datei dnl/out.txt \n");
}

TEST_F(RunSequenceTest, DownloadNotWrittenWinsOverRejectedStatement) {
  script.rejectPass = 1;
  script.writeFails = true;
  EXPECT_EQ(Run(), 7);
  EXPECT_EQ(out, "0 Saetze kopiert in Datei dnl/out.txt \n");
}

TEST(FormatMessageText, ArgumentsAreNeverReadAsFormats) {
  EXPECT_EQ(qj::FormatMessageText("%i Saetze kopiert in Datei %s \n", {int32_t{-5}, "a%sb%i%n"}),
            "-5 Saetze kopiert in Datei a%sb%i%n \n");
  EXPECT_EQ(qj::FormatMessageText("  '%s'\n", {std::string("x\0y", 3)}), std::string("  'x\0y'\n", 8));
  EXPECT_EQ(qj::FormatMessageText("100% %d %s", {}), "100% %d %s");
}

TEST(RunContextCompanies, TableGrowsAndUnstoredPositionsReadEmpty) {
  qj::RunContext run;
  EXPECT_EQ(run.CompanyAt(1), "");
  run.StoreCompanyAt(40, "X40");
  EXPECT_EQ(run.CompanyAt(40), "X40");
  EXPECT_EQ(run.CompanyAt(39), "");
  EXPECT_EQ(run.CompanyAt(41), "");
  EXPECT_EQ(run.CompanyAt(-1), "");
}

}  // namespace
