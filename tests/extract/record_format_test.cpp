// Fixed-width records from rows: slot rules, trimming and filling, cut values
// and the failures that end a run.

#include "extract/record_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/value_text.h"
#include "support/run_context_fixture.h"
#include "support/test_support.h"

namespace {

using qj::ColumnValue;
using qj::ctx;
using qj::ValueKind;

ColumnValue V(ValueKind kind, const std::string& bytes, int64_t integer = 0, double real = 0) {
  ColumnValue v;
  v.kind = kind, v.bytes = bytes, v.integer = integer, v.real = real;
  return v;
}
ColumnValue Txt(const std::string& s) { return V(ValueKind::Text, s); }
ColumnValue Int(int64_t i) { return V(ValueKind::Integer, "", i); }
const ColumnValue kNull;

class FakeRow : public qj::RowSource {
 public:
  explicit FakeRow(std::vector<ColumnValue> columns) : columns_(std::move(columns)), reads_(columns_.size()) {}
  int ColumnCount() override { return static_cast<int>(columns_.size()); }
  const ColumnValue& Column(int index) override {
    ++reads_.at(static_cast<size_t>(index));
    return columns_.at(static_cast<size_t>(index));
  }
  std::string Reads() const {
    std::string r;
    for (int n : reads_) r += std::to_string(n);
    return r;
  }

