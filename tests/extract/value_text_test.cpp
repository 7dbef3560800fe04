// Text forms of column values: numbers, dates and times by locale, and the
// locale-free kinds.

#include "extract/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "driver/run_context.h"
#include "platform/locale_formats.h"
#include "support/test_support.h"

namespace {

using qj::ColumnValue;
using qj::ValueKind;

ColumnValue Value(ValueKind kind, int y, int m, int d, int h, int mi, int s, double r = 0) {
  ColumnValue v;
  v.kind = kind, v.real = r;
  v.year = y, v.month = m, v.day = d, v.hour = h, v.minute = mi, v.second = s;
  return v;
}
ColumnValue Date(int y, int m, int d) { return Value(ValueKind::Date, y, m, d, 0, 0, 0); }
ColumnValue Time(int h, int mi, int s) { return Value(ValueKind::Time, 0, 0, 0, h, mi, s); }
ColumnValue Stamp(int y, int m, int d, int h, int mi, int s) { return Value(ValueKind::Timestamp, y, m, d, h, mi, s); }
ColumnValue Real(double r) { return Value(ValueKind::Float, 0, 0, 0, 0, 0, 0, r); }

std::string Text(const char* numeric, const char* time, const ColumnValue& v) {
  qj::ValueTextFormatter f(numeric, time);
  std::string out = "<";
  f.Append(v, out);
  return out.substr(1);
}

TEST(GeneralNumber, FormTableWithCommaAndPoint) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    const char* point;
  } rows[] = {
      {0.0, "0"}, {-0.0, "0"}, {42.0, "42"}, {-12.0, "-12"}, {12.5, "12.5"},
      {1.0 / 3.0, "0.333333333333333"}, {2.0 / 3.0, "0.666666666666667"}, {0.1 + 0.2, "0.3"},
      {1e20, "1E20"}, {1e-5, "1E-5"}, {-2.5e-7, "-2.5E-7"}, {0.0001, "0.0001"}, {0.00015, "0.00015"},
      {-0.00012345, "-0.00012345"}, {0.000099999, "9.9999E-5"}, {1e15, "1E15"}, {1e14, "100000000000000"},
      {999999999999999.0, "999999999999999"},
      // Rounding to 15 digits carries into the next power of ten.
      {999999999999999.9, "1E15"}, {0.000099999999999999999, "0.0001"},
      {9007199254740993.0, "9.00719925474099E15"}, {123456.789, "123456.789"}, {-1.5e300, "-1.5E300"},
      {5e-324, "4.94065645841247E-324"}, {std::numeric_limits<double>::quiet_NaN(), "NAN"}, {inf, "INF"},
      {-inf, "-INF"},
  };
  for (const auto& r : rows) {
    std::string point = "ab", comma;
    qj::AppendGeneralNumber(r.value, ".", point);
    EXPECT_EQ(point, std::string("ab") + r.point) << r.value;
    qj::AppendGeneralNumber(r.value, ",", comma);
    std::string expected = r.point;
    for (char& c : expected) c = c == '.' ? ',' : c;
    EXPECT_EQ(comma, expected) << r.value;
  }
}

// The general form against the C library's "%.15g", which rounds the exact
// binary value to 15 significant digits and picks fixed notation for the
// same exponents: only its exponent is written differently ("e+20" for
// "E20", "e-05" for "E-5"). Random bit patterns, amounts with two decimals
// (small ones, and up to the largest written from their hundredths),
// integers and values next to powers of ten.
TEST(GeneralNumber, AgreesWithTheCLibraryOnRandomValues) {
  const auto expected = [](double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string text = buf;
    const size_t e = text.find('e');
    if (e == std::string::npos) return text == "-0" ? std::string("0") : text;
    std::string exponent = text.substr(e + 1);
    const bool minus = exponent[0] == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return text.substr(0, e) + "E" + (minus ? "-" : "") + exponent;
  };
  std::mt19937_64 rng(20261209);
  std::vector<double> values;
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = rng();
    double random;
    std::memcpy(&random, &bits, sizeof random);
    if (std::isfinite(random)) values.push_back(random);
    values.push_back(static_cast<double>(static_cast<int64_t>(rng() % 2000000001) - 1000000000) / 100.0);
    values.push_back(static_cast<double>(static_cast<int64_t>(rng() % 2000000000000001) - 1000000000000000) / 100.0);
    values.push_back(static_cast<double>(static_cast<int64_t>(rng() % 2001) - 1000) / 100.0);
    values.push_back(static_cast<double>(static_cast<int64_t>(rng() >> (rng() % 64))));
    const double power = std::pow(10.0, static_cast<int>(rng() % 40) - 20);
    values.push_back(std::nextafter(power, 0.0));
    values.push_back(std::nextafter(power, 1e300));
    values.push_back(power * (1.0 - 1e-15 * static_cast<double>(rng() % 10)));
    // Subnormal values have fewer significant bits than normal ones.
    bits = rng() >> 12;
    std::memcpy(&random, &bits, sizeof random);
    values.push_back(random);
  }
  values.push_back(std::numeric_limits<double>::min());
  values.push_back(std::nextafter(std::numeric_limits<double>::min(), 0.0));
  for (const double value : values) {
    std::string out;
    qj::AppendGeneralNumber(value, ".", out);
    ASSERT_EQ(out, expected(value)) << std::hexfloat << value;
  }
}

