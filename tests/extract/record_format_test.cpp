// Fixed-width records from rows: the slot rules, trimming and filling, cut
// values and the failures that end a run.

#include "extract/record_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/value_text.h"

namespace {

using qj::ColumnValue;
using qj::ctx;
using qj::ValueKind;

ColumnValue Txt(const std::string& s) {
  ColumnValue v;
  v.kind = ValueKind::Text;
  v.bytes = s;
  return v;
}
ColumnValue Int(int64_t i) {
  ColumnValue v;
  v.kind = ValueKind::Integer;
  v.integer = i;
  return v;
}
ColumnValue Real(double r) {
  ColumnValue v;
  v.kind = ValueKind::Float;
  v.real = r;
  return v;
}
ColumnValue Null() { return ColumnValue(); }

class FakeRow : public qj::RowSource {
 public:
  explicit FakeRow(std::vector<ColumnValue> columns) : columns_(std::move(columns)), reads_(columns_.size()) {}
  int ColumnCount() override { return static_cast<int>(columns_.size()); }
  const ColumnValue& Column(int index) override {
    ++reads_.at(static_cast<size_t>(index));
    return columns_.at(static_cast<size_t>(index));
  }
  int Reads(int index) const { return reads_.at(static_cast<size_t>(index)); }

 private:
  std::vector<ColumnValue> columns_;
  std::vector<int> reads_;
};

class RecordFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& f : ctx.Fields) f = qj::FieldDefinition();
    ctx.RecordLine = "stale";
    qj::ResetCutValueCount();
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    qj::ResetCutValueCount();
    for (auto& f : ctx.Fields) f = qj::FieldDefinition();
  }
  static void Slot(int nn, const std::string& type, int32_t length, const std::string& name = "F") {
    ctx.Field(nn) = qj::FieldDefinition{name, type, length};
  }
  std::string out_, err_;
};

TEST_F(RecordFormat, WorkedExampleAsBytes) {
  Slot(1, "TXT", 8);
  Slot(2, "DEC", 5);
  Slot(3, "CHAR", 4);
  Slot(5, "CHAR", 3);
  FakeRow row({Txt("Meier"), Int(42), Txt(" AB "), Txt("not read"), Null()});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "Meier   00042AB     ");
  EXPECT_EQ(ctx.RecordLine.size(), 20u);
  EXPECT_EQ(row.Reads(3), 0);  // slot 4 is off: its column is skipped
  EXPECT_EQ(err_, "");
}

TEST_F(RecordFormat, NullFillsEveryType) {
  Slot(1, "CHAR", 6);
  Slot(2, "TXT", 6);
  Slot(3, "DEC", 6);
  FakeRow row({Null(), Null(), Null()});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "            000000");
}

TEST_F(RecordFormat, CharTrimsControlBytesButNeverHighBytesAndTxtKeepsAll) {
  const std::string raw("\t\0 \xA0x\xFF \r\n", 9);
  Slot(1, "CHAR", 5);
  Slot(2, "TXT", 10);
  Slot(3, "DEC", 4);
  FakeRow row({Txt(raw), Txt(raw), Txt(" \x1F" "7\x7F\n")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, std::string("\xA0x\xFF  ", 5) + raw + " " + "007\x7F");
}

TEST_F(RecordFormat, ExactFitAndEmptyZeroLengthFields) {
  Slot(1, "CHAR", 3);
  Slot(2, "DEC", 0);
  Slot(3, "TXT", 0);
  Slot(4, "CHAR", -4);
  FakeRow row({Txt("abc"), Txt("  "), Txt(""), Null()});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "abc");
  EXPECT_EQ(err_, "");
}

