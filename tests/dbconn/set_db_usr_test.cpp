// The connection setup from the converted ini file.

#include "dbconn/set_db_usr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/console_texts.h"
#include "driver/run_context.h"
#include "support/test_support.h"

namespace {

const std::string kFullFile =
    "[DB];MAIN;\r\n1;DB_SYSTEM;ORA\r\n[DB];MAIN;\r\n2;DATABASE;VXDSN\r\n"
    "[DB];MAIN;\r\n3;LOGIN;scott\r\n[DB];MAIN;\r\n4;PASS;tiger\r\n";

class SetDbUsrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qj::ctx = qj::RunContext{};
    qj::ctx.dm1 = std::make_unique<qj::Tdm1>();
    qj::ctx.TargetFile = dir_.File("out.txt");
    stored_ = qj::ctx.dm1->VELMORANT.Params;
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    qj::ctx = qj::RunContext{};
  }

  void WriteConverted(const std::string& bytes) { qjtest::WriteBytes(dir_.File("QJDNL00P.TXT"), bytes); }

  // The error frame around the two message lines, as the console texts print it.
  std::string ErrorFrame() {
    std::string frame, unused;
    qj::Console::CaptureForTest(&frame, &unused);
    qj::ShowErrorFrame({"Fehler beim Ermitteln der Datenbankparameter\n", "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"});
    qj::Console::CaptureForTest(&out_, &err_);
    return frame;
  }

  const std::vector<std::string>& Params() const { return qj::ctx.dm1->VELMORANT.Params; }

  qjtest::TempDir dir_;
  std::vector<std::string> stored_;
  std::string out_, err_;
};

TEST(ConvertedIniPathTest, DirectoryPartUpToTheLastSlash) {
  EXPECT_EQ(qj::ConvertedIniPath("dnl/out.txt"), "dnl/QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("/srv/a/dnl/out.txt"), "/srv/a/dnl/QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("out.txt"), "QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("a\\b:c.txt"), "QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("dir/"), "dir/QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath(""), "QJDNL00P.TXT");
}

TEST_F(SetDbUsrTest, ConfiguresTheConnection) {
  WriteConverted(kFullFile);
  qj::ctx.TraceMode = true;
  ASSERT_EQ(qj::SetDbUsr(), 0);
  EXPECT_EQ(out_,
            "Str SetDbUsr\n DB-Informationen:\n  DbSys = 'ORA'\n  DbName = 'VXDSN'\n  DbUsr = 'scott'\n"
            "  DbPwd = '********'\nEnd SetDbUsr\n");
  EXPECT_EQ(qj::ctx.DbSys, "ORA");
  std::vector<std::string> expected = stored_;
  expected[1] = "USER NAME=scott";
  expected[2] = "ODBC DSN=VXDSN";
  expected[16] = "PASSWORD=tiger";
  EXPECT_EQ(Params(), expected);
  EXPECT_EQ(qj::ctx.dm1->VELMORANT.AliasName, "VXDSN");
  EXPECT_FALSE(qj::ctx.dm1->VELMORANT.Connected());
}

TEST_F(SetDbUsrTest, SilentWithoutTrace) {
  WriteConverted(kFullFile);
  ASSERT_EQ(qj::SetDbUsr(), 0);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "");
}

TEST_F(SetDbUsrTest, MissingFileGives99) {
  ASSERT_EQ(qj::SetDbUsr(), 99);
  EXPECT_EQ(out_, "Konvertierte Ini-Datei nicht gefunden");
  // A directory of that name is no file.
  ASSERT_EQ(::mkdir(dir_.File("QJDNL00P.TXT").c_str(), 0755), 0);
  out_.clear();
  qj::ctx.TraceMode = true;
  ASSERT_EQ(qj::SetDbUsr(), 99);
  EXPECT_EQ(out_, "Str SetDbUsr\nKonvertierte Ini-Datei nicht gefunden");
  EXPECT_EQ(Params(), stored_);
  EXPECT_EQ(qj::ctx.dm1->VELMORANT.AliasName, "VELMORANT");
}

