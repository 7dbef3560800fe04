// Where the installed binary looks for its query definition file, and the
// terminal filled into a section's statement.

#include <sys/stat.h>

#include <cstdio>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

const char kTables[] =
    "CREATE TABLE tf(terminal VARCHAR(10), firm VARCHAR(10));"
    "INSERT INTO tf VALUES ('T1', '0100'), ('T1', '0200'), ('', '0900');";

const std::string kCompanies =
    IniSection("GETFIR1", {"SELECT firm FROM tf WHERE terminal = '$parm01' ORDER BY firm"}, {{1, "FIRM", "CHAR", "4"}});

class StatementRun : public ::testing::Test {
 protected:
  void SetUp() override { install.UseSqlite(kTables); }
  qjtest::E2eInstall install;
};

// The query definition file is the executable's path with the extension of
// its file name replaced; a dot in a directory name stays. A terminal holding
// "$parm01" itself is inserted once.
TEST_F(StatementRun, QueryDefinitionFileLiesBesideTheExecutable) {
  const std::string toolDir = install.Root() + "/tools.v2";
  ASSERT_EQ(mkdir(toolDir.c_str(), 0755), 0);
  qjtest::RunOptions options = install.Options();
  options.executable = qjtest::InstallBinary(toolDir);
  const auto one = [](const std::string& text) {
    return IniSection("ONE", {"SELECT '" + text + "$parm01'"}, {{1, "A", "CHAR", "20"}});
  };
  WriteBytes(toolDir + "/qjsqlexe.SQLITE.INI", kCompanies + one("right "));
  WriteBytes(install.Root() + "/tools.SQLITE.INI", kCompanies + one("wrong "));
  WriteBytes(toolDir + "/qj.SQLITE.INI", kCompanies + one("other "));
  auto r = qjtest::RunProgram({"ONE", "a$parm01b", "dnl/a.txt", "1"}, options);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("a.txt")), "right a$parm01b     ");
  ASSERT_EQ(std::rename(options.executable.c_str(), (toolDir + "/qj.bin").c_str()), 0);
  options.executable = toolDir + "/qj.bin";
  r = qjtest::RunProgram({"ONE", "T1", "dnl/b.txt", "1"}, options);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("b.txt")), "other T1            ");
}

}  // namespace
