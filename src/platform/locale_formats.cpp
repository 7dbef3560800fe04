#include "platform/locale_formats.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/numsys.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <stdexcept>

#include "platform/code_page.h"

namespace qj {

namespace {

icu::Locale MakeLocale(const std::string& name) {
  if (name.empty() || name == "root") return icu::Locale::getRoot();
  return icu::Locale(name.c_str());
}

void Check(UErrorCode status, const char* what, const std::string& locale) {
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("ICU ") + what + " fuer Gebietsschema \"" + locale + "\": " +
                             u_errorName(status));
  }
}

std::string ToUtf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::string BlankedCp1252(icu::UnicodeString text) {
  text.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x00A0)), icu::UnicodeString(u' '));
  text.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x202F)), icu::UnicodeString(u' '));
  return Utf16ToCp1252(std::u16string_view(text.getBuffer(), static_cast<size_t>(text.length())));
}

icu::UnicodeString PatternOf(icu::DateFormat* format, const char* what, const std::string& locale) {
  std::unique_ptr<icu::DateFormat> owned(format);
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(owned.get());
  if (simple == nullptr) Check(U_UNSUPPORTED_ERROR, what, locale);
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  return pattern;
}

// Every run of year letters outside quoted text becomes "yyyy".
icu::UnicodeString WidenYear(const icu::UnicodeString& pattern) {
  icu::UnicodeString out;
  bool quoted = false;
  for (int32_t i = 0; i < pattern.length(); ++i) {
    const UChar c = pattern.charAt(i);
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u'y') {
      while (i + 1 < pattern.length() && pattern.charAt(i + 1) == u'y') ++i;
      out.append(u"yyyy", 4);
      continue;
    }
    out.append(c);
  }
  return out;
}

}  // namespace

std::string Utf8ToCp1252Blanked(const std::string& text) {
  return BlankedCp1252(icu::UnicodeString::fromUTF8(text));
}

std::string DecimalSymbol(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(MakeLocale(locale), status);
  Check(status, "Dezimalzeichen", locale);
  return BlankedCp1252(symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
}

std::string ShortDatePattern(const std::string& locale) {
  icu::DateFormat* format = icu::DateFormat::createDateInstance(icu::DateFormat::kShort, MakeLocale(locale));
  if (format == nullptr) Check(U_MISSING_RESOURCE_ERROR, "Datumsformat", locale);
  return ToUtf8(WidenYear(PatternOf(format, "Datumsformat", locale)));
}

std::string MediumTimePattern(const std::string& locale) {
  icu::DateFormat* format = icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, MakeLocale(locale));
  if (format == nullptr) Check(U_MISSING_RESOURCE_ERROR, "Zeitformat", locale);
  return ToUtf8(PatternOf(format, "Zeitformat", locale));
}

AmPmMarkers AmPmMarkersOf(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(MakeLocale(locale), status);
  Check(status, "AM/PM-Zeichen", locale);
  int32_t count = 0;
  const icu::UnicodeString* strings = symbols.getAmPmStrings(count);
  AmPmMarkers markers{"AM", "PM"};
  if (count >= 2) {
    markers.am = BlankedCp1252(strings[0]);
    markers.pm = BlankedCp1252(strings[1]);
  }
  return markers;
}

bool UsesAsciiDigits(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberingSystem> ns(icu::NumberingSystem::createInstance(MakeLocale(locale), status));
  Check(status, "Ziffernsystem", locale);
  return !ns->isAlgorithmic() && ns->getRadix() == 10 && std::string(ns->getName()) == "latn";
}

bool UsesGregorianCalendar(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(MakeLocale(locale), status));
  Check(status, "Kalender", locale);
  return std::string(calendar->getType()) == "gregorian";
}

struct DateFormatter::Impl {
  std::string locale;
  std::unique_ptr<icu::SimpleDateFormat> format;
  std::unique_ptr<icu::Calendar> calendar;
};

DateFormatter::DateFormatter(const std::string& locale, const std::string& patternUtf8)
    : impl_(std::make_unique<Impl>()) {
  impl_->locale = locale;
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale loc = MakeLocale(locale);
  // The format keeps the locale's own calendar (Buddhist for th_TH); the
  // Gregorian calendar only turns the column's fields into a point in time.
  impl_->format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(patternUtf8), loc, status);
  Check(status, "Datumsformat", locale);
  impl_->format->setTimeZone(*icu::TimeZone::getGMT());
  impl_->calendar.reset(new icu::GregorianCalendar(icu::TimeZone::getGMT()->clone(), loc, status));
  Check(status, "Kalender", locale);
}

DateFormatter::~DateFormatter() = default;

void DateFormatter::Append(int year, int month, int day, int hour, int minute, int second, std::string& out) {
  icu::Calendar& cal = *impl_->calendar;
  cal.clear();
  cal.set(year, month - 1, day, hour, minute, second);
  UErrorCode status = U_ZERO_ERROR;
  const UDate when = cal.getTime(status);
  Check(status, "Datumswert", impl_->locale);
  icu::UnicodeString text;
  impl_->format->format(when, text);
  out += BlankedCp1252(text);
}

}  // namespace qj
