// The download file through the built binary against SQLite: record layout of
// every field type over text, integer, float, date and timestamp columns, the
// locale's forms and sort order, appending, replacing, and a failed write.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/e2e_fixture.h"

namespace {

using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

const char kItems[] =
    "CREATE TABLE items(name TEXT, qty INTEGER, price REAL, day DATE, stamp TIMESTAMP);\n"
    "INSERT INTO items VALUES('meier', 42, 12.5, '2026-12-08', '2026-12-08 13:45:07');\n"
    "INSERT INTO items VALUES('Zander', 0, -2.5e-7, NULL, NULL);\n"
    "INSERT INTO items VALUES('MEIER', 7, 1e20, '2026-01-31', '2026-01-31 00:00:00');\n"
    "INSERT INTO items VALUES('x' || char(10) || 'y ', 1, 1.0 / 3, '2000-02-29', '2000-02-29 23:59:59');\n"
    "INSERT INTO items VALUES(' abel', -3, 0.0001, '1999-07-04', '1999-07-04 09:05:00');\n";

// One company value, so that the company list finds its rows quietly.
const std::string kCompanies = IniSection("GETFIR1", {"SELECT '0100'"}, {{1, "FIRM", "CHAR", "4"}});

class DownloadFile : public ::testing::Test {
 protected:
  void SetUp() override {
    install.UseSqlite(kItems);
    install.WriteQueryIni(kCompanies + IniSection("ITEMS", {"SELECT name, qty, price, day, stamp", "FROM items"},
                                                  {{1, "NAME", "CHAR", "8"}, {2, "QTY", "DEC", "5"}, {3, "PRICE", "TXT", "18"},
                                                   {4, "DAY", "CHAR", "10"}, {5, "STAMP", "TXT", "19"}}));
  }
  qjtest::E2eInstall install;
  const std::string target = install.Dnl("out.txt");
  const std::string count = "5 Saetze kopiert in Datei dnl/out.txt \n";
};

// The five records in their sorted order, as stored in the file: letter case
// is ignored ("MEIER" with 00007 before "meier" with 00042), the LF inside a
// name is stored as CR LF.
std::string GermanDownload() {
  return std::string("abel    000-30,0001            04.07.199904.07.1999 09:05:00") +
         "MEIER   000071E20              31.01.202631.01.2026         " +
         "meier   0004212,5              08.12.202608.12.2026 13:45:07" +
         "x\r\ny     000010,333333333333333 29.02.200029.02.2000 23:59:59" +
         "Zander  00000-2,5E-7                                        ";
}

std::string RootDownload() {
  return std::string("abel    000-30.0001            1999-07-041999-07-04 09:05:00") +
         "MEIER   000071E20              2026-01-312026-01-31         " +
         "meier   0004212.5              2026-12-082026-12-08 13:45:07" +
         "x\r\ny     000010.333333333333333 2000-02-292000-02-29 23:59:59" +
         "Zander  00000-2.5E-7                                        ";
}

TEST_F(DownloadFile, ByteExactSortedDownloadInEveryLocaleAndMode) {
  WriteBytes(target, "OLD");
  auto r = install.Run({"ITEMS", "T1", "dnl/out.txt", "0"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out + r.err, count);
  EXPECT_EQ(ReadBytes(target), "OLD" + GermanDownload());
  r = install.Run({"ITEMS", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(target), RootDownload());

  // US times are wider: two of them are cut to the field, with a warning each.
  qjtest::RunOptions us;
  us.env["LC_TIME"] = "en_US.UTF-8";
  r = install.Run({"ITEMS", "T1", "dnl/out.txt", "1"}, "de_DE.UTF-8", us);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string expected = GermanDownload();
  expected.replace(0, 60, "abel    000-30,0001            7/4/1999  7/4/1999 9:05:00 AM");
  expected.replace(60, 60, "MEIER   000071E20              1/31/2026 1/31/2026          ");
  expected.replace(120, 60, "meier   0004212,5              12/8/2026 12/8/2026 1:45:07 P");
  expected.replace(180, 61, "x\r\ny     000010,333333333333333 2/29/2000 2/29/2000 11:59:59 ");
  EXPECT_EQ(ReadBytes(target), expected);
  EXPECT_EQ(r.err,
            "qjsqlexe: Warnung: Feld FELD05 (STAMP), Satz 1: Wert mit 20 Bytes auf 19 Bytes gekuerzt\n"
            "qjsqlexe: Warnung: Feld FELD05 (STAMP), Satz 4: Wert mit 21 Bytes auf 19 Bytes gekuerzt\n");
}

// The file size limit is passed with SIGXFSZ at its default (which would end
// the process): the write fails with EFBIG instead, and the cause is named.
TEST_F(DownloadFile, FailedWriteExits7WithTheOldFileIntact) {
  qjtest::RunOptions limited;
  limited.beforeExec = []() {
    signal(SIGXFSZ, SIG_DFL);
    const rlimit rl{100, 100};
    setrlimit(RLIMIT_FSIZE, &rl);
  };
  for (const char* flag : {"1", "0"}) {
    WriteBytes(target, "OLD CONTENT");
    auto r = install.Run({"ITEMS", "T1", "dnl/out.txt", flag}, "de_DE.UTF-8", limited);
    EXPECT_EQ(r.exitCode, 7) << flag << r.err;
    EXPECT_EQ(r.out, "Datei konnte nicht geschrieben werden:\ndnl/out.txt\n" + count);
    // The cause names the write and the file it went to: the temporary file
    // of a replace, the target of an append.
    const std::string written = *flag == '1' ? "dnl/.out.txt.qjtmp-" : "dnl/out.txt: ";
    EXPECT_EQ(r.err.rfind("qjsqlexe: Datei dnl/out.txt: Schreiben von " + written, 0), 0u) << r.err;
    EXPECT_EQ(r.err.substr(r.err.find(": File too large")), ": File too large\n") << r.err;
    EXPECT_EQ(ReadBytes(target), "OLD CONTENT");
    EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  }
}

TEST_F(DownloadFile, NoRowsPrintsOnlyTheCountAndLeavesTheTargetAlone) {
  install.WriteQueryIni(kCompanies + IniSection("NONE", {"SELECT name FROM items WHERE qty > 1000"}, {{1, "NAME", "CHAR", "8"}}));
  WriteBytes(target, "KEEP");
  auto r = install.Run({"NONE", "T1", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "0 Saetze kopiert in Datei dnl/out.txt \n");
  EXPECT_EQ(ReadBytes(target), "KEEP");
  r = install.Run({"NONE", "T1", "dnl/new.txt", "0"});
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("new.txt")));
}

// A target that is the run's own converted ini file or query definition
// file, by its name or through a symbolic or hard link, is refused in both
// modes: exit 7, the cause on standard error, the file untouched.
TEST_F(DownloadFile, TheRunsOwnFilesAreNeverWritten) {
  const std::string convertedIni = ReadBytes(install.ConvertedIniPath());
  const std::string queryIni = ReadBytes(install.QueryIniPath());
  ASSERT_EQ(symlink(install.QueryIniPath().c_str(), install.Dnl("query.lnk").c_str()), 0);
  ASSERT_EQ(link(install.QueryIniPath().c_str(), install.Dnl("query.txt").c_str()), 0);
  ASSERT_EQ(symlink("QJDNL00P.TXT", install.Dnl("ini.lnk").c_str()), 0);
  const std::string iniCause = ": ist die konvertierte Ini-Datei dnl/QJDNL00P.TXT und wird nie beschrieben\n";
  const std::string queryCause = ": ist die Abfragedefinitionsdatei " + install.QueryIniPath() + " und wird nie beschrieben\n";
  const std::vector<std::pair<std::string, std::string>> targets{{"dnl/QJDNL00P.TXT", iniCause},
                                                                 {"dnl/ini.lnk", iniCause},
                                                                 {"bin/qjsqlexe.SQLITE.INI", queryCause},
                                                                 {"dnl/query.lnk", queryCause},
                                                                 {"dnl/query.txt", queryCause}};
  // A target in bin/ finds its converted ini file there.
  WriteBytes(install.BinDir() + "/QJDNL00P.TXT", convertedIni);
  for (const auto& [target, cause] : targets) {
    for (const char* flag : {"1", "0"}) {
      SCOPED_TRACE(target + " " + flag);
      const auto r = install.Run({"ITEMS", "T1", target, flag});
      EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
      EXPECT_EQ(r.out, "Datei konnte nicht erstellt werden:\n" + target + "\n5 Saetze kopiert in Datei " + target + " \n");
      EXPECT_EQ(r.err, "qjsqlexe: Datei " + target + cause);
      EXPECT_EQ(ReadBytes(install.ConvertedIniPath()), convertedIni);
      EXPECT_EQ(ReadBytes(install.QueryIniPath()), queryIni);
    }
  }
  EXPECT_EQ(install.DnlEntries(), (std::vector<std::string>{"ini.lnk", "query.lnk", "query.txt"}));
}

// Old content larger than the memory the run may have (address-space limit),
// written in place (the target has a second hard link): the old bytes go to
// the journal, never to memory, and the download is written. Where no journal
// fits either (file size limit below the old size), the run refuses to write:
// exit 7, the file byte for byte as it was. The memory limit is the address
// space a run of this download needs for itself (more where ICU and the
// engines' libraries are shared ones) and 24 MB more, far less than the old
// content. Address-space limits do not work under AddressSanitizer, which
// reserves terabytes.
TEST_F(DownloadFile, OldContentBeyondTheMemoryLimitIsNeverLost) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer";
#endif
  constexpr rlim_t kMegabyte = 1 << 20;
  rlim_t addressSpace = 32 * kMegabyte;
  for (;; addressSpace += 8 * kMegabyte) {
    ASSERT_LT(addressSpace, 1024 * kMegabyte) << "no run of the download fits below 1 GB of address space";
    qjtest::RunOptions limited;
    limited.beforeExec = [addressSpace] {
      const rlimit memory{addressSpace, addressSpace};
      setrlimit(RLIMIT_AS, &memory);
    };
    if (install.Run({"ITEMS", "T1", "dnl/fits.txt", "1"}, "", limited).exitCode == 0) break;
  }
  ASSERT_EQ(unlink(install.Dnl("fits.txt").c_str()), 0);
  addressSpace += 24 * kMegabyte;
  std::string old(64 << 20, 'o');
  for (size_t i = 0; i < old.size(); i += 4099) old[i] = static_cast<char>('a' + i % 26);
  WriteBytes(target, old);
  ASSERT_EQ(link(target.c_str(), install.Dnl("link.txt").c_str()), 0);
  struct Case {
    rlim_t fileSize;
    int exitCode;
  };
  for (const Case& c : {Case{32 << 20, 7}, Case{RLIM_INFINITY, 0}}) {
    SCOPED_TRACE(c.exitCode);
    qjtest::RunOptions limited;
    limited.beforeExec = [c, addressSpace] {
      const rlimit memory{addressSpace, addressSpace};
      setrlimit(RLIMIT_AS, &memory);
      const rlimit size{c.fileSize, c.fileSize};
      setrlimit(RLIMIT_FSIZE, &size);
    };
    const auto r = install.Run({"ITEMS", "T1", "dnl/out.txt", "1"}, "", limited);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    if (c.exitCode == 7) {
      EXPECT_EQ(r.err, "qjsqlexe: Datei dnl/out.txt: Sichern des alten Inhalts von dnl/out.txt: Cannot allocate memory\n");
      EXPECT_TRUE(ReadBytes(target) == old);
    } else {
      EXPECT_EQ(ReadBytes(install.Dnl("link.txt")), RootDownload());
    }
    EXPECT_EQ(install.DnlEntries(), (std::vector<std::string>{"link.txt", "out.txt"}));
  }
}

}  // namespace
