// A row pass whose records are formatted on a second thread against the same
// pass one row after the other, in-process against SQLite through ODBC: the
// same records in the same order, the same count and warnings, and a failure
// of a field or of the fetch ending the pass at the same row.

#include "extract/format_beside.h"

#include <gtest/gtest.h>

#include <clocale>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/line_list.h"
#include "extract/output_file.h"
#include "extract/query_exec.h"
#include "extract/record_format.h"
#include "platform/text_util.h"
#include "support/odbc_env.h"
#include "support/run_context_fixture.h"
#include "support/test_support.h"

namespace {

using qj::ctx;

// What a pass leaves behind.
struct Pass {
  std::vector<std::string> lines;
  int32_t count = 0;
  int64_t cut = 0;
  std::string warnings;
  std::string failure;
};

bool operator==(const Pass& a, const Pass& b) {
  return a.lines == b.lines && a.count == b.count && a.cut == b.cut && a.warnings == b.warnings &&
         a.failure == b.failure;
}

std::ostream& operator<<(std::ostream& out, const Pass& p) {
  return out << p.lines.size() << " lines, count " << p.count << ", cut " << p.cut << ", failure '" << p.failure
             << "', warnings:\n" << p.warnings;
}

class FormatBesideTest : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    qjtest::UseTestOdbcConfig();
    // Names with umlauts, some longer than their field; amounts, dates and NULLs.
    qjtest::SqliteExec(dbFile_,
                       "CREATE TABLE t(n INTEGER, name TEXT, amount REAL, day DATE);"
                       "WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < 12000) "
                       "INSERT INTO t SELECT i, substr('Müller Äpfel Öl Straße ' || i, 1 + i % 7, 3 + i % 11), "
                       "CASE WHEN i % 13 = 0 THEN NULL ELSE (i * 37 % 100000) / 100.0 END, "
                       "date('2020-01-01', '+' || (i % 900) || ' days') FROM r;");
    ctx.dm1 = std::make_unique<qj::Tdm1>();
    for (std::string& line : ctx.dm1->VELMORANT.Params) {
      if (qj::StartsWith(line, "ODBC DSN=")) line = "ODBC DSN=" + qjtest::SqliteConnectionString(dbFile_);
    }
    Define(1, "NAME", "CHAR", 9);
    Define(2, "N", "DEC", 6);
    Define(3, "AMOUNT", "DEC", 9);
    Define(4, "DAY", "CHAR", 10);
    Define(5, "NAME2", "TXT", 12);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    ctx.dm1.reset();
  }

  static void Define(int slot, const char* name, const char* type, int length) {
    qj::FieldDefinition& field = ctx.Field(slot);
    field.Name = name;
    field.Type = type;
    field.Kind = qj::FieldKindOf(type);
    field.Length = length;
  }

  // Runs the statement as a pass: the first `plain` records one after the
  // other, the rest beside when `beside`.
  Pass Run(const std::string& statement, bool beside, int plain = 0) {
    ctx.WorkingStatement = statement;
    ctx.OutputLines = std::make_shared<qj::LineList>();
    ctx.RecordCount = 0;
    ctx.CutValues = 0;
    err_.clear();
    Pass pass;
    try {
      ctx.ResultCode = qj::ReadFirst("");
      for (int records = 0; ctx.ResultCode == 0; ++records) {
        if (beside && records == plain) {
          EXPECT_TRUE(qj::FormatPassBeside(&qj::ReadNext, &qj::AddRecordLine));
          break;
        }
        qj::FormatRecord();
        qj::AddRecordLine();
        ++ctx.RecordCount;
        ctx.ResultCode = qj::ReadNext();
      }
    } catch (const std::exception& error) {
      pass.failure = error.what();
    }
    pass.lines = ctx.OutputLines->Strings();
    pass.count = ctx.RecordCount;
    pass.cut = ctx.CutValues;
    pass.warnings = err_;
    return pass;
  }

  qjtest::TempDir dir_;
  std::string dbFile_ = dir_.File("t.db");
  std::string out_, err_;
};

const char* const kAllRows = "SELECT name, n, amount, day, name FROM t";

TEST_F(FormatBesideTest, SameRecordsCountAndWarningsAsOneAfterTheOther) {
  const Pass plain = Run(kAllRows, false);
  ASSERT_EQ(plain.count, 12000);
  ASSERT_GT(plain.cut, 10) << "the names cut give warnings and a total";
  for (const int first : {0, 1, 300, 11999}) {
    EXPECT_EQ(Run(kAllRows, true, first), plain) << "beside from record " << first;
  }
  EXPECT_EQ(Run("SELECT name, n, amount, day, name FROM t WHERE n = 5", true), Run(
      "SELECT name, n, amount, day, name FROM t WHERE n = 5", false));
  // Now and then a text longer than its bound buffer, which the fetching
  // thread reads whole between values the formatting thread builds: the
  // record holds all of it.
  Define(5, "NAME2", "TXT", 700);
  const std::string someLong =
      "SELECT name, n, amount, day, CASE WHEN n % 97 = 0 THEN replace(hex(zeroblob(300)), '00', '\xC4" "b') || n "
      "ELSE name END FROM t";  // the statement in Windows-1252, as a run has it
  const Pass longPlain = Run(someLong, false);
  ASSERT_GT(longPlain.lines.size(), 96u);
  std::string value97;
  for (int i = 0; i < 300; ++i) value97 += "\xC4" "b";
  EXPECT_EQ(longPlain.lines[96].substr(9 + 6 + 9 + 10, 602), value97 + "97");
  EXPECT_EQ(Run(someLong, true, 1), longPlain);
}

TEST_F(FormatBesideTest, AFailureEndsThePassAtItsRowWhicheverThreadMeetsIt) {
  // A DEC value too long for its field, a fetch that fails (SQLite's integer
  // overflow), and both in either order: the first in row order wins.
  const auto tooLong = [](int row) { return "CASE WHEN n = " + std::to_string(row) + " THEN 1234567 ELSE n END"; };
  const auto failing = [](int row) {
    return "CASE WHEN n = " + std::to_string(row) + " THEN abs(-9223372036854775808) ELSE 0 END";
  };
  const std::vector<std::string> statements = {
      "SELECT name, " + tooLong(7000) + ", amount, day, name FROM t",
      "SELECT name, n, amount + " + failing(9000) + ", day, name FROM t",
      "SELECT name, " + tooLong(7000) + ", amount + " + failing(7100) + ", day, name FROM t",
      "SELECT name, " + tooLong(7100) + ", amount + " + failing(7000) + ", day, name FROM t",
      "SELECT name, n, amount, day FROM t",  // slot 5 beyond the columns
  };
  for (const std::string& statement : statements) {
    const Pass plain = Run(statement, false);
    ASSERT_FALSE(plain.failure.empty()) << statement << plain << out_;
    EXPECT_EQ(Run(statement, true, 100), plain) << statement;
    EXPECT_EQ(Run(statement, true, 0), plain) << statement;
  }
  const Pass field = Run(statements[2], true);
  EXPECT_EQ(field.failure, "Feld FELD02: DEC-Wert mit 7 Stellen passt nicht in 6 Stellen");
  EXPECT_EQ(field.count, 6999);
  const Pass fetch = Run(statements[3], true);
  EXPECT_NE(fetch.failure.find("integer overflow"), std::string::npos) << fetch.failure;
  EXPECT_LT(fetch.count, 7000);
}

}  // namespace
