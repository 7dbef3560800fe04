#pragma once
// The converted ini file "QJDNL00P.TXT": records of a header line and an entry
// line with ";"-separated fields, read with the reader's own cutting rules.
// A file that starts with a UTF-8 byte order mark, or is valid UTF-8 holding
// non-ASCII, is read as UTF-8 and converted to Windows-1252 before it is cut;
// every other file is Windows-1252.

#include <cstdint>
#include <string>
#include <string_view>

namespace qj {

struct ConvertedRecord {
  std::string HeaderText;
  int32_t Number = 0;
  std::string Key;
  std::string Value;
  // False for an entry line without any ";": it has no number text, and its
  // record is never matched by number (Number stays 0).
  bool HasNumber = true;
};

// Limits of the reader: bytes per read of a header and an entry line (line
// end included), and the longest key, value and number text kept.
inline constexpr size_t kHeaderLineLimit = 199;
inline constexpr size_t kEntryLineLimit = 399;
inline constexpr size_t kKeyLimit = 200;
inline constexpr size_t kValueLimit = 200;
inline constexpr size_t kNumberTextLimit = 11;

// The first record of the file contents that matches by header text, key or
// number (any one suffices); a cleared record when none does.
ConvertedRecord FindConvertedRecord(std::string_view fileBytes, std::string_view headerText,
                                    std::string_view key, int32_t number);

// Reads the file at filePath and leaves the matching record (or a cleared one)
// in the run context's LookupResult. Prints nothing.
void LookupConvertedValue(const std::string& headerText, const std::string& key, int32_t number,
                          const std::string& filePath);

// The number of a number text: leading white space skipped, an optional sign,
// then decimal digits up to the first other character; no digits give 0, and
// the value wraps around within 32 bits.
int32_t ReadNumberText(std::string_view text);

}  // namespace qj
