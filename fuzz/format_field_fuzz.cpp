// Fuzzes the formatting of a row into the record line, through the entry a
// run uses, one used slot reading a text column. CHAR and TXT fields always
// take exactly their length (values cut, negative lengths as 0); DEC fields
// take their length or end the run with FieldError naming the slot; any
// other type adds nothing.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dbconn/column_value.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/record_format.h"

namespace {

constexpr std::string_view kTypes[] = {"CHAR", "DEC", "TXT", "char", "", "DECIMAL"};

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsTrimmed(unsigned char c) { return c <= 32; }

size_t TrimmedSize(std::string_view value) {
  size_t begin = 0;
  size_t end = value.size();
  while (begin < end && IsTrimmed(static_cast<unsigned char>(value[begin]))) ++begin;
  while (end > begin && IsTrimmed(static_cast<unsigned char>(value[end - 1]))) --end;
  return end - begin;
}

// A row of one text column.
class OneColumn : public qj::RowSource {
 public:
  explicit OneColumn(std::string_view bytes) {
    value_.kind = qj::ValueKind::Text;
    value_.bytes.assign(bytes);
  }
  int ColumnCount() override { return 1; }
  const qj::ColumnValue& Column(int) override { return value_; }

 private:
  qj::ColumnValue value_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string out;
  static std::string err;
  qj::Console::CaptureForTest(&out, &err);
  out.clear();
  err.clear();
  if (size < 3) return 0;

  const std::string type(kTypes[data[0] % 6]);
  // Lengths from -16 to 4079: wide enough for every value, small enough to
  // keep the fill cheap.
  const int32_t length = static_cast<int32_t>(((data[1] << 8) | data[2]) % 4096) - 16;
  const std::string_view value(reinterpret_cast<const char*>(data) + 3, size - 3);

  qj::ctx.CutValues = 0;
  qj::ctx.Field(1) = {"F", type, length, qj::FieldKindOf(type)};
  OneColumn row(value);
  try {
    qj::FormatRecordFrom(row);
  } catch (const qj::FieldError& error) {
    Check(type == "DEC");
    Check(static_cast<int64_t>(TrimmedSize(value)) > length);
    Check(std::string_view(error.what()).substr(0, 13) == "Feld FELD01: ");
    return 0;
  }
  const size_t added = qj::ctx.RecordLine.size();
  const size_t width = length > 0 ? static_cast<size_t>(length) : 0;
  if (type == "CHAR" || type == "TXT") {
    Check(added == width);
    Check((err.empty()) == (qj::ctx.CutValues == 0));
  } else if (type == "DEC") {
    Check(static_cast<int64_t>(TrimmedSize(value)) <= length || (length <= 0 && TrimmedSize(value) == 0));
    Check(added == width);
  } else {
    Check(added == 0);
  }
  return 0;
}
