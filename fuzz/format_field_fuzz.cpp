// Fuzzes the formatting of one field into the record line. CHAR and TXT
// fields always take exactly their length (values cut, negative lengths as 0);
// DEC fields take their length or end the run with FieldError; other types add
// nothing.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

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
  qj::ctx.RecordLine = "prefix";
  try {
    qj::FormatField(value, length, type);
  } catch (const qj::FieldError&) {
    Check(type == "DEC");
    Check(static_cast<int64_t>(TrimmedSize(value)) > length);
    Check(qj::ctx.RecordLine == "prefix");
    return 0;
  }
  const std::string& line = qj::ctx.RecordLine;
  Check(line.compare(0, 6, "prefix") == 0);
  const size_t added = line.size() - 6;
  const size_t width = length > 0 ? static_cast<size_t>(length) : 0;
  if (type == "CHAR" || type == "TXT") {
    Check(added == width);
  } else if (type == "DEC") {
    Check(static_cast<int64_t>(TrimmedSize(value)) <= length || (length <= 0 && TrimmedSize(value) == 0));
    Check(added == width);
  } else {
    Check(added == 0);
  }
  return 0;
}