TEST_F(SetDbUsrTest, FileBesideARelativeTarget) {
  WriteConverted(kFullFile);
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof(previous)), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  qj::ctx.TargetFile = "out.txt";
  const int code = qj::SetDbUsr();
  ASSERT_EQ(::chdir(previous), 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(qj::ctx.DbSys, "ORA");
}

TEST_F(SetDbUsrTest, MissingValueGives5WithTheValuesShownFirst) {
  WriteConverted("[DB];MAIN;\n1;DB_SYSTEM;ORA\n[DB];MAIN;\n2;DATABASE;VXDSN\n[DB];MAIN;\n3;LOGIN;scott\n");
  qj::ctx.TraceMode = true;
  ASSERT_EQ(qj::SetDbUsr(), 5);
  const std::string frame = ErrorFrame();
  EXPECT_NE(frame.find("Fehler beim Ermitteln der Datenbankparameter\nQuelle: '..\\..\\FILES\\VELMORANT.INI'\n\n"),
            std::string::npos);
  EXPECT_EQ(out_,
            "Str SetDbUsr\n DB-Informationen:\n  DbSys = 'ORA'\n  DbName = 'VXDSN'\n  DbUsr = 'scott'\n"
            "  DbPwd = ''\n" + frame);
  EXPECT_EQ(Params(), stored_);
}

TEST_F(SetDbUsrTest, EveryValueMustBePresent) {
  for (const char* missing : {"DB_SYSTEM", "DATABASE", "LOGIN", "PASS"}) {
    std::string file;
    for (const char* key : {"DB_SYSTEM", "DATABASE", "LOGIN", "PASS"}) {
      if (std::string(key) != missing) file += "x;G;\n9;" + std::string(key) + ";v\n";
    }
    WriteConverted(file);
    out_.clear();
    EXPECT_EQ(qj::SetDbUsr(), 5) << missing;
    EXPECT_EQ(out_, ErrorFrame()) << missing;
  }
  // A value that is only a line end counts as present.
  WriteConverted("x;G;\n9;DB_SYSTEM;\nx;G;\n9;DATABASE;d\nx;G;\n9;LOGIN;u\nx;G;\n9;PASS;p\n");
  EXPECT_EQ(qj::SetDbUsr(), 0);
  EXPECT_EQ(qj::ctx.DbSys, "\n");
}

TEST_F(SetDbUsrTest, ReplacesEveryMatchingParameterLine) {
  WriteConverted(kFullFile);
  qj::ctx.dm1->VELMORANT.Params = {"PASSWORD=one", "password=two", "PASSWORD =three", "USER NAME",
                                   "ODBC DSN=",    "PASSWORD=",    "X=1",            "USER NAME=old"};
  ASSERT_EQ(qj::SetDbUsr(), 0);
  EXPECT_EQ(Params(), (std::vector<std::string>{"PASSWORD=tiger", "password=two", "PASSWORD =three", "USER NAME",
                                                "ODBC DSN=VXDSN", "PASSWORD=tiger", "X=1", "USER NAME=scott"}));
  // A list without such lines gets none added.
  qj::ctx.dm1->VELMORANT.Params = {"X=1"};
  ASSERT_EQ(qj::SetDbUsr(), 0);
  EXPECT_EQ(Params(), std::vector<std::string>{"X=1"});
}

TEST_F(SetDbUsrTest, ValuesAreUsedAsFound) {
  WriteConverted("x;G;\n9;DB_SYSTEM; ora \nx;G;\n9;DATABASE;DRIVER=SQLite3;Database=/tmp/a b.db\n"
                 "x;G;\n9;LOGIN;%s\nx;G;\n9;PASS;p;w\n");
  qj::ctx.TraceMode = true;
  ASSERT_EQ(qj::SetDbUsr(), 0);
  EXPECT_EQ(qj::ctx.DbSys, " ora ");
  EXPECT_EQ(Params()[2], "ODBC DSN=DRIVER=SQLite3;Database=/tmp/a b.db");
  EXPECT_EQ(Params()[16], "PASSWORD=p;w");
  EXPECT_NE(out_.find("  DbUsr = '%s'\n"), std::string::npos);
}

}  // namespace
