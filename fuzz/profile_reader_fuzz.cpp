// Fuzzes the reader of the query definition file: any bytes as the file, then
// the reads a run makes (statement lines, field keys, the company sections)
// and reads of section and key names taken from the file itself. Values never
// exceed 2047 bytes and never hold a line feed.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "querydef/profile_reader.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckValue(const std::string& value) {
  Check(value.size() <= qj::ProfileFile::kMaxValueBytes);
  Check(value.find('\n') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const qj::ProfileFile file = qj::ProfileFile::Parse(bytes);

  for (const std::string_view section : {"GETFIR1", "getfir2", "QJDNL31P", ""}) {
    char key[8];
    for (int n = 1; n <= 3; ++n) {
      std::snprintf(key, sizeof key, "SQL%03d", n);
      CheckValue(file.ReadText(section, key, ""));
    }
    for (int n = 1; n <= 30; n += 29) {
      std::snprintf(key, sizeof key, "FELD%02d", n);
      CheckValue(file.ReadText(section, key, "default"));
      std::snprintf(key, sizeof key, "FLEN%02d", n);
      (void)file.ReadInteger(section, key, 0);
    }
  }

  // Section and key names cut from the input: the text after the first "["
  // up to "]", and the text before the first "=".
  const size_t open = bytes.find('[');
  const size_t close = bytes.find(']', open == std::string_view::npos ? 0 : open);
  const size_t equals = bytes.find('=');
  if (open != std::string_view::npos && close != std::string_view::npos && equals != std::string_view::npos) {
    const std::string_view section = bytes.substr(open + 1, close - open - 1);
    const size_t lineStart = bytes.rfind('\n', equals);
    const size_t keyStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    const std::string_view key = bytes.substr(keyStart, equals - keyStart);
    const std::string value = file.ReadText(section, key, "");
    CheckValue(value);
    (void)file.ReadInteger(section, key, -1);
  }
  return 0;
}
