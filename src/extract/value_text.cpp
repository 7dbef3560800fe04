#include "extract/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "driver/run_context.h"
#include "extract/date_pattern.h"
#include "platform/locale_env.h"
#include "platform/locale_formats.h"
#include "platform/text_util.h"

namespace qj {

namespace {

void AppendInteger(int64_t value, std::string& out) {
  if (value < 0) out.push_back('-');
  // The magnitude as unsigned, so that the smallest int64 works too.
  AppendDigits(value < 0 ? 0u - static_cast<uint64_t>(value) : static_cast<uint64_t>(value), 1, out);
}

void AppendHex(const std::string& bytes, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0x0F]);
  }
}

// A count of hundredths as a decimal number: no fraction when it is whole,
// no trailing zero in the fraction.
void AppendHundredths(int64_t hundredths, std::string_view decimalSymbol, std::string& out) {
  const uint64_t magnitude = hundredths < 0 ? 0u - static_cast<uint64_t>(hundredths) : static_cast<uint64_t>(hundredths);
  if (hundredths < 0) out.push_back('-');
  AppendDigits(magnitude / 100, 1, out);
  const unsigned fraction = static_cast<unsigned>(magnitude % 100);
  if (fraction == 0) return;
  out.append(decimalSymbol);
  out.push_back(static_cast<char>('0' + fraction / 10));
  if (fraction % 10 != 0) out.push_back(static_cast<char>('0' + fraction % 10));
}

}  // namespace

void AppendGeneralNumber(double value, std::string_view decimalSymbol, std::string& out) {
  if (std::isnan(value)) {
    out += "NAN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  if (value == 0.0) {
    out.push_back('0');
    return;
  }
  // Amounts of whole hundredths, the common case, below 10 to the 13th:
  // when some count of hundredths divided by 100 gives back exactly this
  // value, the value is the double nearest to that decimal of at most 15
  // digits, and rounding it to 15 digits gives that decimal (as for the
  // shortest form below), in fixed notation at these exponents.
  if (std::fabs(value) < 1e13) {
    const double hundredths = std::nearbyint(value * 100.0);
    if (hundredths / 100.0 == value) {
      AppendHundredths(static_cast<int64_t>(hundredths), decimalSymbol, out);
      return;
    }
  }
  // The digits and decimal exponent of the value rounded to 15 significant
  // digits, from the scientific form "-d.ddde+XX" (to_chars ignores the C
  // locale). For a normal value the shortest form that reads back as the
  // value is tried first: when it has at most 15 digits, the value lies
  // within half a unit in its last binary place (53 bits) of it, less than
  // half a unit in its 15th digit, so rounding to 15 digits gives exactly
  // those digits. Longer ones, and subnormal values with their fewer bits,
  // are rounded from the exact binary value with 14 fraction digits, carry
  // into the exponent included.
  char buf[40];
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::to_chars_result written = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific);
  if (std::fabs(value) < std::numeric_limits<double>::min() ||
      std::count_if(buf, std::find(buf, written.ptr, 'e'), isDigit) > 15) {
    written = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, 14);
  }
  *written.ptr = '\0';
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[15];
  int count = 0;
  for (; *p != 'e'; ++p) {
    if (isDigit(*p)) digits[count++] = *p;
  }
  const int exponent = std::atoi(p + 1);
  while (count > 1 && digits[count - 1] == '0') --count;

  if (negative) out.push_back('-');
  if (exponent >= -4 && exponent <= 14) {
    if (exponent >= 0) {
      for (int i = 0; i <= exponent; ++i) out.push_back(i < count ? digits[i] : '0');
      if (count > exponent + 1) {
        out.append(decimalSymbol);
        out.append(digits + exponent + 1, static_cast<size_t>(count - exponent - 1));
      }
    } else {
      out.push_back('0');
      out.append(decimalSymbol);
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out.append(digits, static_cast<size_t>(count));
    }
    return;
  }
  out.push_back(digits[0]);
  if (count > 1) {
    out.append(decimalSymbol);
    out.append(digits + 1, static_cast<size_t>(count - 1));
  }
  out.push_back('E');
  AppendInteger(exponent, out);
}

