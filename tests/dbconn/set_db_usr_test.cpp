// The connection setup from the converted ini file.

#include "dbconn/set_db_usr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/run_context.h"
#include "support/e2e_fixture.h"
#include "support/odbc_env.h"
#include "support/run_context_fixture.h"

namespace {

const std::string kFullFile =
    "[DB];MAIN;\r\n1;DB_SYSTEM;ORA\r\n[DB];MAIN;\r\n2;DATABASE;VXDSN\r\n"
    "[DB];MAIN;\r\n3;LOGIN;scott\r\n[DB];MAIN;\r\n4;PASS;tiger\r\n";
const std::string kFrame =
    qjtest::ErrorFrame("Fehler beim Ermitteln der Datenbankparameter\nQuelle: '..\\..\\FILES\\VELMORANT.INI'\n");
const std::string kShown = "Str SetDbUsr\n DB-Informationen:\n  DbSys = 'ORA'\n  DbName = 'VXDSN'\n  DbUsr = 'scott'\n";

class SetDbUsrTest : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    qj::ctx.dm1 = std::make_unique<qj::Tdm1>();
    qj::ctx.TargetFile = dir_.File("out.txt");
    stored_ = Params();
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
  }
  void Write(const std::string& bytes) { qjtest::WriteBytes(dir_.File("QJDNL00P.TXT"), bytes); }
  int Run(bool trace) {
    out_.clear();
    qj::ctx.TraceMode = trace;
    return qj::SetDbUsr();
  }
  std::vector<std::string>& Params() { return qj::ctx.dm1->VELMORANT.Params; }

  qjtest::TempDir dir_;
  std::vector<std::string> stored_;
  std::string out_, err_;
};

