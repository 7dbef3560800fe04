// Text forms of column values: numbers, dates and times by locale, and the
// locale-free kinds.

#include "extract/value_text.h"

#include "platform/locale_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

using qj::ColumnValue;
using qj::ValueKind;
using qj::ValueTextFormatter;

std::string Number(double v, const char* dec) {
  std::string out;
  qj::AppendGeneralNumber(v, dec, out);
  return out;
}

ColumnValue Date(int y, int m, int d) {
  ColumnValue v;
  v.kind = ValueKind::Date;
  v.year = y, v.month = m, v.day = d;
  return v;
}

ColumnValue Time(int h, int mi, int s) {
  ColumnValue v;
  v.kind = ValueKind::Time;
  v.hour = h, v.minute = mi, v.second = s;
  return v;
}

ColumnValue Stamp(int y, int m, int d, int h, int mi, int s) {
  ColumnValue v = Date(y, m, d);
  v.kind = ValueKind::Timestamp;
  v.hour = h, v.minute = mi, v.second = s;
  return v;
}

ColumnValue Real(double r) {
  ColumnValue v;
  v.kind = ValueKind::Float;
  v.real = r;
  return v;
}

std::string Text(ValueTextFormatter& f, const ColumnValue& v) {
  std::string out = "<";
  f.Append(v, out);
  return out.substr(1);
}