struct ValueTextFormatter::Form {
  std::optional<DatePattern> fast;
  std::unique_ptr<DateFormatter> slow;

  Form(const std::string& locale, const std::string& pattern) {
    if (UsesAsciiDigits(locale) && UsesGregorianCalendar(locale)) {
      const AmPmMarkers markers = AmPmMarkersOf(locale);
      fast = DatePattern::Compile(pattern, markers.am, markers.pm);
    }
    if (!fast) slow = std::make_unique<DateFormatter>(locale, pattern);
  }

  void Append(int year, int month, int day, int hour, int minute, int second, std::string& out) {
    if (fast) {
      fast->Render(year, month, day, hour, minute, second, out);
    } else {
      slow->Append(year, month, day, hour, minute, second, out);
    }
  }
};

ValueTextFormatter::ValueTextFormatter(std::string numericLocale, std::string timeLocale)
    : numericLocale_(std::move(numericLocale)), timeLocale_(std::move(timeLocale)) {}

ValueTextFormatter::~ValueTextFormatter() = default;

ValueTextFormatter::Form& ValueTextFormatter::DateForm() {
  if (!dateForm_) dateForm_ = std::make_unique<Form>(timeLocale_, ShortDatePattern(timeLocale_));
  return *dateForm_;
}

ValueTextFormatter::Form& ValueTextFormatter::TimeForm() {
  if (!timeForm_) timeForm_ = std::make_unique<Form>(timeLocale_, MediumTimePattern(timeLocale_));
  return *timeForm_;
}

void ValueTextFormatter::AppendDate(int year, int month, int day, std::string& out) {
  DateForm().Append(year, month, day, 0, 0, 0, out);
}

void ValueTextFormatter::AppendTime(int hour, int minute, int second, std::string& out) {
  // The date part is a fixed valid day: the time pattern never shows it.
  TimeForm().Append(2000, 1, 1, hour, minute, second, out);
}

void ValueTextFormatter::Append(const ColumnValue& value, std::string& out) {
  switch (value.kind) {
    case ValueKind::Null:
      return;
    case ValueKind::Text:
      out += value.bytes;
      return;
    case ValueKind::Integer:
      if (value.isUnsigned) {
        AppendDigits(value.unsignedInteger, 1, out);
      } else {
        AppendInteger(value.integer, out);
      }
      return;
    case ValueKind::Float:
      if (!decimalSymbol_) decimalSymbol_ = DecimalSymbol(numericLocale_);
      AppendGeneralNumber(value.real, *decimalSymbol_, out);
      return;
    case ValueKind::Date:
      AppendDate(value.year, value.month, value.day, out);
      return;
    case ValueKind::Time:
      AppendTime(value.hour, value.minute, value.second, out);
      return;
    case ValueKind::Timestamp:
      AppendDate(value.year, value.month, value.day, out);
      if (value.hour != 0 || value.minute != 0 || value.second != 0) {
        out.push_back(' ');
        AppendTime(value.hour, value.minute, value.second, out);
      }
      return;
    case ValueKind::Boolean:
      out.push_back(value.boolean ? '1' : '0');
      return;
    case ValueKind::Binary:
      AppendHex(value.bytes, out);
      return;
  }
}

void AppendValueText(const ColumnValue& value, std::string& out) {
  std::shared_ptr<ValueTextFormatter>& formatter = ctx.ValueTexts;
  if (!formatter) {
    formatter = std::make_shared<ValueTextFormatter>(LocaleForCategory(LocaleCategory::Numeric),
                                                     LocaleForCategory(LocaleCategory::Time));
  }
  formatter->Append(value, out);
}

std::string ValueText(const ColumnValue& value) {
  std::string out;
  AppendValueText(value, out);
  return out;
}

}  // namespace qj
