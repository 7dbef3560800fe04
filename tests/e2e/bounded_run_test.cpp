// A whole run bounded from outside with timeout(1): a run stuck on a database
// server that never answers ends at SIGTERM, its download untouched.

#include <string>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

TEST(BoundedRun, TimeoutEndsARunStuckOnASilentServer) {
  const qjtest::SilentServer server;
  qjtest::E2eInstall install("PGSQL");
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("LIST", {"SELECT 'x'"}, {{1, "V", "CHAR", "1"}}));
  install.WriteConvertedIni("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=" + server.Port() + ";Database=qj");
  for (const char* flag : {"0", "1"}) {
    SCOPED_TRACE(flag);
    WriteBytes(install.Dnl("out.txt"), "OLD CONTENT");
    qjtest::RunOptions options = install.Options();
    options.executable = "/usr/bin/timeout";
    const qjtest::RunResult r = qjtest::RunProgram({"-s", "TERM", "2", install.Exe(), "LIST", "T1", "dnl/out.txt", flag},
                                                   options);
    EXPECT_EQ(r.exitCode, 124) << r.out << r.err;
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "OLD CONTENT");
    EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  }
}

}  // namespace
