#include "extract/date_pattern.h"

#include "platform/locale_formats.h"
#include "platform/text_util.h"

namespace qj {

namespace {

bool IsPatternLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsNumericField(char field, int count) {
  switch (field) {
    case 'd': case 'y': case 'H': case 'k': case 'h': case 'K': case 'm': case 's':
      return true;
    case 'M': case 'L':
      return count <= 2;  // three or more letters name the month
    default:
      return false;
  }
}

// Appends a non-negative number with at least minDigits digits.
void AppendPadded(int value, int minDigits, std::string& out) {
  AppendDigits(value < 0 ? 0u : static_cast<uint64_t>(value), minDigits < 0 ? 0u : static_cast<size_t>(minDigits), out);
}

}  // namespace

std::optional<DatePattern> DatePattern::Compile(const std::string& patternUtf8, const std::string& am,
                                                const std::string& pm) {
  // Letters and quotes are ASCII, so the pattern can be scanned as UTF-8 and
  // only the literal runs need converting.
  DatePattern result;
  result.am_ = am;
  result.pm_ = pm;
  std::string literal;
  auto flushLiteral = [&]() {
    if (literal.empty()) return;
    const std::string bytes = Utf8ToCp1252Blanked(literal);
    result.tokens_.push_back(Token{0, 0, result.literals_.size(), bytes.size()});
    result.literals_ += bytes;
    literal.clear();
  };
  const std::string& p = patternUtf8;
  for (size_t i = 0; i < p.size();) {
    const char c = p[i];
    if (c == '\'') {
      if (i + 1 < p.size() && p[i + 1] == '\'') {  // '' is one quote
        literal.push_back('\'');
        i += 2;
        continue;
      }
      ++i;
      while (i < p.size()) {
        if (p[i] == '\'') {
          if (i + 1 < p.size() && p[i + 1] == '\'') {
            literal.push_back('\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        literal.push_back(p[i++]);
      }
      continue;
    }
    if (IsPatternLetter(c)) {
      size_t j = i;
      while (j < p.size() && p[j] == c) ++j;
      const int count = static_cast<int>(j - i);
      if (c != 'a' && !IsNumericField(c, count)) return std::nullopt;
      flushLiteral();
      result.tokens_.push_back(Token{c, count, 0, 0});
      i = j;
      continue;
    }
    literal.push_back(c);
    ++i;
  }
  flushLiteral();
  return result;
}

void DatePattern::Render(int year, int month, int day, int hour, int minute, int second,
                         std::string& out) const {
  for (const Token& t : tokens_) {
    switch (t.field) {
      case 0:
        out.append(literals_, t.begin, t.length);
        break;
      case 'd':
        AppendPadded(day, t.count, out);
        break;
      case 'M':
      case 'L':
        AppendPadded(month, t.count, out);
        break;
      case 'y':
        // "yy" is the year of the century; every other count pads the full year.
        AppendPadded(t.count == 2 ? year % 100 : year, t.count, out);
        break;
      case 'H':
        AppendPadded(hour, t.count, out);
        break;
      case 'k':
        AppendPadded(hour == 0 ? 24 : hour, t.count, out);
        break;
      case 'h':
        AppendPadded(hour % 12 == 0 ? 12 : hour % 12, t.count, out);
        break;
      case 'K':
        AppendPadded(hour % 12, t.count, out);
        break;
      case 'm':
        AppendPadded(minute, t.count, out);
        break;
      case 's':
        AppendPadded(second, t.count, out);
        break;
      case 'a':
        out += hour < 12 ? am_ : pm_;
        break;
      default:
        break;
    }
  }
}

}  // namespace qj
