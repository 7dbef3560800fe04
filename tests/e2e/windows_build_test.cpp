// The Windows build against the Linux build: the same inputs under the same
// locale give the same exit code, console texts and download bytes. Runs when
// QJ_WINDOWS_EXE names a built qjsqlexe.exe (scripts/test.sh with
// QJ_WINDOWS=1), through QJ_WINE (wine64); the Windows console ends its lines
// with CR LF, which is the only difference allowed there.

#include <cstdlib>
#include <filesystem>

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::ReadBytes;
using qjtest::RunResult;
using qjtest::WriteBytes;

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

std::string WithoutCarriageReturns(const std::string& crlf) {
  std::string out;
  for (size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') continue;
    out.push_back(crlf[i]);
  }
  return out;
}

// Standard error with what differs by system alone made alike: the locale
// line names the locale each system's way ("de-DE (Benutzereinstellung)",
// "de_DE (LANG)"), and Wine shows a path under / as Z:\ with backslashes.
std::string ComparableErrors(const std::string& err) {
  const std::string localeLine = "qjsqlexe: Gebietsschema ";
  std::string out;
  size_t start = 0;
  while (start < err.size()) {
    size_t end = err.find('\n', start);
    end = end == std::string::npos ? err.size() : end + 1;
    std::string line = err.substr(start, end - start);
    start = end;
    if (line.rfind(localeLine, 0) == 0) {
      out += localeLine + "...\n";
      continue;
    }
    for (size_t at = line.find("Z:\\"); at != std::string::npos; at = line.find("Z:\\", at)) {
      line.replace(at, 3, "/");
      for (size_t i = at; i < line.size() && line[i] != ' '; ++i) {
        if (line[i] == '\\') line[i] = '/';
      }
    }
    out += line;
  }
  return out;
}

class WindowsBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("QJ_WINDOWS_EXE") == nullptr || Env("QJ_WINE") == nullptr) {
      GTEST_SKIP() << "no Windows build given (QJ_WINDOWS_EXE, QJ_WINE)";
    }
    std::filesystem::copy_file(Env("QJ_WINDOWS_EXE"), install.BinDir() + "/qjsqlexe.exe");
  }

  RunResult RunWindows(const std::vector<std::string>& args, const std::string& directory) const {
    qjtest::RunOptions options = install.Options(kLocale);
    options.executable = Env("QJ_WINE");
    options.workingDirectory = directory;
    std::vector<std::string> words{install.BinDir() + "/qjsqlexe.exe"};
    words.insert(words.end(), args.begin(), args.end());
    return qjtest::RunProgram(words, options);
  }

  // Runs both builds in dnl/ on the same download file, each starting from
  // the same old content (none when empty), and compares what they did.
  void ExpectSameRun(const std::vector<std::string>& args, const std::string& oldContent = "",
                     const std::string& directory = "") {
    const std::string dir = directory.empty() ? install.DnlDir() : directory;
    const std::string target = dir + "/" + args.at(2);
    auto prepare = [&]() {
      std::filesystem::remove(target);
      if (!oldContent.empty()) WriteBytes(target, oldContent);
    };
    prepare();
    qjtest::RunOptions linuxOptions = install.Options(kLocale);
    linuxOptions.workingDirectory = dir;
    const RunResult linux = qjtest::RunProgram(args, linuxOptions);
    const bool linuxWrote = qjtest::FileExists(target);
    const std::string linuxBytes = linuxWrote ? ReadBytes(target) : "";
    prepare();
    const RunResult windows = RunWindows(args, dir);
    SCOPED_TRACE(args.at(0) + " " + args.at(2));
    EXPECT_EQ(windows.exitCode, linux.exitCode) << windows.err;
    EXPECT_EQ(WithoutCarriageReturns(windows.out), linux.out);
    EXPECT_EQ(windows.out.find("\n") == std::string::npos || windows.out.find("\r\n") != std::string::npos, true)
        << "console lines end in CR LF";
    EXPECT_EQ(ComparableErrors(WithoutCarriageReturns(windows.err)), ComparableErrors(linux.err));
    ASSERT_EQ(qjtest::FileExists(target), linuxWrote);
    if (linuxWrote) {
      EXPECT_EQ(ReadBytes(target), linuxBytes);
    }
    std::filesystem::remove(target);
    EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{}) << "no temporary file left";
  }

  void UseDemo() {
    const std::string demo = std::string(QJ_SOURCE_DIR) + "/demo/";
    qjtest::SqliteExec(install.DbFile(), ReadBytes(demo + "demo.sql"));
    install.WriteQueryIni(ReadBytes(demo + "qjsqlexe.SQLITE.INI"));
    std::string converted = ReadBytes(demo + "QJDNL00P.ODBC.TXT.in");
    WriteBytes(install.ConvertedIniPath(), converted.replace(converted.find("@DBFILE@"), 8, install.DbFile()));
  }

  static constexpr const char* kLocale = "de_DE.UTF-8";
  qjtest::E2eInstall install;
};

