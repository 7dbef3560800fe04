// The locale name for a category from LC_ALL, the category variable and LANG.

#include "platform/locale_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using qj::LocaleCategory;
using qj::LocaleForCategory;

class LocaleEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* v = std::getenv(name);
      saved_.emplace_back(v != nullptr, v != nullptr ? v : "");
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].first) {
        setenv(kNames[i], saved_[i].second.c_str(), 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
  }
  static constexpr const char* kNames[] = {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LC_COLLATE", "LANG"};
  std::vector<std::pair<bool, std::string>> saved_;
};

TEST_F(LocaleEnv, UnsetMeansRoot) {
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Numeric), "root");
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Collate), "root");
}

TEST_F(LocaleEnv, FirstNonEmptyOfAllCategoryAndLang) {
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Time), "fr_FR");
  setenv("LC_TIME", "en_US.UTF-8", 1);
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Time), "en_US");
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Numeric), "fr_FR");
  setenv("LC_COLLATE", "sv_SE", 1);
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Collate), "sv_SE");
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Time), "en_US");
  setenv("LC_ALL", "de_DE.ISO-8859-1", 1);
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Time), "de_DE");
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Collate), "de_DE");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LocaleForCategory(LocaleCategory::Numeric), "root");
}

TEST(IcuLocaleName, DropsCodesetAndModifierAndMapsTheCLocales) {
  EXPECT_EQ(qj::IcuLocaleName("de_DE.UTF-8"), "de_DE");
  EXPECT_EQ(qj::IcuLocaleName("de_DE@euro"), "de_DE");
  EXPECT_EQ(qj::IcuLocaleName("de_DE.ISO-8859-15@euro"), "de_DE");
  EXPECT_EQ(qj::IcuLocaleName("en_US"), "en_US");
  for (const char* c : {"", "C", "POSIX", "C.UTF-8", "C.utf8"}) EXPECT_EQ(qj::IcuLocaleName(c), "root") << c;
}

}  // namespace
