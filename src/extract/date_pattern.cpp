#include "extract/date_pattern.h"

#include <cstring>

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
  // Patterns of literals and two-digit fields (four-digit years too), such
  // as most short dates and medium times, also get their text with zeros
  // for digits, whose places the numbers fill.
  for (const Token& t : result.tokens_) {
    if (t.field == 0) {
      result.fixed_.append(result.literals_, t.begin, t.length);
      continue;
    }
    if (t.field == 'a' || !(t.count == 2 || (t.field == 'y' && t.count == 4))) {
      result.fixed_.clear();
      result.fixedFields_.clear();
      break;
    }
    result.fixedFields_.push_back(FixedField{t.field, t.count, result.fixed_.size()});
    result.fixed_.append(static_cast<size_t>(t.count), '0');
  }
  return result;
}

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859606162636465666768697071727374757677787980"
    "81828384858687888990919293949596979899";

// Two digits of a number below 100, and four of one below 10000.
void PutTwoDigits(unsigned number, char* at) {
  at[0] = kDigitPairs[2 * number];
  at[1] = kDigitPairs[2 * number + 1];
}
void PutFourDigits(unsigned number, char* at) {
  PutTwoDigits(number / 100, at);
  PutTwoDigits(number % 100, at + 2);
}

// The number a numeric field shows.
int FieldNumber(char field, int count, int year, int month, int day, int hour, int minute, int second) {
  switch (field) {
    case 'd':
      return day;
    case 'M':
    case 'L':
      return month;
    case 'y':
      // "yy" is the year of the century; every other count pads the full year.
      return count == 2 ? year % 100 : year;
    case 'H':
      return hour;
    case 'k':
      return hour == 0 ? 24 : hour;
    case 'h':
      return hour % 12 == 0 ? 12 : hour % 12;
    case 'K':
      return hour % 12;
    case 'm':
      return minute;
    case 's':
      return second;
    default:
      return 0;
  }
}

// The rendered text collects in a buffer on the stack and goes to the
// output in one append, or a few for very long literals and markers.
class RenderBuffer {
 public:
  explicit RenderBuffer(std::string& out) : out_(out) {}
  ~RenderBuffer() { Flush(); }
  RenderBuffer(const RenderBuffer&) = delete;
  RenderBuffer& operator=(const RenderBuffer&) = delete;

  void Bytes(const char* data, size_t length) {
    if (length > kBytes - used_) {
      Flush();
      if (length > kBytes) {
        out_.append(data, length);
        return;
      }
    }
    // Most literals are a separator or two: copied here, not by a call.
    for (size_t k = 0; k < length; ++k) bytes_[used_ + k] = data[k];
    used_ += length;
  }

  // A non-negative number with at least minDigits digits.
  void Number(int value, int minDigits) {
    const unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    // Days, months, hours, minutes, seconds and four-digit years, in pairs of
    // digits from a table.
    if (kBytes - used_ >= 4) {
      char* at = bytes_ + used_;
      if (rest < 100 && minDigits <= 2) {
        if (rest >= 10 || minDigits == 2) {
          PutTwoDigits(rest, at);
          used_ += 2;
        } else {
          at[0] = static_cast<char>('0' + rest);
          used_ += 1;
        }
        return;
      }
      if (rest >= 1000 && rest < 10000 && minDigits <= 4) {
        PutFourDigits(rest, at);
        used_ += 4;
        return;
      }
    }
    char digits[16];
    size_t count = 0;
    unsigned left = rest;
    do {
      digits[sizeof digits - 1 - count++] = static_cast<char>('0' + left % 10);
      left /= 10;
    } while (left != 0);
    const size_t zeros = minDigits > static_cast<int>(count) ? static_cast<size_t>(minDigits) - count : 0;
    if (zeros + count > kBytes - used_) Flush();
    if (zeros + count > kBytes) {
      out_.append(zeros, '0');
    } else {
      std::memset(bytes_ + used_, '0', zeros);
      used_ += zeros;
    }
    Bytes(digits + sizeof digits - count, count);
  }

 private:
  static constexpr size_t kBytes = 96;

  void Flush() {
    out_.append(bytes_, used_);
    used_ = 0;
  }

  std::string& out_;
  char bytes_[kBytes];
  size_t used_ = 0;
};

}  // namespace

void DatePattern::Render(int year, int month, int day, int hour, int minute, int second,
                         std::string& out) const {
  if (!fixed_.empty() && RenderFixed(year, month, day, hour, minute, second, out)) return;
  RenderBuffer text(out);
  for (const Token& t : tokens_) {
    switch (t.field) {
      case 0:
        text.Bytes(literals_.data() + t.begin, t.length);
        break;
      case 'a': {
        const std::string& marker = hour < 12 ? am_ : pm_;
        text.Bytes(marker.data(), marker.size());
        break;
      }
      default:
        text.Number(FieldNumber(t.field, t.count, year, month, day, hour, minute, second), t.count);
        break;
    }
  }
}

bool DatePattern::RenderFixed(int year, int month, int day, int hour, int minute, int second,
                              std::string& out) const {
  const size_t start = out.size();
  out.append(fixed_);
  char* text = &out[start];
  for (const FixedField& f : fixedFields_) {
    const int value = FieldNumber(f.field, f.count, year, month, day, hour, minute, second);
    const unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    char* at = text + f.at;
    if (f.count == 2 && rest < 100) {
      PutTwoDigits(rest, at);
    } else if (f.count == 4 && rest < 10000) {
      PutFourDigits(rest, at);
    } else {
      out.resize(start);  // wider than its field: the general way
      return false;
    }
  }
  return true;
}

}  // namespace qj
