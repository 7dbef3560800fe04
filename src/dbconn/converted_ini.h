#pragma once
// The converted ini file "QJDNL00P.TXT": records of a header line and an entry
// line with ";"-separated fields, read with the reader's own cutting rules.
// A file that starts with a UTF-8 byte order mark, or is valid UTF-8 holding
// non-ASCII, is read as UTF-8 and converted to Windows-1252 before it is cut;
// every other file is Windows-1252.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qj {

struct ConvertedRecord {
  std::string HeaderText;
  int32_t Number = 0;
  std::string Key;
  std::string Value;
  // False for an entry line without any ";": it has no number text, and its
  // record is never matched by number (Number stays 0).
  bool HasNumber = true;
  // The 1-based line of the file where the record's header line starts; 0
  // for a cleared record.
  size_t HeaderLine = 0;
};

// Limits of the reader: bytes per read of a header and an entry line (line
// end included), and the longest key, value and number text kept.
inline constexpr size_t kHeaderLineLimit = 199;
inline constexpr size_t kEntryLineLimit = 399;
inline constexpr size_t kKeyLimit = 200;
inline constexpr size_t kValueLimit = 200;
inline constexpr size_t kNumberTextLimit = 11;

// A record that is out of shape: its header line lacks the two ";" around a
// header text, or its entry line does not start with a number. A comment or
// empty line among the records shifts every pairing after it, and the first
// such record is where the shift shows.
struct MisshapenLine {
  size_t LineNumber = 0;  // 1-based line of the file
  std::string Text;       // the line without its line end
  bool IsHeader = false;  // the header line (else the entry line) is out of shape
};

// The converted ini file taken apart once into its records; every lookup
// then works on them with the same matching rules as a read of the file.
class ConvertedIniFile {
 public:
  ConvertedIniFile() = default;
  static ConvertedIniFile Parse(std::string_view fileBytes);

  // The first record that matches by header text, key or number (any one
  // suffices); a cleared record when none does.
  ConvertedRecord Find(std::string_view headerText, std::string_view key, int32_t number) const;
  // The first record whose key is exactly this key, or nullptr: for optional
  // keys, which a record matching every lookup must not answer.
  const ConvertedRecord* FindKey(std::string_view key) const;
  // Every record in file order.
  const std::vector<ConvertedRecord>& Records() const { return records_; }
  // The first record out of shape, or nullptr.
  const MisshapenLine* FirstMisshapen() const { return misshapen_.LineNumber == 0 ? nullptr : &misshapen_; }

 private:
  std::vector<ConvertedRecord> records_;
  MisshapenLine misshapen_;
};

// The first record of the file contents that matches by header text, key or
// number (any one suffices); a cleared record when none does.
ConvertedRecord FindConvertedRecord(std::string_view fileBytes, std::string_view headerText,
                                    std::string_view key, int32_t number);

// Reads the file at filePath and returns the matching record (or a cleared
// one). Prints nothing.
ConvertedRecord LookupConvertedValue(const std::string& headerText, const std::string& key, int32_t number,
                                     const std::string& filePath);

// The number of a number text: leading white space skipped, an optional sign,
// then decimal digits up to the first other character; no digits give 0, and
// the value wraps around within 32 bits.
int32_t ReadNumberText(std::string_view text);

}  // namespace qj