TEST(GeneralNumber, FormTableWithCommaAndPoint) {
  struct Row {
    double value;
    const char* comma;
    const char* point;
  };
  const Row rows[] = {
      {0.0, "0", "0"},
      {-0.0, "0", "0"},
      {42.0, "42", "42"},
      {-12.0, "-12", "-12"},
      {12.5, "12,5", "12.5"},
      {1.0 / 3.0, "0,333333333333333", "0.333333333333333"},
      {2.0 / 3.0, "0,666666666666667", "0.666666666666667"},
      {0.1 + 0.2, "0,3", "0.3"},
      {1e20, "1E20", "1E20"},
      {1e-5, "1E-5", "1E-5"},
      {-2.5e-7, "-2,5E-7", "-2.5E-7"},
      {0.0001, "0,0001", "0.0001"},
      {0.00015, "0,00015", "0.00015"},
      {-0.00012345, "-0,00012345", "-0.00012345"},
      {0.000099999, "9,9999E-5", "9.9999E-5"},
      {1e15, "1E15", "1E15"},
      {1e14, "100000000000000", "100000000000000"},
      {999999999999999.0, "999999999999999", "999999999999999"},
      // Rounding to 15 digits carries into the next power of ten.
      {999999999999999.9, "1E15", "1E15"},
      {0.000099999999999999999, "0,0001", "0.0001"},
      {9007199254740993.0, "9,00719925474099E15", "9.00719925474099E15"},
      {123456.789, "123456,789", "123456.789"},
      {-1.5e300, "-1,5E300", "-1.5E300"},
      {5e-324, "4,94065645841247E-324", "4.94065645841247E-324"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN", "NAN"},
      {std::numeric_limits<double>::infinity(), "INF", "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF", "-INF"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Number(r.value, ","), r.comma) << r.value;
    EXPECT_EQ(Number(r.value, "."), r.point) << r.value;
  }
}

TEST(GeneralNumber, AppendsWithoutTouchingWhatIsThere) {
  std::string out = "ab";
  qj::AppendGeneralNumber(1.25, ".", out);
  EXPECT_EQ(out, "ab1.25");
}

TEST(ValueText, LocaleFreeKinds) {
  ValueTextFormatter f("de_DE", "de_DE");
  ColumnValue v;
  EXPECT_EQ(Text(f, v), "");
  v.kind = ValueKind::Text;
  v.bytes = std::string(" \tM\xFC" "ller\r\n\0 ", 11);
  EXPECT_EQ(Text(f, v), v.bytes);
  v.kind = ValueKind::Integer;
  v.integer = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(Text(f, v), "-9223372036854775808");
  v.integer = std::numeric_limits<int64_t>::max();
  EXPECT_EQ(Text(f, v), "9223372036854775807");
  v.integer = 0;
  EXPECT_EQ(Text(f, v), "0");
  v.kind = ValueKind::Boolean;
  v.boolean = true;
  EXPECT_EQ(Text(f, v), "1");
  v.boolean = false;
  EXPECT_EQ(Text(f, v), "0");
  v.kind = ValueKind::Binary;
  v.bytes = std::string("\x00\x0A\xFF\x7f", 4);
  EXPECT_EQ(Text(f, v), "000AFF7F");
}

TEST(ValueText, NullOfEveryKindIsEmpty) {
  // The engine delivers NULL as its own kind whatever the column type; the
  // other fields of a NULL value are never looked at.
  ValueTextFormatter f("de_DE", "de_DE");
  ColumnValue v = Stamp(2026, 12, 8, 13, 45, 7);
  v.kind = ValueKind::Null;
  v.bytes = "x";
  v.real = 1.5;
  v.integer = 7;
  EXPECT_EQ(Text(f, v), "");
}

TEST(ValueText, GermanForms) {
  ValueTextFormatter f("de_DE", "de_DE");
  EXPECT_EQ(Text(f, Date(2026, 12, 8)), "08.12.2026");
  EXPECT_EQ(Text(f, Time(13, 45, 7)), "13:45:07");
  EXPECT_EQ(Text(f, Time(0, 0, 0)), "00:00:00");
  EXPECT_EQ(Text(f, Stamp(2026, 12, 8, 13, 45, 7)), "08.12.2026 13:45:07");
  EXPECT_EQ(Text(f, Stamp(2026, 12, 8, 0, 0, 0)), "08.12.2026");
  EXPECT_EQ(Text(f, Stamp(2026, 12, 8, 0, 0, 1)), "08.12.2026 00:00:01");
  EXPECT_EQ(Text(f, Date(999, 1, 2)), "02.01.0999");
  EXPECT_EQ(Text(f, Real(12.5)), "12,5");
}

TEST(ValueText, UsEnglishForms) {
  ValueTextFormatter f("en_US", "en_US");
  EXPECT_EQ(Text(f, Date(2026, 12, 8)), "12/8/2026");
  EXPECT_EQ(Text(f, Time(13, 45, 7)), "1:45:07 PM");
  EXPECT_EQ(Text(f, Time(0, 5, 9)), "12:05:09 AM");
  EXPECT_EQ(Text(f, Time(12, 0, 0)), "12:00:00 PM");
  EXPECT_EQ(Text(f, Stamp(2026, 1, 31, 9, 3, 0)), "1/31/2026 9:03:00 AM");
  EXPECT_EQ(Text(f, Real(-2.5e-7)), "-2.5E-7");
}

TEST(ValueText, RootFormsForTheCLocale) {
  ValueTextFormatter f("root", "root");
  EXPECT_EQ(Text(f, Date(2026, 12, 8)), "2026-12-08");
  EXPECT_EQ(Text(f, Time(13, 45, 7)), "13:45:07");
  EXPECT_EQ(Text(f, Stamp(2026, 12, 8, 13, 45, 7)), "2026-12-08 13:45:07");
  EXPECT_EQ(Text(f, Real(1.0 / 3.0)), "0.333333333333333");
}

TEST(ValueText, NumbersAndDatesFollowTheirOwnCategories) {
  ValueTextFormatter f("de_DE", "en_US");
  EXPECT_EQ(Text(f, Real(0.5)), "0,5");
  EXPECT_EQ(Text(f, Date(2026, 12, 8)), "12/8/2026");
}

TEST(ValueText, FallsBackToIcuWhereTheRendererCannot) {
  // zh_TW's time pattern has a day-period field, ar_EG writes Arabic-Indic
  // digits, th_TH counts years in the Buddhist calendar: all go through ICU's
  // formatter and still come out as ICU has them.
  for (const char* loc : {"zh_TW", "ar_EG", "th_TH"}) {
    ValueTextFormatter f("root", loc);
    qj::IcuDateFormatter date(loc, qj::ShortDatePattern(loc));
    qj::IcuDateFormatter time(loc, qj::MediumTimePattern(loc));
    std::string expected;
    date.Append(2026, 12, 8, 0, 0, 0, expected);
    expected += ' ';
    time.Append(2000, 1, 1, 13, 45, 7, expected);
    EXPECT_EQ(Text(f, Stamp(2026, 12, 8, 13, 45, 7)), expected) << loc;
    if (std::string(loc) != "th_TH") {
      EXPECT_NE(expected.find('?'), std::string::npos) << loc;  // not held by Windows-1252
    }
  }
  ValueTextFormatter thai("root", "th_TH");
  EXPECT_EQ(Text(thai, Date(2026, 12, 8)), "8/12/2569");
}

class EnvGuard {
 public:
  EnvGuard() {
    for (const char* name : kNames) {
      const char* v = std::getenv(name);
      saved_.emplace_back(v != nullptr, v != nullptr ? v : "");
      unsetenv(name);
    }
    qj::ResetValueTextLocale();
  }
  ~EnvGuard() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].first) {
        setenv(kNames[i], saved_[i].second.c_str(), 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
    qj::ResetValueTextLocale();
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"};
  std::vector<std::pair<bool, std::string>> saved_;
};

TEST(ValueText, ProcessFormatterReadsTheEnvironmentOnce) {
  EnvGuard guard;
  setenv("LANG", "de_DE.UTF-8", 1);
  setenv("LC_TIME", "en_US.UTF-8", 1);
  EXPECT_EQ(qj::ValueText(Real(2.5)), "2,5");
  EXPECT_EQ(qj::ValueText(Date(2026, 12, 8)), "12/8/2026");
  // Later changes of the environment do not change the run's forms.
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(qj::ValueText(Real(2.5)), "2,5");
  qj::ResetValueTextLocale();
  EXPECT_EQ(qj::ValueText(Real(2.5)), "2.5");
  EXPECT_EQ(qj::ValueText(Date(2026, 12, 8)), "2026-12-08");
}

}  // namespace
