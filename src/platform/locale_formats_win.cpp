#include "platform/locale_formats.h"

#include <windows.h>

#include <stdexcept>
#include <string_view>

#include "platform/code_page.h"
#include "platform/windows_text.h"

namespace qj {

namespace {

std::wstring LocaleInfo(const std::string& locale, LCTYPE type) {
  const std::wstring name = AsciiToWide(locale);
  wchar_t buffer[128];
  const int length = GetLocaleInfoEx(name.c_str(), type, buffer, 128);
  if (length <= 0) throw std::runtime_error("Gebietsschema \"" + locale + "\" nicht lesbar");
  return std::wstring(buffer, static_cast<size_t>(length - 1));
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::string BlankedCp1252(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == 0x00A0 || c == 0x202F) c = L' ';
  }
  return Utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// A Windows date or time picture in the pattern letters the renderer reads:
// "t"/"tt" (AM/PM) become "a", "g"/"gg" (era) "G", "ddd"/"dddd" (day name)
// "EEE"/"EEEE"; a year of one or two digits is widened to four when asked.
// Other letters are literal text in a Windows picture, so they are quoted.
std::wstring ToPattern(const std::wstring& picture, bool widenYear) {
  std::wstring out;
  for (size_t i = 0; i < picture.size();) {
    const wchar_t c = picture[i];
    if (c == L'\'') {
      const size_t end = picture.find(L'\'', i + 1);
      const size_t stop = end == std::wstring::npos ? picture.size() : end + 1;
      out.append(picture, i, stop - i);
      if (end == std::wstring::npos) out.push_back(L'\'');
      i = stop;
      continue;
    }
    if (!IsLetter(c)) {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    i += run;
    switch (c) {
      case L't':
        out.push_back(L'a');
        break;
      case L'g':
        out.push_back(L'G');
        break;
      case L'd':
        out.append(run, run >= 3 ? L'E' : L'd');
        break;
      case L'y':
        out.append(widenYear && run < 4 ? 4 : run, L'y');
        break;
      case L'M': case L'H': case L'h': case L'm': case L's':
        out.append(run, c);
        break;
      default:
        out.push_back(L'\'');
        out.append(run, c);
        out.push_back(L'\'');
        break;
    }
  }
  return out;
}

// The way back, for the system's own formatting.
std::wstring ToPicture(const std::wstring& pattern, bool& hasTime) {
  std::wstring out;
  hasTime = false;
  for (size_t i = 0; i < pattern.size();) {
    const wchar_t c = pattern[i];
    if (c == L'\'') {
      const size_t end = pattern.find(L'\'', i + 1);
      const size_t stop = end == std::wstring::npos ? pattern.size() : end + 1;
      out.append(pattern, i, stop - i);
      i = stop;
      continue;
    }
    size_t run = 1;
    while (IsLetter(c) && i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run;
    switch (c) {
      case L'a':
        out += L"tt";
        hasTime = true;
        break;
      case L'G':
        out += L"gg";
        break;
      case L'E':
        out.append(run < 3 ? 3 : run, L'd');
        break;
      case L'H': case L'h': case L'm': case L's':
        out.append(run, c);
        hasTime = true;
        break;
      default:
        out.append(run, c);
        break;
    }
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  if (text.empty()) return out;
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                    static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

}  // namespace

std::string Utf8ToCp1252Blanked(const std::string& text) { return BlankedCp1252(Utf8ToWide(text)); }

std::string DecimalSymbol(const std::string& locale) { return BlankedCp1252(LocaleInfo(locale, LOCALE_SDECIMAL)); }

std::string ShortDatePattern(const std::string& locale) {
  return WideToUtf8(ToPattern(LocaleInfo(locale, LOCALE_SSHORTDATE), true));
}

std::string MediumTimePattern(const std::string& locale) {
  return WideToUtf8(ToPattern(LocaleInfo(locale, LOCALE_STIMEFORMAT), false));
}

AmPmMarkers AmPmMarkersOf(const std::string& locale) {
  return {BlankedCp1252(LocaleInfo(locale, LOCALE_S1159)), BlankedCp1252(LocaleInfo(locale, LOCALE_S2359))};
}

// The system's date and time pictures always write the digits 0 to 9.
bool UsesAsciiDigits(const std::string&) { return true; }

bool UsesGregorianCalendar(const std::string& locale) {
  const std::wstring type = LocaleInfo(locale, LOCALE_ICALENDARTYPE);
  const int calendar = _wtoi(type.c_str());
  return calendar == CAL_GREGORIAN || calendar == CAL_GREGORIAN_US || calendar == CAL_GREGORIAN_ME_FRENCH ||
         calendar == CAL_GREGORIAN_ARABIC || calendar == CAL_GREGORIAN_XLIT_ENGLISH ||
         calendar == CAL_GREGORIAN_XLIT_FRENCH;
}

struct DateFormatter::Impl {
  std::wstring locale;
  std::wstring picture;
  bool hasTime = false;
};

DateFormatter::DateFormatter(const std::string& locale, const std::string& patternUtf8)
    : impl_(std::make_unique<Impl>()) {
  impl_->locale = AsciiToWide(locale);
  impl_->picture = ToPicture(Utf8ToWide(patternUtf8), impl_->hasTime);
}

DateFormatter::~DateFormatter() = default;

void DateFormatter::Append(int year, int month, int day, int hour, int minute, int second, std::string& out) {
  SYSTEMTIME when{};
  when.wYear = static_cast<WORD>(year);
  when.wMonth = static_cast<WORD>(month);
  when.wDay = static_cast<WORD>(day);
  when.wHour = static_cast<WORD>(hour);
  when.wMinute = static_cast<WORD>(minute);
  when.wSecond = static_cast<WORD>(second);
  wchar_t buffer[256];
  const int length = impl_->hasTime
                         ? GetTimeFormatEx(impl_->locale.c_str(), 0, &when, impl_->picture.c_str(), buffer, 256)
                         : GetDateFormatEx(impl_->locale.c_str(), 0, &when, impl_->picture.c_str(), buffer, 256,
                                           nullptr);
  if (length <= 0) throw std::runtime_error("Datumswert nicht darstellbar");
  out += BlankedCp1252(std::wstring(buffer, static_cast<size_t>(length - 1)));
}

}  // namespace qj
