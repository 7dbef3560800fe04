#include "platform/collation.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qj {

struct Collation::Impl {
  struct Closer {
    void operator()(UCollator* collator) const { ucol_close(collator); }
  };
  std::unique_ptr<UCollator, Closer> collator;
};

namespace {

UCollator* OpenCollator(const char* locale) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(locale, &status);
  if (U_FAILURE(status)) {
    ucol_close(collator);
    throw std::runtime_error(std::string("ICU-Sortierfolge fuer Gebietsschema \"") + locale +
                             "\" nicht verfuegbar: " + u_errorName(status));
  }
  return collator;
}

// en_US_POSIX orders every capital before every small letter at the first
// level, which no strength setting can hide.
bool HasPosixTailoring(const UCollator* collator) {
  UErrorCode status = U_ZERO_ERROR;
  const char* actual = ucol_getLocaleByType(collator, ULOC_ACTUAL_LOCALE, &status);
  return U_SUCCESS(status) && actual != nullptr && std::strstr(actual, "POSIX") != nullptr;
}

}  // namespace

Collation::Collation(const std::string& locale) : impl_(std::make_unique<Impl>()) {
  // "root" is ICU's own name of the root locale; ICU's default locale
  // (en_US_POSIX for the C locale) would stay case-sensitive.
  impl_->collator.reset(OpenCollator(locale.c_str()));
  if (HasPosixTailoring(impl_->collator.get())) impl_->collator.reset(OpenCollator("root"));
  // Letter case is ignored whatever the locale name asks for ("-u-ks-level3",
  // "-u-kc-true"): secondary strength and no case level.
  UErrorCode status = U_ZERO_ERROR;
  ucol_setAttribute(impl_->collator.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
  ucol_setAttribute(impl_->collator.get(), UCOL_CASE_LEVEL, UCOL_OFF, &status);
  if (U_FAILURE(status)) {
    throw std::runtime_error("ICU-Sortierfolge fuer Gebietsschema \"" + locale + "\" nicht einstellbar: " +
                             u_errorName(status));
  }
}

Collation::~Collation() = default;

const UCollator* Collation::Collator() const { return impl_->collator.get(); }

int Collation::Compare(std::u16string_view a, std::u16string_view b) const {
  return static_cast<int>(ucol_strcoll(impl_->collator.get(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                                       static_cast<int32_t>(b.size())));
}

void Collation::AppendSortKey(std::u16string_view text, std::vector<uint8_t>& keys) const {
  const size_t start = keys.size();
  const auto length = static_cast<int32_t>(text.size());
  size_t room = std::max<size_t>(64, text.size() * 4 + 16);
  for (;;) {
    keys.resize(start + room);
    const int32_t needed = ucol_getSortKey(impl_->collator.get(), text.data(), length, keys.data() + start,
                                           static_cast<int32_t>(room));
    if (needed <= 0) throw std::runtime_error("ICU-Sortierschluessel nicht erzeugt");
    if (static_cast<size_t>(needed) <= room) {
      keys.resize(start + static_cast<size_t>(needed));
      return;
    }
    room = static_cast<size_t>(needed);
  }
}

}  // namespace qj
