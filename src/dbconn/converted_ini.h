#pragma once
// The converted ini file "QJDNL00P.TXT": records of a header line and an entry
// line with ";"-separated fields, read with the reader's own cutting rules.

#include <cstdint>
#include <string>
#include <string_view>

namespace qj {

struct ConvertedRecord {
  std::string HeaderText;
  int32_t Number = 0;
  std::string Key;
  std::string Value;
};

// The first record of the file contents that matches by header text, key or
// number (any one suffices); a cleared record when none does.
ConvertedRecord FindConvertedRecord(std::string_view fileBytes, std::string_view headerText,
                                    std::string_view key, int32_t number);

// Reads the file at filePath and leaves the matching record (or a cleared one)
// in the run context's LookupResult. Prints nothing.
void LookupConvertedValue(const std::string& headerText, const std::string& key, int32_t number,
                          const std::string& filePath);

}  // namespace qj