TEST_F(WindowsBuild, DemoDownloadsAreTheSame) {
  UseDemo();
  ExpectSameRun({"QJDNL31P", "ZutCtrl", "qjdnl31p.txt", "1", "/D"}, "old");
  ExpectSameRun({"QJDNL32P", "ZutCtrl", "qjdnl32p.txt", "0"});
  ExpectSameRun({"QJDNL32P", "Pforte2", "qjdnl32p.txt", "0"}, Cp1252("00001000Löffler\n"));
  ExpectSameRun({"QJDNL31P", "NIEMAND", "qjdnl31p.txt", "1"}, "kept: no records");
  ExpectSameRun({"QJDNL33P", "ZutCtrl", "qjdnl33p.txt", "1"});
}

TEST_F(WindowsBuild, FailuresEndAlike) {
  UseDemo();
  ExpectSameRun({"QJDNL31P", "ZutCtrl", "out.txt"});
  ExpectSameRun({"QJDNL31P", "ZutCtrl", "out.txt", "2"}, "old");
  ExpectSameRun({"QJDNL31P", "ZutCtrl", "out.txt", "1"}, "", install.Root());  // no converted ini file
  install.WriteQueryIni(qjtest::IniSection("BAD", {"SELECT nosuchcolumn FROM staff"}, {{1, "A", "CHAR", "4"}}) +
                        qjtest::IniSection("LONG", {"SELECT 'M\xC3\xBCller-L\xC3\xBC" "denscheid' AS n, 123456"},
                                           {{1, "N", "CHAR", "6"}, {2, "Z", "DEC", "3"}}));
  ExpectSameRun({"BAD", "ZutCtrl", "out.txt", "1"}, "old");
  ExpectSameRun({"LONG", "ZutCtrl", "out.txt", "1"}, "old");
}

// No "-" or "'" decides an order here: the Windows collation weighs them
// after the letters and digits (its word sort), ICU in their place.
TEST_F(WindowsBuild, ValuesOfEveryKindSortAndFormatAlike) {
  install.UseSqlite(
      "CREATE TABLE v (t TEXT, n REAL, i INTEGER, d DATE, ts TIMESTAMP);"
      "INSERT INTO v VALUES ('\xC3\xA4pfel', 12.5, -7, '2026-11-01', '2026-11-01 07:37:00'),"
      "('Apfel', 0.1, 0, '1999-12-31', '2000-01-01 00:00:00'), ('zebra', 3.25e20, 42, '2026-02-28', NULL),"
      "('Zebra', NULL, NULL, NULL, '2026-03-01 23:59:59'), ('\xC3\x9C" "ber', 1e-7, 7, '0001-01-01', NULL),"
      "('uber', 2, 1, '2026-01-01', '2026-01-01 12:00:01'), ('m\xC3\xBCller \xE2\x82\xAC', 3, 3, NULL, NULL),"
      "('MUELLER', 4, 4, NULL, NULL), ('\xCE\xA9mega', 5, 5, NULL, NULL);");
  install.WriteQueryIni(qjtest::IniSection("ALL", {"SELECT t, n, i, d, ts FROM v"},
                                           {{1, "T", "CHAR", "12"}, {2, "N", "DEC", "24"}, {3, "I", "DEC", "4"},
                                            {4, "D", "CHAR", "10"}, {5, "TS", "TXT", "19"}}));
  ExpectSameRun({"ALL", "x", "all.txt", "1"});
}

