// The integer read of the FLEN keys.

#include "querydef/profile_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using qj::ProfileInteger;

TEST(ProfileInteger, ValidAndInvalidTexts) {
  const struct {
    std::string text;
    int32_t expected;
  } cases[] = {
      {"12", 12},
      {"007", 7},
      {"+7", 7},
      {"-5", -5},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$1f", 31},
      {"x10", 16},
      {"X10", 16},
      {"   42", 42},
      {"  0x1F", 31},
      {"$00000000FF", 255},
      {"-2147483648", INT32_MIN},
      {"2147483647", 2147483647},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"0", 0},
      // Invalid: the default.
      {"12 comment", 0},
      {"12 ", 0},
      {"1.5", 0},
      {"", 0},
      {"   ", 0},
      {"-", 0},
      {"+", 0},
      {"2147483648", 0},
      {"-2147483649", 0},
      {"99999999999999999999", 0},
      {"-$10", 0},
      {"+0x10", 0},
      {"0x", 0},
      {"$", 0},
      {"x", 0},
      {"$123456789", 0},
      {"$1G", 0},
      {"\t5", 0},
      {"0x0x1", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileInteger(c.text, 0), c.expected) << "text '" << c.text << "'";
  }
  EXPECT_EQ(ProfileInteger("1.5", -3), -3);
  EXPECT_EQ(ProfileInteger("0x", 77), 77);
}

TEST(ProfileInteger, ZeroXIsReplacedOnlyAtTheVeryStart) {
  // " 0x1F": the replacement does not apply, but "0x" is a prefix of its own.
  EXPECT_EQ(qj::ConvertProfileInteger(" 0x1F"), 31);
  // "$0x1": after the replacement "$" + "0x1"... is no hexadecimal number.
  EXPECT_EQ(ProfileInteger("00x1", 0), 0);
  EXPECT_EQ(ProfileInteger("0x0x1", 0), 0);
  EXPECT_EQ(ProfileInteger("0x$1", 0), 0);
}

}  // namespace
