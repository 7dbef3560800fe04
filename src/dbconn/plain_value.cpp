#include "dbconn/plain_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qj {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly count digits at text[at], as a number.
bool Digits(std::string_view text, size_t at, size_t count, int& number) {
  if (at + count > text.size()) return false;
  number = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return false;
    number = number * 10 + (text[i] - '0');
  }
  return true;
}

bool ParseInteger(std::string_view text, int64_t& out) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  if (i == text.size() || text.size() - i > 19) return false;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (magnitude > limit) return false;
  out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// A decimal number: optional "-", digits with an optional "." and fraction,
// an optional exponent. No blanks, signs "+", "inf", "nan" or hex forms.
bool ParseFloat(std::string_view text, double& out) {
  size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (i == text.size() || !(IsDigit(text[i]) || text[i] == '.')) return false;
  const char* end = text.data() + text.size();
  const std::from_chars_result r = std::from_chars(text.data(), end, out, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range && r.ptr == end &&
      text.substr(i) == "1.79769313486232e+308") {
    // The largest double in 15 significant digits rounds above it.
    out = i == 1 ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
    return true;
  }
  return r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool SqliteNumberForm(std::string_view t) {
  auto digit = [&t](size_t i) { return i < t.size() && IsDigit(t[i]); };
  size_t i = !t.empty() && t[0] == '-' ? 1 : 0;
  if (!digit(i) || (t[i] == '0' && digit(i + 1))) return false;
  while (digit(i)) ++i;
  if (i == t.size()) return true;
  if (t[i++] != '.') return false;
  const size_t fraction = i;
  while (digit(i)) ++i;
  if (i == fraction || (t[i - 1] == '0' && i - 1 != fraction)) return false;
  if (i == t.size()) return true;
  if (t[i++] != 'e' || i >= t.size() || (t[i] != '+' && t[i] != '-')) return false;
  const size_t exponent = ++i;
  while (digit(i)) ++i;
  return i == t.size() && i - exponent >= 2 && i - exponent <= 3;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// A real calendar day from year 1 on; drivers differ in what they make of
// the rest.
bool ParseDate(std::string_view text, ColumnValue& v) {
  return text.size() >= 10 && Digits(text, 0, 4, v.year) && text[4] == '-' && Digits(text, 5, 2, v.month) &&
         text[7] == '-' && Digits(text, 8, 2, v.day) && v.year >= 1 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
         v.day <= DaysInMonth(v.year, v.month);
}

// "hh:mm:ss" at text[at], or "hh:mm" with 0 seconds when withSeconds is off.
bool ParseTime(std::string_view text, size_t at, bool withSeconds, ColumnValue& v) {
  if (!Digits(text, at, 2, v.hour) || text[at + 2] != ':' || !Digits(text, at + 3, 2, v.minute)) return false;
  v.second = 0;
  if (withSeconds && (text[at + 5] != ':' || !Digits(text, at + 6, 2, v.second))) return false;
  return v.hour <= 23 && v.minute <= 59 && v.second <= 59;
}

// A fraction of a second from text[at] to the end, which the value does not keep.
bool FractionAt(std::string_view text, size_t at) {
  if (text[at] != '.' || text.size() == at + 1 || text.size() > at + 10) return false;
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return true;
}

}  // namespace

bool ParsePlainValue(ValueKind kind, std::string_view text, ColumnValue& value) {
  switch (kind) {
    case ValueKind::Integer:
      return ParseInteger(text, value.integer);
    case ValueKind::Float:
      return ParseFloat(text, value.real);
    case ValueKind::Date:
      return text.size() == 10 && ParseDate(text, value);
    case ValueKind::Time:
      return text.size() >= 8 && ParseTime(text, 0, true, value) && (text.size() == 8 || FractionAt(text, 8));
    case ValueKind::Timestamp: {
      // Without seconds, the minute begins: 0 seconds. (The SQLite3 driver
      // leaves the seconds of an earlier value there.)
      const bool withSeconds = text.size() != 16;
      if ((withSeconds && text.size() < 19) || !ParseDate(text, value) || text[10] != ' ' ||
          !ParseTime(text, 11, withSeconds, value)) {
        return false;
      }
      return text.size() <= 19 || FractionAt(text, 19);
    }
    default:
      return false;
  }
}

bool ParsePlainNumber(std::string_view text, ColumnValue& value) {
  if (ParseInteger(text, value.integer)) {
    value.kind = ValueKind::Integer;
    value.isUnsigned = false;
    return true;
  }
  if (!ParseFloat(text, value.real)) return false;
  value.kind = ValueKind::Float;
  return true;
}

bool ParseSqliteNumber(std::string_view text, ColumnValue& value) {
  return SqliteNumberForm(text) && ParsePlainNumber(text, value);
}

}  // namespace qj
