#pragma once
// The text form of a column value, in the user's locale.
//
// NULL gives the empty text; text as delivered (Windows-1252 bytes, untrimmed);
// integers in decimal with a leading "-"; floating values in the general
// number form (see AppendGeneralNumber); dates in the short date form, times
// in the long time form, timestamps as date, a blank and time, the time left
// out when it is 00:00:00; fractions of seconds are never shown.
// Boolean columns give "1" for true and "0" for false: locale-free and fit for
// the numeric "DEC" fields of a download. Binary columns give their bytes as
// two upper-case hexadecimal digits each ("0A FF" gives "0AFF").

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dbconn/column_value.h"

namespace qj {

// Appends the text form of the value to out (Windows-1252 bytes), by the
// locale the environment names for numbers (LC_NUMERIC) and dates (LC_TIME).
// Reads and makes ctx.ValueTexts.
void AppendValueText(const ColumnValue& value, std::string& out);
std::string ValueText(const ColumnValue& value);

// The general number form: at most 15 significant digits, trailing zeros
// dropped, no grouping, decimalSymbol before a fraction; fixed notation for
// decimal exponents -4 to 14, otherwise mantissa, "E" and the exponent with a
// "-" only when negative and without leading zeros (1E20, 1E-5, -2,5E-7).
// Rounding to 15 digits can carry into the next exponent
// (999999999999999.9 gives 1E15). Not-a-number gives "NAN", infinities
// "INF" and "-INF"; negative zero gives "0".
void AppendGeneralNumber(double value, std::string_view decimalSymbol, std::string& out);

class DatePattern;
class DateFormatter;

// The text forms for one numeric and one time locale (ICU locale names, "root"
// for the C locale). ICU is consulted only when a value first needs it: the
// decimal symbol on the first floating value, the date and time patterns on
// the first date or time value.
class ValueTextFormatter {
 public:
  ValueTextFormatter(std::string numericLocale, std::string timeLocale);
  ~ValueTextFormatter();
  ValueTextFormatter(const ValueTextFormatter&) = delete;
  ValueTextFormatter& operator=(const ValueTextFormatter&) = delete;

  void Append(const ColumnValue& value, std::string& out);

 private:
  // A date or time form: the fast renderer when it handles the pattern,
  // otherwise ICU's formatter.
  struct Form;

  void AppendDate(int year, int month, int day, std::string& out);
  void AppendTime(int hour, int minute, int second, std::string& out);
  Form& DateForm();
  Form& TimeForm();

  std::string numericLocale_;
  std::string timeLocale_;
  std::optional<std::string> decimalSymbol_;
  std::unique_ptr<Form> dateForm_;
  std::unique_ptr<Form> timeForm_;
};

}  // namespace qj
