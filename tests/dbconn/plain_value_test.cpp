// Which driver texts are read as typed values here and which are left to
// the driver's own conversion.

#include "dbconn/plain_value.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using qj::ValueKind;

// The value read from the text, or "driver" when the text is left to the driver.
std::string Read(ValueKind kind, const std::string& text) {
  qj::ColumnValue v;
  if (!qj::ParsePlainValue(kind, text, v)) return "driver";
  char b[64];
  switch (kind) {
    case ValueKind::Integer:
      return std::to_string(v.integer);
    case ValueKind::Float:
      std::snprintf(b, sizeof b, "%a", v.real);
      return b;
    default:
      std::snprintf(b, sizeof b, "%d-%d-%d %d:%d:%d", v.year, v.month, v.day, v.hour, v.minute, v.second);
      return b;
  }
}

TEST(PlainValue, OnlyUnambiguousTextsAreReadHere) {
  const ValueKind I = ValueKind::Integer, F = ValueKind::Float, D = ValueKind::Date, T = ValueKind::Time,
                  P = ValueKind::Timestamp;
  EXPECT_EQ(Read(I, "-9223372036854775808"), "-9223372036854775808");
  EXPECT_EQ(Read(I, "9223372036854775807"), "9223372036854775807");
  EXPECT_EQ(Read(I, "007"), "7");
  for (const char* odd : {"9223372036854775808", "", "-", "+7", " 5", "5 ", "12abc", "1.5", "0x1F"}) {
    EXPECT_EQ(Read(I, odd), "driver") << odd;
  }
  EXPECT_EQ(Read(F, "12.5"), "0x1.9p+3");
  EXPECT_EQ(Read(F, "-3.84189888743216e-237"), Read(F, "-3.84189888743216E-237"));
  EXPECT_EQ(Read(F, ".5"), "0x1p-1");
  // The largest double, as SQLite writes it in 15 digits.
  EXPECT_EQ(Read(F, "1.79769313486232e+308"), "0x1.fffffffffffffp+1023");
  EXPECT_EQ(Read(F, "-1.79769313486232e+308"), "-0x1.fffffffffffffp+1023");
  EXPECT_EQ(Read(F, "1.79769313486233e+308"), "driver");
  for (const char* odd : {"1e400", "Inf", "nan", "+1", " 1", "1 ", "0x1p3", "", "-", "1,5"}) {
    EXPECT_EQ(Read(F, odd), "driver") << odd;
  }
  EXPECT_EQ(Read(D, "2024-02-29"), "2024-2-29 0:0:0");
  EXPECT_EQ(Read(T, "23:59:59"), "0-0-0 23:59:59");
  EXPECT_EQ(Read(P, "2024-01-05 10:00:07.123456789"), "2024-1-5 10:0:7");
  EXPECT_EQ(Read(P, "2024-01-05 10:00"), "2024-1-5 10:0:0");
  for (const char* odd : {"2023-02-29", "2024-02-30", "2024-13-01", "0000-01-01", "2024-1-5", "2024-01-05 "}) {
    EXPECT_EQ(Read(D, odd), "driver") << odd;
  }
  EXPECT_EQ(Read(T, "10:00:00.5"), "0-0-0 10:0:0");
  for (const char* odd : {"24:00:00", "7:05:09", "10:00", "10:00:00.", "838:59:59", "-00:00:01"}) {
    EXPECT_EQ(Read(T, odd), "driver") << odd;
  }
  for (const char* odd : {"2024-01-05", "2024-01-05T10:00:00", "2024-01-05 10:00:00.", "2024-01-05 10:00:00Z",
                          "2024-01-05 10:00:00.1234567890", "2024-01-05 10:60"}) {
    EXPECT_EQ(Read(P, odd), "driver") << odd;
  }
}

}  // namespace