 private:
  std::vector<ColumnValue> columns_;
  std::vector<int> reads_;
};

// A slot as the section load leaves it: the type text and its parsed kind.
qj::FieldDefinition Slot(const std::string& name, const std::string& type, int32_t length) {
  return {name, type, length, qj::FieldKindOf(type)};
}

class RecordFormat : public qjtest::RunContextTest {
 protected:
  void SetUp() override { qj::Console::CaptureForTest(&out_, &err_); }
  void TearDown() override { qj::Console::CaptureForTest(nullptr, nullptr); }
  // Slots 1, 2, ... get the types and lengths given; "-" leaves a slot unused.
  std::string Format(const std::vector<std::pair<std::string, int32_t>>& slots, FakeRow& row) {
    for (auto& f : ctx.Fields) f = qj::FieldDefinition();
    for (size_t i = 0; i < slots.size(); ++i) {
      if (slots[i].first != "-") ctx.Field(static_cast<int>(i + 1)) = Slot("F", slots[i].first, slots[i].second);
    }
    ctx.RecordLine = "stale";
    qj::FormatRecordFrom(row);
    return ctx.RecordLine;
  }
  std::string out_, err_;
};

TEST_F(RecordFormat, SlotRules) {
  FakeRow example({Txt("Meier"), Int(42), Txt(" AB "), Txt("not read"), kNull});
  EXPECT_EQ(Format({{"TXT", 8}, {"DEC", 5}, {"CHAR", 4}, {"-", 0}, {"CHAR", 3}}, example), "Meier   00042AB     ");
  EXPECT_EQ(example.Reads(), "11101");  // an unused slot's column is skipped
  FakeRow nulls({kNull, kNull, kNull});
  EXPECT_EQ(Format({{"CHAR", 6}, {"TXT", 6}, {"DEC", 6}}, nulls), "            000000");
  // CHAR trims control bytes but never high bytes; TXT keeps everything.
  const std::string raw("\t\0 \xA0x\xFF \r\n", 9);
  FakeRow trims({Txt(raw), Txt(raw), Txt(" \x1F" "7\x7F\n")});
  EXPECT_EQ(Format({{"CHAR", 5}, {"TXT", 10}, {"DEC", 4}}, trims), std::string("\xA0x\xFF  ", 5) + raw + " 007\x7F");
  FakeRow zero({Txt("abc"), Txt("  "), Txt(""), kNull});
  EXPECT_EQ(Format({{"CHAR", 3}, {"DEC", 0}, {"TXT", 0}, {"CHAR", -4}}, zero), "abc");
  // Unknown and lower-case types contribute nothing but read their column.
  FakeRow unknown({Txt("a"), Int(1), Txt("b"), Txt("c"), Txt("z")});
  EXPECT_EQ(Format({{"char", 3}, {"DECIMAL", 3}, {"", 3}, {"TXT ", 3}, {"CHAR", 2}}, unknown), "z ");
  EXPECT_EQ(unknown.Reads(), "11111");
  EXPECT_EQ(err_, "");
}

TEST_F(RecordFormat, SlotsReadTheirOwnColumnWhateverTheName) {
  ctx.Field(1) = Slot("KUNDE", "CHAR", 2);
  ctx.Field(3) = Slot("0", "CHAR", 2);
  FakeRow row({Txt("A"), Txt("B"), Txt("C")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "A C ");
  EXPECT_EQ(row.Reads(), "101");
  for (auto& f : ctx.Fields) f = qj::FieldDefinition();
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "");
}

TEST_F(RecordFormat, DecimalFieldRules) {
  const qjtest::ScopedEnv locale("LC_ALL", "de_DE.UTF-8");
  FakeRow row({Int(-12), V(ValueKind::Float, "", 0, 12.5), Txt("AB")});
  EXPECT_EQ(Format({{"DEC", 5}, {"DEC", 6}, {"DEC", 5}}, row), "00-120012,5000AB");
}

TEST_F(RecordFormat, OverlongTextIsCutWithAtMostTenWarnings) {
  // The record number is the one the run is formatting: one more than the
  // records counted so far.
  const auto cuts = [](int record) {
    const std::string satz = ", Satz " + std::to_string(record) + ": ";
    return "qjsqlexe: Warnung: Feld FELD01 (F)" + satz + "Wert mit 5 Bytes auf 3 Bytes gekuerzt\n"
           "qjsqlexe: Warnung: Feld FELD02 (F)" + satz + "Wert mit 4 Bytes auf 2 Bytes gekuerzt\n"
           "qjsqlexe: Warnung: Feld FELD03 (F)" + satz + "Wert mit 1 Bytes auf 0 Bytes gekuerzt\n";
  };
  FakeRow row({Txt("  ABCDE "), Txt(" xyz"), Txt("q")});
  EXPECT_EQ(Format({{"CHAR", 3}, {"TXT", 2}, {"TXT", -1}}, row), "ABC x");
  EXPECT_EQ(err_, cuts(1));
  qj::ReportCutValueCount();  // ten or fewer: every cut was already named
  EXPECT_EQ(err_, cuts(1));
  for (int i = 0; i < 22; ++i) {
    ctx.RecordCount = i + 1;
    qj::FormatRecordFrom(row);
  }
  const std::string fourth = cuts(4);
  EXPECT_EQ(err_, cuts(1) + cuts(2) + cuts(3) + fourth.substr(0, fourth.find('\n') + 1));
  err_.clear();
  qj::ReportCutValueCount();
  EXPECT_EQ(err_, "qjsqlexe: Warnung: insgesamt 69 Werte auf ihre Feldlaenge gekuerzt\n");
}

// The field name is database text: it reaches the console in the locale's
// character set, like the statement and the engine's messages.
TEST_F(RecordFormat, CutWarningNamesTheFieldInTheConsoleCharacterSet) {
  ctx.Field(2) = Slot("GR\xD6\xDF" "E", "TXT", 1);
  ctx.RecordCount = 16;
  FakeRow row({kNull, Txt("ab")});
  {
    const qjtest::ScopedEnv locale("LC_ALL", "de_DE.UTF-8");
    qj::FormatRecordFrom(row);
  }
  {
    const qjtest::ScopedEnv locale("LC_ALL", "de_DE.ISO-8859-1");
    qj::FormatRecordFrom(row);
  }
  EXPECT_EQ(ctx.RecordLine, "a");
  EXPECT_EQ(err_,
            "qjsqlexe: Warnung: Feld FELD02 (GR\xC3\x96\xC3\x9F" "E), Satz 17: Wert mit 2 Bytes auf 1 Bytes gekuerzt\n"
            "qjsqlexe: Warnung: Feld FELD02 (GR\xD6\xDF" "E), Satz 17: Wert mit 2 Bytes auf 1 Bytes gekuerzt\n");
}

// The kind parsed at the load decides, not the type text: a slot whose kind
// disagrees with its text formats by its kind.
TEST_F(RecordFormat, TheParsedKindDecides) {
  ctx.Field(1) = {"A", "CHAR", 3, qj::FieldKind::Unknown};
  ctx.Field(2) = {"B", "xyz", 3, qj::FieldKind::Dec};
  FakeRow row({Txt("a"), Txt("7")});
  qj::FormatRecordFrom(row);
  EXPECT_EQ(ctx.RecordLine, "007");
  EXPECT_EQ(row.Reads(), "11");
  EXPECT_EQ(qj::FieldKindOf("CHAR"), qj::FieldKind::Char);
  EXPECT_EQ(qj::FieldKindOf("DEC"), qj::FieldKind::Dec);
  EXPECT_EQ(qj::FieldKindOf("TXT"), qj::FieldKind::Txt);
  for (const char* other : {"char", "CHAR ", " DEC", "DECIMAL", "TX", ""}) {
    EXPECT_EQ(qj::FieldKindOf(other), qj::FieldKind::Unknown) << other;
  }
}

TEST_F(RecordFormat, FailuresNameTheSlot) {
  const auto failure = [this](const std::vector<std::pair<std::string, int32_t>>& slots, FakeRow row) {
    try {
      Format(slots, row);
    } catch (const qj::FieldError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(failure({{"CHAR", 2}, {"DEC", 3}}, FakeRow({Txt("A"), Int(-1234)})),
            "Feld FELD02: DEC-Wert mit 5 Stellen passt nicht in 3 Stellen");
  EXPECT_EQ(failure({{"CHAR", 2}, {"-", 0}, {"xyz", 2}}, FakeRow({Txt("A"), Txt("B")})),
            "Feld FELD03: Spalte 3 fehlt, die Abfrage liefert nur 2 Spalten");
  FakeRow empty({Txt("A"), Txt(" ")});
  EXPECT_EQ(Format({{"CHAR", 2}, {"DEC", -3}}, empty), "A ");
}

}  // namespace