TEST(ConvertedIniPathTest, DirectoryPartUpToTheLastSlash) {
  EXPECT_EQ(qj::ConvertedIniPath("/srv/a/dnl/out.txt"), "/srv/a/dnl/QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("out.txt"), "QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("a\\b:c.txt"), "QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("dir/"), "dir/QJDNL00P.TXT");
}

TEST_F(SetDbUsrTest, ConfiguresTheConnectionWithThePasswordMasked) {
  Write(kFullFile);
  ASSERT_EQ(Run(false), 0);
  EXPECT_EQ(out_ + err_, "");
  ASSERT_EQ(Run(true), 0);
  EXPECT_EQ(out_, kShown + "  DbPwd = '********'\n  Datenbankzugriff = 'ODBC'\nEnd SetDbUsr\n");
  EXPECT_EQ(qj::ctx.DbSys, "ORA");
  std::vector<std::string> expected = stored_;
  expected[1] = "USER NAME=scott";
  expected[2] = "ODBC DSN=VXDSN";
  expected[16] = "PASSWORD=tiger";
  EXPECT_EQ(Params(), expected);
  EXPECT_EQ(qj::ctx.dm1->VELMORANT.AliasName, "VXDSN");
  EXPECT_FALSE(qj::ctx.dm1->VELMORANT.Connected());
}

TEST_F(SetDbUsrTest, MissingFileGives99) {
  ASSERT_EQ(Run(false), 99);
  EXPECT_EQ(out_, "Konvertierte Ini-Datei nicht gefunden");
  ASSERT_EQ(::mkdir(dir_.File("QJDNL00P.TXT").c_str(), 0755), 0);  // a directory is no file
  ASSERT_EQ(Run(true), 99);
  EXPECT_EQ(out_, "Str SetDbUsr\nKonvertierte Ini-Datei nicht gefunden");
  EXPECT_EQ(Params(), stored_);
  EXPECT_EQ(qj::ctx.dm1->VELMORANT.AliasName, "VELMORANT");
}

TEST_F(SetDbUsrTest, EveryValueMustBePresent) {
  Write(kFullFile.substr(0, kFullFile.find("[DB];MAIN;\r\n4;")));
  ASSERT_EQ(Run(true), 5);
  EXPECT_EQ(out_, kShown + "  DbPwd = ''\n" + kFrame);
  EXPECT_EQ(Params(), stored_);
  const std::vector<std::string> keys = {"DB_SYSTEM", "DATABASE", "LOGIN", "PASS"};
  for (const std::string& missing : keys) {
    std::string file;
    for (const std::string& key : keys) file += key == missing ? "" : "x;G;\n9;" + key + ";v\n";
    Write(file);
    EXPECT_EQ(Run(false), 5) << missing;
    EXPECT_EQ(out_, kFrame) << missing;
  }
  // A value that is only a line end counts as present.
  Write("x;G;\n9;DB_SYSTEM;\nx;G;\n9;DATABASE;d\nx;G;\n9;LOGIN;u\nx;G;\n9;PASS;p\n");
  EXPECT_EQ(Run(false), 0);
  EXPECT_EQ(qj::ctx.DbSys, "\n");
}

TEST_F(SetDbUsrTest, ReplacesEveryMatchingLineWithTheValuesAsFound) {
  Write("x;G;\n9;DB_SYSTEM; ora \nx;G;\n9;DATABASE;DRIVER=SQLite3;Database=/tmp/a b.db\n"
        "x;G;\n9;LOGIN;%s\nx;G;\n9;PASS;p=w\n");
  Params() = {"PASSWORD=one", "password=two", "PASSWORD =three", "USER NAME", "ODBC DSN=", "PASSWORD=",
              "X=1",          "USER NAME=old"};
  ASSERT_EQ(Run(true), 0);
  EXPECT_EQ(Params(), (std::vector<std::string>{"PASSWORD=p=w", "password=two", "PASSWORD =three", "USER NAME",
                                                "ODBC DSN=DRIVER=SQLite3;Database=/tmp/a b.db", "PASSWORD=p=w",
                                                "X=1", "USER NAME=%s"}));
  EXPECT_EQ(qj::ctx.DbSys, " ora ");
  EXPECT_NE(out_.find("  DbUsr = '%s'\n"), std::string::npos);
  Params() = {"X=1"};  // no such lines: none added
  ASSERT_EQ(Run(false), 0);
  EXPECT_EQ(Params(), std::vector<std::string>{"X=1"});
}

std::string ConvertedFile(const std::string& database, const std::string& login, const std::string& password) {
  return "x;G;\n1;DB_SYSTEM;SQLITE\nx;G;\n2;DATABASE;" + database + "\nx;G;\n3;LOGIN;" + login +
         "\nx;G;\n4;PASS;" + password + "\n";
}

// A value that would end its attribute early, or that the driver would read
// with its braces, never reaches the connection.
TEST_F(SetDbUsrTest, LoginValuesTheDriverCannotReceiveAreRefused) {
  qjtest::UseTestOdbcConfig();
  const std::string sqlite = "DRIVER=SQLite3;Database=/tmp/a.db";
  const std::string postgres = "DRIVER={PostgreSQL Unicode};Server=127.0.0.1";
  const struct {
    std::string database, login, password;
    int expected;
    const char* refused;
  } cases[] = {
      {sqlite, "u", "x;Database=/other.db;", 5, "PASS"},
      {sqlite, " u", "p", 5, "LOGIN"},
      {sqlite, "u", "{p}", 5, "PASS"},
      {sqlite, "u", "p=w \xE4", 0, ""},
      // psqlODBC takes a braced password, but keeps the braces of a user name.
      {postgres, "u", "p;w}d", 0, ""},
      {postgres, "u;x", "p", 5, "LOGIN"},
      // A driver that is not known takes nothing that needs braces.
      {"DRIVER=Nowhere;Server=h", "u", "p;w", 5, "PASS"},
      {"DRIVER=Nowhere;Server=h", "u", "p", 0, ""},
      // A data source name gets login and password as values of their own.
      {"VXDSN", "u;x", "p;w", 0, ""},
  };
  for (const auto& c : cases) {
    Params() = stored_;
    Write(ConvertedFile(c.database, c.login, c.password));
    ASSERT_EQ(Run(false), c.expected) << c.database << " " << c.login << " " << c.password;
    if (c.expected == 0) {
      EXPECT_EQ(out_, "");
      continue;
    }
    EXPECT_EQ(out_, qjtest::ErrorFrame(std::string("Der Wert von ") + c.refused +
                                       " ist fuer den ODBC-Treiber nicht zulaessig\n"
                                       "(';', '{', '}' oder Leerzeichen am Anfang oder Ende)\n"
                                       "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"));
    EXPECT_EQ(Params(), stored_);
  }
}

TEST_F(SetDbUsrTest, TraceMasksPasswordsInsideTheConnectionString) {
  Write(ConvertedFile("DSN=vx;PWD=secret;pwd = {a;b}};c};Password=x;UID=me;PASSWORD=", "u", "p"));
  ASSERT_EQ(Run(true), 0);
  EXPECT_NE(out_.find("  DbName = 'DSN=vx;PWD=********;pwd =********;Password=********;UID=me;PASSWORD='\n"),
            std::string::npos)
      << out_;
  EXPECT_EQ(out_.find("secret"), std::string::npos);
}

}  // namespace
