// Login values in a connection string: the drivers' brace quoting and the
// password mask of the trace.

#include "dbconn/connect_login.h"

#include <gtest/gtest.h>

#include "support/odbc_env.h"

namespace {

TEST(ConnectLoginTest, DriversAreFoundByNameLibraryOrDataSource) {
  qjtest::UseTestOdbcConfig();
  qjtest::AddTestDsn("qj_login_pg", {{"Driver", "PostgreSQL Unicode"}, {"Servername", "127.0.0.1"}});
  EXPECT_EQ(qj::DriverLibraryOf("DRIVER=SQLite3;Database=/tmp/a.db"), "libsqlite3odbc.so");
  EXPECT_EQ(qj::DriverLibraryOf("driver={PostgreSQL Unicode};Server=h"), "psqlodbcw.so");
  EXPECT_EQ(qj::DriverLibraryOf("DSN=qj_login_pg;UID=x"), "psqlodbcw.so");
  EXPECT_EQ(qj::DriverLibraryOf("DSN=QJ_LOGIN_PG"), "psqlodbcw.so");
  EXPECT_EQ(qj::DriverLibraryOf("DRIVER=/usr/lib/odbc/libsqlite3odbc.so;Database=x"), "/usr/lib/odbc/libsqlite3odbc.so");
  // A braced value that holds another DRIVER= does not name the driver; the driver manager takes the last one.
  EXPECT_EQ(qj::DriverLibraryOf("DRIVER=SQLite3;X={;DRIVER=PostgreSQL Unicode}"), "libsqlite3odbc.so");
  EXPECT_EQ(qj::DriverLibraryOf("DRIVER=SQLite3;DRIVER={PostgreSQL Unicode}"), "psqlodbcw.so");
  EXPECT_EQ(qj::DriverLibraryOf("DSN=nowhere"), "");
  EXPECT_EQ(qj::DriverLibraryOf("Server=h"), "");

  EXPECT_FALSE(qj::BraceQuotingOfDriver("libsqlite3odbc.so").password);
  EXPECT_TRUE(qj::BraceQuotingOfDriver("/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so").password);
  EXPECT_FALSE(qj::BraceQuotingOfDriver("psqlodbca.so").user);
  EXPECT_FALSE(qj::BraceQuotingOfDriver("").password);
}

TEST(ConnectLoginTest, ValuesThatNeedBraces) {
  for (const char* plain : {"", "scott", "p=w", "a b", "\xE4\xF6"}) EXPECT_FALSE(qj::NeedsBraceQuoting(plain)) << plain;
  for (const char* braced : {"a;b", "{x", "x}", " lead", "trail "}) EXPECT_TRUE(qj::NeedsBraceQuoting(braced)) << braced;
  const qj::BraceQuoting passwordOnly{false, true};
  EXPECT_EQ(qj::UnsafeLoginValue(passwordOnly, "u", "p;w"), "");
  EXPECT_EQ(qj::UnsafeLoginValue(passwordOnly, "u;", "p"), "LOGIN");
  EXPECT_EQ(qj::UnsafeLoginValue({}, "u", "p}"), "PASS");
}

TEST(ConnectLoginTest, EveryPasswordAttributeIsMasked) {
  EXPECT_EQ(qj::MaskedConnectionString("DRIVER=x;PWD=a;Database=d;password={b;c}}d};Pwd =e"),
            "DRIVER=x;PWD=********;Database=d;password=********;Pwd =********");
  // Empty values stay empty; keys that only contain the word stay as they are; no attribute, no change.
  EXPECT_EQ(qj::MaskedConnectionString("PWD=;OLDPWD=x;PWDX=y"), "PWD=;OLDPWD=x;PWDX=y");
  EXPECT_EQ(qj::MaskedConnectionString("VXDSN"), "VXDSN");
  EXPECT_EQ(qj::MaskedConnectionString("PWD={unterminated;UID=x"), "PWD=********");
}

}  // namespace
