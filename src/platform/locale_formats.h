#pragma once
// The number and date/time conventions of a locale, obtained once per run
// and handed to the tool's own fast renderers: from ICU on Linux (ICU locale
// names, "de_DE"), from the system on Windows (locale names, "de-DE").

#include <memory>
#include <string>

namespace qj {

// The locale's decimal symbol, in Windows-1252 ("," for de_DE).
std::string DecimalSymbol(const std::string& locale);

// The locale's short date pattern with its year field widened to four digits
// (de_DE: "dd.MM.yyyy", en_US: "M/d/yyyy", root: "yyyy-MM-dd"), UTF-8.
std::string ShortDatePattern(const std::string& locale);

// The locale's medium time pattern (de_DE: "HH:mm:ss", en_US: "h:mm:ss a"), UTF-8.
std::string MediumTimePattern(const std::string& locale);

// The locale's abbreviated AM and PM markers, in Windows-1252 with no-break
// spaces turned into blanks.
struct AmPmMarkers {
  std::string am;
  std::string pm;
};
AmPmMarkers AmPmMarkersOf(const std::string& locale);

// True when the locale writes dates with the ASCII digits 0 to 9.
bool UsesAsciiDigits(const std::string& locale);

// True when the locale's own calendar is the Gregorian one.
bool UsesGregorianCalendar(const std::string& locale);

// Formats a date and time with the platform's own date formatting (ICU's
// SimpleDateFormat on Linux), the given pattern and the locale's own calendar
// (the Gregorian date given, no time zone shift), in Windows-1252 with
// no-break spaces turned into blanks. The slow path for patterns the fast
// renderer does not handle, and the reference in tests.
class DateFormatter {
 public:
  DateFormatter(const std::string& locale, const std::string& patternUtf8);
  ~DateFormatter();
  DateFormatter(const DateFormatter&) = delete;
  DateFormatter& operator=(const DateFormatter&) = delete;

  void Append(int year, int month, int day, int hour, int minute, int second, std::string& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Turns the no-break spaces U+00A0 and U+202F of a UTF-8 text into blanks and
// converts the rest to Windows-1252.
std::string Utf8ToCp1252Blanked(const std::string& text);

}  // namespace qj