TEST_F(WindowsBuild, PostgresDownloadsAreTheSame) {
  const qjtest::PgServer pg = qjtest::TestPgServer();
  QJ_REQUIRE_PG_OR_SKIP(pg);
  install.UsePostgres(pg, "UseDeclareFetch=1;Fetch=100");
  install.WriteQueryIni(qjtest::IniSection(
      "PG", {"SELECT x.t, x.n, DATE '2026-11-01' + x.i FROM (VALUES ('\xC3\xA4pfel', 1.5, 1), ('Apfel', 2.25, 2),",
             "('Zebra', -3.0, 3), ('\xC3\xBC" "ber', 4.0, 4), ('Uber', 5.0, 5)) AS x(t, n, i)"},
      {{1, "T", "CHAR", "8"}, {2, "N", "DEC", "6"}, {3, "D", "CHAR", "10"}}));
  ExpectSameRun({"PG", "x", "pg.txt", "1"});
}

// The two systems word the cause differently; on Windows it is the
// operation and the file, then the system's message on one line.
TEST_F(WindowsBuild, AFileThatCannotBeWrittenNamesItsCause) {
  UseDemo();
  std::filesystem::create_directory(install.Dnl("sub"));
  const RunResult r = RunWindows({"QJDNL32P", "ZutCtrl", "dnl\\sub", "1"}, install.Root());
  EXPECT_EQ(r.exitCode, 7) << r.out << r.err;
  const std::string prefix = "qjsqlexe: Datei dnl\\sub: ";
  ASSERT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
  const std::string named = "Schreibrecht fuer dnl\\sub: ";
  ASSERT_EQ(r.err.rfind(prefix + named, 0), 0u) << r.err;
  const std::string cause = WithoutCarriageReturns(r.err.substr(prefix.size() + named.size()));
  ASSERT_GT(cause.size(), 1u) << r.err;
  EXPECT_EQ(cause.find_first_of("\r\n"), cause.size() - 1) << r.err;
}

// The Windows build reaches every database through ODBC: a file: value
// fails at the first statement with a message that says so.
TEST_F(WindowsBuild, NativeEngineValuesFailWithAMessageNamingThat) {
  UseDemo();
  install.WriteConvertedIni("file:" + install.DbFile());
  const RunResult r = RunWindows({"QJDNL32P", "ZutCtrl", "out.txt", "1"}, install.DnlDir());
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE((r.out + r.err).find("nur ueber ODBC"), std::string::npos) << r.out << r.err;
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("out.txt")));
}

TEST_F(WindowsBuild, OnlyBackslashAndColonEndTheDirectoryOfTheTarget) {
  UseDemo();
  const RunResult slash = RunWindows({"QJDNL32P", "ZutCtrl", "dnl/out.txt", "1"}, install.Root());
  EXPECT_EQ(slash.exitCode, 99);
  EXPECT_EQ(slash.out, "Konvertierte Ini-Datei nicht gefunden");
  const RunResult backslash = RunWindows({"QJDNL32P", "ZutCtrl", "dnl\\out.txt", "1"}, install.Root());
  EXPECT_EQ(backslash.exitCode, 0) << backslash.out;
  EXPECT_EQ(backslash.out, "315 Saetze kopiert in Datei dnl\\out.txt \r\n");
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
}

}  // namespace
