// Fuzzes the lookup in the converted ini file: any bytes as the file, a key and
// header text taken from the input. A record never holds a carriage return and
// its fields never exceed the reader's limits.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dbconn/converted_ini.h"

namespace {

constexpr std::string_view kKeys[] = {"DB_SYSTEM", "DATABASE", "LOGIN", "PASS", ""};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  // The first byte picks the key and the number; the second, when odd, asks
  // for a header text (the start of the file) instead of the empty one.
  const std::string_view key = kKeys[data[0] % 5];
  const int32_t number = (data[0] & 0x80) != 0 ? static_cast<int32_t>(data[0] & 0x0f) : 0;
  const std::string_view header = (data[1] & 1) != 0 ? bytes.substr(0, data[1] % 16) : std::string_view();

  const qj::ConvertedRecord record = qj::FindConvertedRecord(bytes, header, key, number);
  Check(record.HeaderText.size() <= 198);
  Check(record.Key.size() <= 200);
  Check(record.Value.size() <= 200);
  for (const std::string* field : {&record.HeaderText, &record.Key, &record.Value}) {
    Check(field->find('\r') == std::string::npos);
  }
  // A record was found only if one of the three criteria holds for it.
  if (!record.Key.empty() || !record.Value.empty() || !record.HeaderText.empty() || record.Number != 0) {
    Check(record.HeaderText == header || record.Key == key || record.Number == number);
  }
  return 0;
}
