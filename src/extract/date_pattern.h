#pragma once
// A small renderer for ICU date and time patterns, so that per-row dates and
// times need no ICU formatter call. It handles the numeric fields the short
// date and medium time patterns use (d, M, L, y, H, k, h, K, m, s), the AM/PM
// marker a, literal text and quoted literals; a pattern with any other field
// is refused, and the caller then falls back to ICU's own formatter.

#include <optional>
#include <string>
#include <vector>

namespace qj {

class DatePattern {
 public:
  // Compiles a UTF-8 ICU pattern; literal text is stored in Windows-1252 with
  // no-break spaces turned into blanks. Empty when the pattern holds a field
  // the renderer does not handle.
  static std::optional<DatePattern> Compile(const std::string& patternUtf8, const std::string& am,
                                            const std::string& pm);

  void Render(int year, int month, int day, int hour, int minute, int second, std::string& out) const;

 private:
  struct Token {
    char field;   // 0 for literal text
    int count;    // repeat count of the field letter
    size_t begin;  // literal text: range in literals_
    size_t length;
  };
  // A field of the fixed text: its letter, its count (2, or 4 for a year)
  // and where its digits lie.
  struct FixedField {
    char field;
    int count;
    size_t at;
  };

  // Renders through the fixed text; false, with out as it was, when a
  // number is wider than its field.
  bool RenderFixed(int year, int month, int day, int hour, int minute, int second, std::string& out) const;

  std::vector<Token> tokens_;
  std::string literals_;
  std::string fixed_;  // empty unless every field has a fixed width
  std::vector<FixedField> fixedFields_;
  std::string am_, pm_;
};

}  // namespace qj
