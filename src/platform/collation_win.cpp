#include "platform/collation.h"

#include <windows.h>

#include <stdexcept>

#include "platform/windows_text.h"

namespace qj {

namespace {

constexpr DWORD kFlags = NORM_IGNORECASE;

int Length(size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) throw std::length_error("Zeile zu lang fuer die Sortierung");
  return static_cast<int>(size);
}

}  // namespace

struct Collation::Impl {
  std::wstring locale;
};

Collation::Collation(const std::string& locale) : impl_(std::make_unique<Impl>()) {
  impl_->locale = AsciiToWide(locale);
  if (!IsValidLocaleName(impl_->locale.c_str())) {
    throw std::runtime_error("Sortierfolge fuer Gebietsschema \"" + locale + "\" nicht verfuegbar");
  }
}

Collation::~Collation() = default;

const UCollator* Collation::Collator() const { return nullptr; }

int Collation::Compare(std::u16string_view a, std::u16string_view b) const {
  const int result = CompareStringEx(impl_->locale.c_str(), kFlags, reinterpret_cast<const wchar_t*>(a.data()),
                                     Length(a.size()), reinterpret_cast<const wchar_t*>(b.data()), Length(b.size()),
                                     nullptr, nullptr, 0);
  if (result == 0) throw std::runtime_error("Vergleich nach Sortierfolge fehlgeschlagen");
  return result - CSTR_EQUAL;
}

void Collation::AppendSortKey(std::u16string_view text, std::vector<uint8_t>& keys) const {
  // The key ends in its only 0 byte; the empty text is passed as an empty
  // terminated string, since a length of 0 counts as an error.
  const wchar_t* source = text.empty() ? L"" : reinterpret_cast<const wchar_t*>(text.data());
  const int length = text.empty() ? -1 : Length(text.size());
  const DWORD flags = LCMAP_SORTKEY | kFlags;
  const int needed = LCMapStringEx(impl_->locale.c_str(), flags, source, length, nullptr, 0, nullptr, nullptr, 0);
  if (needed <= 0) throw std::runtime_error("Sortierschluessel nicht erzeugt");
  const size_t start = keys.size();
  keys.resize(start + static_cast<size_t>(needed));
  const int written = LCMapStringEx(impl_->locale.c_str(), flags, source, length,
                                    reinterpret_cast<wchar_t*>(keys.data() + start), needed, nullptr, nullptr, 0);
  if (written <= 0) throw std::runtime_error("Sortierschluessel nicht erzeugt");
  keys.resize(start + static_cast<size_t>(written));
}

}  // namespace qj
