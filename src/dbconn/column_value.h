#pragma once
// A typed value of one column of the current row, as the query delivers it.

#include <cstdint>
#include <string>

namespace qj {

enum class ValueKind {
  Null,
  Text,       // character data, converted to Windows-1252 bytes
  Integer,    // exact integers of any width
  Float,      // floating, decimal and numeric columns
  Date,       // year, month, day
  Time,       // hour, minute, second
  Timestamp,  // date and time; fractions of seconds are dropped
  Boolean,
  Binary,     // raw bytes
};

struct ColumnValue {
  ValueKind kind = ValueKind::Null;
  std::string bytes;  // Text: Windows-1252 bytes; Binary: the raw bytes
  int64_t integer = 0;
  bool isUnsigned = false;  // Integer: the value is unsignedInteger
  uint64_t unsignedInteger = 0;
  double real = 0.0;
  bool boolean = false;
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
};

}  // namespace qj
