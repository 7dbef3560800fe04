// Database text on the console follows the locale's character set.

#include "driver/database_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

class DatabaseTextTest : public ::testing::Test {
 protected:
  static void Set(const char* all, const char* ctype, const char* lang) {
    const char* values[] = {all, ctype, lang};
    for (size_t i = 0; i < 3; ++i) {
      if (values[i] != nullptr) {
        setenv(kNames[i], values[i], 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
  }

  static constexpr const char* kNames[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
  const qjtest::ScopedEnv all_{kNames[0]}, ctype_{kNames[1]}, lang_{kNames[2]};
};

TEST_F(DatabaseTextTest, TheFirstLocaleVariableSetDecides) {
  const struct {
    const char *all, *ctype, *lang;
    bool utf8;
  } cases[] = {
      {nullptr, nullptr, "de_DE.UTF-8", true}, {nullptr, nullptr, "de_DE.utf8", true},
      {nullptr, nullptr, "de_DE.UTF-8@euro", true}, {nullptr, nullptr, "C.UTF-8", true},
      {nullptr, nullptr, "de_DE.ISO-8859-15@euro", false}, {nullptr, nullptr, "de_DE", false},
      {nullptr, nullptr, "C", false}, {nullptr, nullptr, nullptr, false},
      {"C", nullptr, "de_DE.UTF-8", false}, {"", "de_DE.UTF-8", "C", true},
      {nullptr, "POSIX", "de_DE.UTF-8", false}, {"", "", "en_US.UTF-8", true},
  };
  for (const auto& c : cases) {
    Set(c.all, c.ctype, c.lang);
    EXPECT_EQ(qj::ConsoleUsesUtf8(), c.utf8) << (c.all ? c.all : "-") << " " << (c.ctype ? c.ctype : "-") << " "
                                             << (c.lang ? c.lang : "-");
    EXPECT_EQ(qj::DatabaseText("K\xF6ln"), c.utf8 ? "K\xC3\xB6ln" : "K\xF6ln");
  }
}

}  // namespace
