#include "dbconn/converted_ini.h"

#include <cstdio>

#include "platform/text_encoding.h"
#include "platform/text_util.h"

namespace qj {

namespace {

// The file as text-mode reading delivers it: every CR dropped, and a 0x1A
// byte ends the file.
std::string TextModeContents(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\x1A') break;
    if (c != '\r') text.push_back(c);
  }
  return text;
}

long FindSeparator(std::string_view line, char c, int n);

// Reads lines like a line reader with a fixed buffer: at most `limit` bytes,
// stopping after a line end; the rest of a longer line is the next line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Read(size_t limit, std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    if (pos_ > 0 && text_[pos_ - 1] == '\n') ++lineNumber_;
    size_t end = pos_;
    while (end < text_.size() && end - pos_ < limit) {
      if (text_[end++] == '\n') break;
    }
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    return true;
  }

  // The 1-based line of the file where the last read started.
  size_t LineNumber() const { return lineNumber_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t lineNumber_ = 1;
};

// A header line names file, group and header text: at least two ";".
bool IsHeaderShaped(std::string_view header) { return FindSeparator(header, ';', 2) != FindSeparator(header, ';', 1); }

// An entry line starts with its number: blanks, an optional sign, a digit.
bool StartsWithNumber(std::string_view entry) {
  size_t i = 0;
  while (i < entry.size() && (entry[i] == ' ' || entry[i] == '\t')) ++i;
  if (i < entry.size() && (entry[i] == '+' || entry[i] == '-')) ++i;
  return i < entry.size() && entry[i] >= '0' && entry[i] <= '9';
}

std::string WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return std::string(line);
}

// Position of the n-th occurrence of c; of the last one when there are fewer;
// -1 when there is none.
long FindSeparator(std::string_view line, char c, int n) {
  long found = -1;
  int count = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == c) {
      found = static_cast<long>(i);
      if (++count == n) break;
    }
  }
  return found;
}

// A field by start and length: a positive length takes that many bytes, 0
// takes the rest of the line with its line end, a negative length nothing.
std::string_view CutField(std::string_view line, long start, long length) {
  if (length < 0 || start < 0 || static_cast<size_t>(start) > line.size()) return {};
  if (length == 0) return line.substr(static_cast<size_t>(start));
  return line.substr(static_cast<size_t>(start), static_cast<size_t>(length));
}

std::string Limited(std::string_view text, size_t limit) { return std::string(text.substr(0, limit)); }

ConvertedRecord CutRecord(std::string_view header, std::string_view entry) {
  ConvertedRecord record;
  const long h1 = FindSeparator(header, ';', 1);
  const long h2 = FindSeparator(header, ';', 2);
  record.HeaderText = std::string(CutField(header, h1 + 1, h2 - h1 - 1));

  const long p1 = FindSeparator(entry, ';', 1);
  const long p2 = FindSeparator(entry, ';', 2);
  const long e = FindSeparator(entry, '\n', 1);
  if (p1 < 0) {
    // An entry line without ";" has no number text. Reading that as 0 would
    // let a stray line (a blank line, say) answer every lookup for number 0
    // with its whole line; so such a record is never matched by its number.
    record.HasNumber = false;
  } else {
    record.Number = ReadNumberText(Limited(CutField(entry, 0, p1), kNumberTextLimit));
  }
  record.Key = Limited(CutField(entry, p1 + 1, p2 - p1 - 1), kKeyLimit);
  record.Value = Limited(CutField(entry, p2 + 1, p1 >= 0 ? e - p2 - 1 : 0), kValueLimit);
  return record;
}

bool Matches(const ConvertedRecord& r, std::string_view headerText, std::string_view key, int32_t number) {
  return r.HeaderText == headerText || r.Key == key || (r.HasNumber && r.Number == number);
}

}  // namespace

int32_t ReadNumberText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

ConvertedIniFile ConvertedIniFile::Parse(std::string_view fileBytes) {
  ConvertedIniFile file;
  const std::string text = StoredTextAsCp1252(TextModeContents(fileBytes));
  LineReader reader(text);
  std::string_view header, entry;
  while (reader.Read(kHeaderLineLimit, header)) {
    const size_t headerLine = reader.LineNumber();
    if (!reader.Read(kEntryLineLimit, entry)) break;
    if (file.misshapen_.LineNumber == 0) {
      if (!IsHeaderShaped(header)) {
        file.misshapen_ = MisshapenLine{headerLine, WithoutLineEnd(header), true};
      } else if (!StartsWithNumber(entry)) {
        file.misshapen_ = MisshapenLine{reader.LineNumber(), WithoutLineEnd(entry), false};
      }
    }
    file.records_.push_back(CutRecord(header, entry));
    file.records_.back().HeaderLine = headerLine;
  }
  return file;
}

ConvertedRecord ConvertedIniFile::Find(std::string_view headerText, std::string_view key, int32_t number) const {
  for (const ConvertedRecord& record : records_) {
    if (Matches(record, headerText, key, number)) return record;
  }
  return {};
}

const ConvertedRecord* ConvertedIniFile::FindKey(std::string_view key) const {
  for (const ConvertedRecord& record : records_) {
    if (record.Key == key) return &record;
  }
  return nullptr;
}

ConvertedRecord FindConvertedRecord(std::string_view fileBytes, std::string_view headerText, std::string_view key,
                                    int32_t number) {
  return ConvertedIniFile::Parse(fileBytes).Find(headerText, key, number);
}

ConvertedRecord LookupConvertedValue(const std::string& headerText, const std::string& key, int32_t number,
                                     const std::string& filePath) {
  // A read error ends the file like its end does: the lines read before it
  // still count, and nothing is reported.
  const FileBytes file = ReadWholeFile(filePath);
  if (!file.opened) return ConvertedRecord{};
  return FindConvertedRecord(file.bytes, headerText, key, number);
}

}  // namespace qj
