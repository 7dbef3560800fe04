#pragma once
// Turns the current row into one fixed-width record: one field per used slot,
// "CHAR" trimmed and blank-filled, "DEC" trimmed and zero-filled on the left,
// "TXT" untrimmed and blank-filled, any other type contributes nothing.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "dbconn/column_value.h"

namespace qj {

// Builds RecordLine from the current row of Qry1 by the field definitions
// (each slot's parsed Kind and its Length).
// Reads ctx.dm1->Qry1, ctx.Fields, ctx.RecordCount (the record formatted is
// number RecordCount + 1 of the run); writes ctx.RecordLine, ctx.FieldText,
// ctx.CutValues, ctx.ValueTexts.
void FormatRecord();

// The columns of one row, by 0-based index. Qry1 is the source of a run;
// tests give rows of their own.
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual int ColumnCount() = 0;
  virtual const ColumnValue& Column(int index) = 0;
};

// Builds RecordLine from the given row by the field definitions.
void FormatRecordFrom(RowSource& row);

// A field that cannot be formatted ends the run: a "DEC" value longer than
// its field, or a used slot beyond the result's columns. The message names
// the slot ("Feld FELD03: ...").
class FieldError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "CHAR" and "TXT" values longer than their field are cut to the field length;
// the first ten cuts of a run are reported on standard error one by one, each
// naming the slot, its field name and the record's number. Once
// all rows are formatted, this prints one line with the total when there were
// more than ten. Reads ctx.CutValues.
void ReportCutValueCount();

}  // namespace qj