TEST_F(RecordFormat, UnknownAndLowerCaseTypesContributeNothingButReadTheirColumn) {
  Slot(1, "char", 3);
  Slot(2, "DECIMAL", 3);
  Slot(3, "", 3);
  Slot(4, "TXT ", 3);
  Slot(5, "CHAR", 2);
  FakeRow row({Txt("a"), Int(1), Txt("b"), Txt("c"), Txt("z")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "z ");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(row.Reads(i), 1) << i;
}

TEST_F(RecordFormat, SlotsReadTheirOwnColumnWhateverTheName) {
  Slot(1, "CHAR", 2, "KUNDE");
  Slot(3, "CHAR", 2, "0");
  FakeRow row({Txt("A"), Txt("B"), Txt("C")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "A C ");
  EXPECT_EQ(row.Reads(1), 0);
}

TEST_F(RecordFormat, NoUsedSlotGivesTheEmptyRecord) {
  FakeRow row({Txt("A")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "");
}

TEST_F(RecordFormat, DecimalFieldRules) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved != nullptr ? saved : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  qj::ResetValueTextLocale();
  Slot(1, "DEC", 5);
  Slot(2, "DEC", 6);
  Slot(3, "DEC", 5);
  FakeRow row({Int(-12), Real(12.5), Txt("AB")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "00-120012,5000AB");
  if (saved != nullptr) {
    setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  qj::ResetValueTextLocale();
}

TEST_F(RecordFormat, OverlongTextIsCutWithAWarning) {
  Slot(1, "CHAR", 3);
  Slot(2, "TXT", 2);
  Slot(3, "TXT", -1);
  FakeRow row({Txt("  ABCDE "), Txt(" xyz"), Txt("q")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "ABC x");
  EXPECT_EQ(err_,
            "qjsqlexe: Warnung: Feld FELD01: Wert mit 5 Bytes auf 3 Bytes gekuerzt\n"
            "qjsqlexe: Warnung: Feld FELD02: Wert mit 4 Bytes auf 2 Bytes gekuerzt\n"
            "qjsqlexe: Warnung: Feld FELD03: Wert mit 1 Bytes auf 0 Bytes gekuerzt\n");
  EXPECT_EQ(qj::CutValueCount(), 3);
  err_.clear();
  qj::ReportCutValueCount();  // ten or fewer: every cut was already named
  EXPECT_EQ(err_, "");
}

TEST_F(RecordFormat, AtMostTenCutWarningsThenOneCountLine) {
  Slot(1, "CHAR", 1);
  FakeRow row({Txt("AB")});
  for (int i = 0; i < 25; ++i) qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "A");
  size_t lines = 0;
  for (char c : err_) lines += c == '\n';
  EXPECT_EQ(lines, 10u);
  err_.clear();
  qj::ReportCutValueCount();
  EXPECT_EQ(err_, "qjsqlexe: Warnung: insgesamt 25 Werte auf ihre Feldlaenge gekuerzt\n");
}

TEST_F(RecordFormat, OverlongDecimalEndsTheRunNamingTheSlot) {
  Slot(1, "CHAR", 2);
  Slot(2, "DEC", 3);
  FakeRow row({Txt("A"), Int(-1234)});
  try {
    qj::FormatRecordFrom(row);
    FAIL() << "no error";
  } catch (const qj::FieldError& e) {
    EXPECT_EQ(std::string(e.what()), "Feld FELD02: DEC-Wert mit 5 Stellen passt nicht in 3 Stellen");
  }
  Slot(2, "DEC", -3);
  FakeRow empty({Txt("A"), Txt(" ")});
  qj::FormatRecordFrom(empty);
  EXPECT_EQ(ctx.RecordLine, "A ");
}

TEST_F(RecordFormat, SlotBeyondTheResultEndsTheRun) {
  Slot(1, "CHAR", 2);
  Slot(3, "xyz", 2);
  FakeRow row({Txt("A"), Txt("B")});
  try {
    qj::FormatRecordFrom(row);
    FAIL() << "no error";
  } catch (const qj::FieldError& e) {
    EXPECT_EQ(std::string(e.what()), "Feld FELD03: Spalte 3 fehlt, die Abfrage liefert nur 2 Spalten");
  }
}

}  // namespace
