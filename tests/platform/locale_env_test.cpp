// The locale name for a category from LC_ALL, the category variable and LANG.

#include "platform/locale_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

using qj::LocaleCategory;
using qj::LocaleForCategory;

TEST(LocaleEnv, FirstNonEmptyOfAllCategoryAndLang) {
  const qjtest::ScopedEnv all_("LC_ALL", nullptr), numeric("LC_NUMERIC", nullptr), time("LC_TIME", nullptr),
      collate("LC_COLLATE", nullptr), lang("LANG", nullptr);
  const auto all = [] {
    std::string names;
    for (auto c : {LocaleCategory::Numeric, LocaleCategory::Time, LocaleCategory::Collate}) names += LocaleForCategory(c) + " ";
    return names;
  };
  EXPECT_EQ(all(), "root root root ");
  setenv("LANG", "fr_FR.UTF-8", 1);
  setenv("LC_TIME", "en_US.UTF-8", 1);
  setenv("LC_COLLATE", "sv_SE", 1);
  EXPECT_EQ(all(), "fr_FR en_US sv_SE ");
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(all(), "fr_FR en_US sv_SE ");
  setenv("LC_ALL", "de_DE.ISO-8859-1", 1);
  EXPECT_EQ(all(), "de_DE de_DE de_DE ");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(all(), "root root root ");
}

TEST(IcuLocaleName, DropsCodesetAndModifierAndMapsTheCLocales) {
  EXPECT_EQ(qj::IcuLocaleName("de_DE.UTF-8"), "de_DE");
  EXPECT_EQ(qj::IcuLocaleName("de_DE@euro"), "de_DE");
  EXPECT_EQ(qj::IcuLocaleName("de_DE.ISO-8859-15@euro"), "de_DE");
  EXPECT_EQ(qj::IcuLocaleName("en_US"), "en_US");
  for (const char* c : {"", "C", "POSIX", "C.UTF-8", "C.utf8"}) EXPECT_EQ(qj::IcuLocaleName(c), "root") << c;
}

}  // namespace
