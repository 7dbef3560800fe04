#include "extract/record_format.h"

#include <algorithm>
#include <cstring>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/value_text.h"
#include "platform/text_util.h"

namespace qj {

namespace {

constexpr int64_t kCutWarningsShown = 10;

std::string_view Trimmed(std::string_view value) {
  auto kept = [](char c) { return static_cast<unsigned char>(c) > 32; };
  const auto first = std::find_if(value.begin(), value.end(), kept);
  if (first == value.end()) return {};
  const auto last = std::find_if(value.rbegin(), value.rend(), kept).base();
  return value.substr(static_cast<size_t>(first - value.begin()), static_cast<size_t>(last - first));
}

// The warning names the slot with its field name and the record by its
// number in the run, the one being formatted now.
void NoteCut(int slot, size_t valueLength, size_t fieldLength) {
  ++ctx.CutValues;
  if (ctx.CutValues > kCutWarningsShown) return;
  Console::Err(
      FormatMessageText("qjsqlexe: Warnung: Feld %s, Satz %i: Wert mit %i Bytes auf %i Bytes gekuerzt\n",
                        {SlotLabel(slot, ctx.Field(slot)), static_cast<int64_t>(ctx.RecordCount) + 1,
                         static_cast<int64_t>(valueLength), static_cast<int64_t>(fieldLength)}));
}

// Appends the value, cut to the field with a warning when it is longer, and
// blanks up to the field length.
void AppendBlankFilled(int slot, std::string_view value, size_t length, std::string& out) {
  if (value.size() > length) {
    NoteCut(slot, value.size(), length);
    value = value.substr(0, length);
  }
  // The field's room is made in one step, then the value goes to its start.
  const size_t at = out.size();
  out.append(length, ' ');
  if (!value.empty()) std::memcpy(&out[at], value.data(), value.size());
}

void FormatSlotField(int slot, const FieldDefinition& field, std::string_view value, std::string& out) {
  const size_t width = field.Length > 0 ? static_cast<size_t>(field.Length) : 0;
  switch (field.Kind) {
    case FieldKind::Char:
      AppendBlankFilled(slot, Trimmed(value), width, out);
      return;
    case FieldKind::Txt:
      AppendBlankFilled(slot, value, width, out);
      return;
    case FieldKind::Dec: {
      const std::string_view number = Trimmed(value);
      if (number.size() > width) {
        throw FieldError(
            FormatMessageText("Feld %s: DEC-Wert mit %i Stellen passt nicht in %i Stellen",
                              {SlotKey("FELD", slot), static_cast<int64_t>(number.size()),
                               static_cast<int64_t>(width)}));
      }
      const size_t at = out.size();
      out.append(width, '0');
      if (!number.empty()) std::memcpy(&out[at + width - number.size()], number.data(), number.size());
      return;
    }
    case FieldKind::Unknown:
      return;
  }
}

class QueryRow : public RowSource {
 public:
  explicit QueryRow(TQuery& query) : query_(query) {}
  int ColumnCount() override { return query_.FieldCount(); }
  const ColumnValue& Column(int index) override { return query_.Field(index); }

 private:
  TQuery& query_;
};

}  // namespace

void FormatRecordFrom(RowSource& row) {
  ctx.RecordLine.clear();
  std::string& text = ctx.FieldText;
  const int columns = row.ColumnCount();
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    const FieldDefinition& field = ctx.Field(slot);
    if (field.Name.empty()) continue;
    if (slot > columns) {
      throw FieldError(
          FormatMessageText("Feld %s: Spalte %i fehlt, die Abfrage liefert nur %i Spalten",
                            {SlotKey("FELD", slot), static_cast<int32_t>(slot), static_cast<int32_t>(columns)}));
    }
    const ColumnValue& value = row.Column(slot - 1);
    if (value.kind == ValueKind::Text) {
      FormatSlotField(slot, field, value.bytes, ctx.RecordLine);
    } else {
      text.clear();
      AppendValueText(value, text);
      FormatSlotField(slot, field, text, ctx.RecordLine);
    }
  }
}

void FormatRecord() {
  QueryRow row(ctx.dm1->Qry1);
  FormatRecordFrom(row);
}

void ReportCutValueCount() {
  if (ctx.CutValues <= kCutWarningsShown) return;
  Console::Err(
      FormatMessageText("qjsqlexe: Warnung: insgesamt %i Werte auf ihre Feldlaenge gekuerzt\n", {ctx.CutValues}));
}

}  // namespace qj