TEST(ValueText, LocaleFreeKinds) {
  ColumnValue v = Stamp(2026, 12, 8, 13, 45, 7);
  v.kind = ValueKind::Null;  // NULL of any column type: the other fields are never looked at
  v.bytes = "x", v.real = 1.5, v.integer = 7;
  EXPECT_EQ(Text("de_DE", "de_DE", v), "");
  v.kind = ValueKind::Text, v.bytes = std::string(" \tM\xFC" "ller\r\n\0 ", 11);
  EXPECT_EQ(Text("de_DE", "de_DE", v), v.bytes);
  v.kind = ValueKind::Integer, v.integer = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(Text("de_DE", "de_DE", v), "-9223372036854775808");
  v.kind = ValueKind::Boolean, v.boolean = true;
  EXPECT_EQ(Text("de_DE", "de_DE", v), "1");
  v.kind = ValueKind::Binary, v.bytes = std::string("\x00\x0A\xFF\x7f", 4);
  EXPECT_EQ(Text("de_DE", "de_DE", v), "000AFF7F");
}

TEST(ValueText, DatesTimesAndNumbersByLocale) {
  const struct {
    const char *numeric, *time;
    ColumnValue value;
    const char* expected;
  } cases[] = {
      {"de_DE", "de_DE", Date(2026, 12, 8), "08.12.2026"},
      {"de_DE", "de_DE", Time(13, 45, 7), "13:45:07"},
      {"de_DE", "de_DE", Time(0, 0, 0), "00:00:00"},
      {"de_DE", "de_DE", Stamp(2026, 12, 8, 13, 45, 7), "08.12.2026 13:45:07"},
      {"de_DE", "de_DE", Stamp(2026, 12, 8, 0, 0, 0), "08.12.2026"},
      {"de_DE", "de_DE", Stamp(2026, 12, 8, 0, 0, 1), "08.12.2026 00:00:01"},
      {"de_DE", "de_DE", Date(999, 1, 2), "02.01.0999"},
      {"de_DE", "de_DE", Real(12.5), "12,5"},
      {"en_US", "en_US", Date(2026, 12, 8), "12/8/2026"},
      {"en_US", "en_US", Time(13, 45, 7), "1:45:07 PM"},
      {"en_US", "en_US", Time(0, 5, 9), "12:05:09 AM"},
      {"en_US", "en_US", Time(12, 0, 0), "12:00:00 PM"},
      {"en_US", "en_US", Stamp(2026, 1, 31, 9, 3, 0), "1/31/2026 9:03:00 AM"},
      {"en_US", "en_US", Real(-2.5e-7), "-2.5E-7"},
      {"root", "root", Date(2026, 12, 8), "2026-12-08"},
      {"root", "root", Stamp(2026, 12, 8, 13, 45, 7), "2026-12-08 13:45:07"},
      {"root", "root", Real(1.0 / 3.0), "0.333333333333333"},
      // Numbers and dates follow their own categories.
      {"de_DE", "en_US", Real(0.5), "0,5"},
      {"de_DE", "en_US", Date(2026, 12, 8), "12/8/2026"},
      {"root", "th_TH", Date(2026, 12, 8), "8/12/2569"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.numeric, c.time, c.value), c.expected) << c.numeric << " " << c.time;
}

TEST(ValueText, FallsBackToIcuWhereTheRendererCannot) {
  // zh_TW's time pattern has a day-period field, ar_EG writes Arabic-Indic
  // digits, th_TH counts years in the Buddhist calendar.
  for (const char* loc : {"zh_TW", "ar_EG", "th_TH"}) {
    qj::DateFormatter date(loc, qj::ShortDatePattern(loc));
    qj::DateFormatter time(loc, qj::MediumTimePattern(loc));
    std::string expected;
    date.Append(2026, 12, 8, 0, 0, 0, expected);
    expected += ' ';
    time.Append(2000, 1, 1, 13, 45, 7, expected);
    EXPECT_EQ(Text("root", loc, Stamp(2026, 12, 8, 13, 45, 7)), expected) << loc;
    if (std::string(loc) != "th_TH") {
      EXPECT_NE(expected.find('?'), std::string::npos) << loc;  // not held by Windows-1252
    }
  }
}

TEST(ValueText, FormatterOfTheRunReadsTheEnvironmentOnce) {
  qjtest::ScopedEnv all("LC_ALL", nullptr), numeric("LC_NUMERIC", nullptr), time("LC_TIME", "en_US.UTF-8"),
      lang("LANG", "de_DE.UTF-8");
  qj::ctx.ValueTexts.reset();
  EXPECT_EQ(qj::ValueText(Real(2.5)) + " " + qj::ValueText(Date(2026, 12, 8)), "2,5 12/8/2026");
  setenv("LC_ALL", "C", 1);  // later changes do not change the run's forms
  EXPECT_EQ(qj::ValueText(Real(2.5)), "2,5");
  qj::ctx.ValueTexts.reset();
  EXPECT_EQ(qj::ValueText(Real(2.5)) + " " + qj::ValueText(Date(2026, 12, 8)), "2.5 2026-12-08");
  qj::ctx.ValueTexts.reset();
}

}  // namespace
