// Database text on the console follows the locale's character set.

#include "driver/database_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class DatabaseTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_[Index(name)] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
  }
  void TearDown() override {
    for (const char* name : kNames) {
      const auto& value = saved_[Index(name)];
      if (value) {
        setenv(name, value->c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
  }
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
  static size_t Index(const char* name) {
    for (size_t i = 0; i < 3; ++i) {
      if (std::string(kNames[i]) == name) return i;
    }
    return 0;
  }

  static constexpr const char* kNames[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::optional<std::string> saved_[3];
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
