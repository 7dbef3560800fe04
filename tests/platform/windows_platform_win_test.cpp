// The Windows platform files: path rules, the executable's path, collation,
// locale forms and the download file, run through the system's own calls.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dbconn/set_db_usr.h"
#include "extract/date_pattern.h"
#include "extract/download_file.h"
#include "platform/code_page.h"
#include "platform/collation.h"
#include "platform/executable_path.h"
#include "platform/locale_formats.h"
#include "querydef/query_definition.h"
#include "support/test_support.h"

namespace {

TEST(WindowsPathTest, ConvertedIniFileLiesInTheDirectoryPartUpToTheLastBackslashOrColon) {
  EXPECT_EQ(qj::ConvertedIniPath("C:\\DNL\\out.txt"), "C:\\DNL\\QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("out.txt"), "QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("D:out.txt"), "D:QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("dnl/out.txt"), "QJDNL00P.TXT");
  EXPECT_EQ(qj::ConvertedIniPath("C:\\a/b\\c/out.txt"), "C:\\a/b\\QJDNL00P.TXT");
}

TEST(WindowsPathTest, QueryDefinitionFileReplacesTheExtensionAfterTheLastBackslashOrColon) {
  EXPECT_EQ(qj::QueryIniPath("C:\\X\\QJSQLEXE.EXE", "ORA"), "C:\\X\\QJSQLEXE.ORA.INI");
  EXPECT_EQ(qj::QueryIniPath("D:\\TOOLS.V2\\QJSQLEXE", "ORA"), "D:\\TOOLS.V2\\QJSQLEXE.ORA.INI");
  EXPECT_EQ(qj::QueryIniPath("C:\\X\\QJSQLEXE.EXE", ""), "C:\\X\\QJSQLEXE..INI");
  EXPECT_EQ(qj::QueryIniPath("D:QJSQLEXE", "PGSQL"), "D:QJSQLEXE.PGSQL.INI");
  // "/" is an ordinary character here: the "." before it still ends the name.
  EXPECT_EQ(qj::QueryIniPath("C:\\T.V2/QJSQLEXE", "ORA"), "C:\\T.ORA.INI");
}

TEST(WindowsPathTest, ExecutablePathIsTheRunningModulesFullPath) {
  const std::string path = qj::ExecutablePath();
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(path.find(':'), 1u) << path;
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
}

TEST(WindowsCollationTest, IgnoresLetterCaseAndKeysOrderAsTheComparison) {
  const qj::Collation collation("de-DE");
  EXPECT_EQ(collation.Compare(u"M\u00FCller", u"M\u00DCLLER"), 0);
  EXPECT_LT(collation.Compare(u"apfel", u"Birne"), 0);
  EXPECT_LT(collation.Compare(u"\u00C4bersold", u"Zimmermann"), 0);

  const std::vector<std::u16string> words = {u"",       u"a",         u"A",      u"\u00E4",  u"b",
                                             u"Weiss",  u"Wei\u00DF", u"weiz",   u"1000",    u"200",
                                             u"co-op",  u"coop",      u"M\u00FCller", u"Muller", u"zz"};
  std::vector<std::vector<uint8_t>> keys;
  for (const std::u16string& word : words) {
    std::vector<uint8_t> key;
    collation.AppendSortKey(word, key);
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(key.back(), 0u);
    EXPECT_EQ(std::count(key.begin(), key.end(), uint8_t{0}), 1) << "only the last byte is 0";
    keys.push_back(key);
  }
  for (size_t i = 0; i < words.size(); ++i) {
    for (size_t j = 0; j < words.size(); ++j) {
      const size_t n = std::min(keys[i].size(), keys[j].size());
      const int byKey = std::memcmp(keys[i].data(), keys[j].data(), n);
      const int byCompare = collation.Compare(words[i], words[j]);
      EXPECT_EQ((byKey > 0) - (byKey < 0), (byCompare > 0) - (byCompare < 0)) << i << " " << j;
    }
  }
  EXPECT_EQ(collation.Collator(), nullptr);
  EXPECT_THROW(qj::Collation("xx-not-a-locale"), std::runtime_error);
}

TEST(WindowsLocaleTest, PicturesBecomeRendererPatternsWithAFourDigitYear) {
  EXPECT_EQ(qj::DecimalSymbol("de-DE"), ",");
  EXPECT_EQ(qj::DecimalSymbol("en-US"), ".");
  const std::string date = qj::ShortDatePattern("en-GB");
  EXPECT_NE(date.find("yyyy"), std::string::npos) << date;
  EXPECT_EQ(qj::MediumTimePattern("en-US"), "h:mm:ss a");
  const qj::AmPmMarkers markers = qj::AmPmMarkersOf("en-US");
  EXPECT_EQ(markers.am, "AM");
  EXPECT_EQ(markers.pm, "PM");
  EXPECT_TRUE(qj::UsesGregorianCalendar("de-DE"));
  EXPECT_FALSE(qj::UsesGregorianCalendar("th-TH"));
}

TEST(WindowsLocaleTest, RendererAndSystemFormattingAgree) {
  for (const char* locale : {"de-DE", "en-US", "fr-FR"}) {
    for (const std::string& pattern : {qj::ShortDatePattern(locale), qj::MediumTimePattern(locale)}) {
      const qj::AmPmMarkers markers = qj::AmPmMarkersOf(locale);
      const auto fast = qj::DatePattern::Compile(pattern, markers.am, markers.pm);
      ASSERT_TRUE(fast.has_value()) << locale << " " << pattern;
      qj::DateFormatter system(locale, pattern);
      for (const int hour : {0, 7, 12, 23}) {
        std::string a, b;
        fast->Render(2026, 11, 1, hour, 5, 9, a);
        system.Append(2026, 11, 1, hour, 5, 9, b);
        EXPECT_EQ(a, b) << locale << " " << pattern;
      }
    }
  }
  qj::DateFormatter names("de-DE", "d. MMMM yyyy");
  std::string out;
  names.Append(2026, 3, 1, 0, 0, 0, out);
  EXPECT_EQ(out, "1. M\xE4rz 2026");
}

class WindowsDownloadFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((dir.path() + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = data.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Target() const { return dir.path() + "\\out.txt"; }

  qjtest::TempDir dir;
};

TEST_F(WindowsDownloadFileTest, ReplaceGoesThroughATemporaryFileAndLeavesNoneBehind) {
  qjtest::WriteBytes(Target(), "old content");
  qj::DownloadFile file;
  ASSERT_TRUE(file.Open(Target(), qj::WriteMode::Replace));
  EXPECT_EQ(qjtest::ReadBytes(Target()), "old content") << "the target stays as it was until the end";
  ASSERT_EQ(Entries().size(), 2u);
  EXPECT_EQ(Entries()[0].rfind(".out.txt.qjtmp-", 0), 0u);
  ASSERT_TRUE(file.Write("ab\ncd"));
  ASSERT_TRUE(file.Write("ef"));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(qjtest::ReadBytes(Target()), "ab\r\ncdef");
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});
}

// The temporary file a killed run left beside the target goes with the next
// replace; another target's, a name of another form and the temporary file
// of a run that is still writing (held open) stay.
TEST_F(WindowsDownloadFileTest, ReplaceRemovesTheTemporaryFilesOfKilledRunsOnly) {
  qjtest::WriteBytes(Target(), "old");
  for (const char* name : {".out.txt.qjtmp-00a1b2", ".other.txt.qjtmp-00a1b2", ".out.txt.qjtmp-keep"}) {
    qjtest::WriteBytes(dir.path() + "\\" + name, "left");
  }
  qj::DownloadFile running;
  ASSERT_TRUE(running.Open(Target(), qj::WriteMode::Replace));
  ASSERT_EQ(Entries().size(), 4u) << "the killed run's file went, the running run's came";
  qj::DownloadFile next;
  ASSERT_TRUE(next.Open(Target(), qj::WriteMode::Replace));
  ASSERT_TRUE(next.Write("new"));
  ASSERT_TRUE(next.Close());
  EXPECT_EQ(qjtest::ReadBytes(Target()), "new");
  const std::vector<std::string> left = Entries();
  EXPECT_EQ(std::count(left.begin(), left.end(), ".out.txt.qjtmp-00a1b2"), 0);
  EXPECT_EQ(std::count(left.begin(), left.end(), ".other.txt.qjtmp-00a1b2"), 1);
  EXPECT_EQ(std::count(left.begin(), left.end(), ".out.txt.qjtmp-keep"), 1);
  EXPECT_EQ(left.size(), 4u) << "the running run's own temporary file stays";
}

TEST_F(WindowsDownloadFileTest, AnAbandonedFileLeavesTheOldContent) {
  qjtest::WriteBytes(Target(), "old");
  {
    qj::DownloadFile file;
    ASSERT_TRUE(file.Open(Target(), qj::WriteMode::Replace));
    ASSERT_TRUE(file.Write("new records"));
  }
  EXPECT_EQ(qjtest::ReadBytes(Target()), "old");
  {
    qj::DownloadFile file;
    ASSERT_TRUE(file.Open(Target(), qj::WriteMode::Append));
    ASSERT_TRUE(file.Write(std::string(3u << 20, 'x')));  // more than the buffer: written already
  }
  EXPECT_EQ(qjtest::ReadBytes(Target()), "old") << "append mode cuts back to the old size";
  {
    qj::DownloadFile file;
    const std::string fresh = dir.path() + "\\fresh.txt";
    ASSERT_TRUE(file.Open(fresh, qj::WriteMode::Append));
    ASSERT_TRUE(file.Write("x"));
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"}) << "a file the append created goes again";
}

TEST_F(WindowsDownloadFileTest, AppendAddsBehindTheOldRecords) {
  qjtest::WriteBytes(Target(), "0001");
  qj::DownloadFile file;
  ASSERT_TRUE(file.Open(Target(), qj::WriteMode::Append));
  ASSERT_TRUE(file.Write("0002\n"));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(qjtest::ReadBytes(Target()), "00010002\r\n");
}

// More records than the buffer holds: each arrives whole, LF as CR LF, across
// the flushes; a closed file takes no more.
TEST_F(WindowsDownloadFileTest, RecordsBeyondTheBufferArriveWholeWithCrLf) {
  qj::DownloadFile file;
  ASSERT_TRUE(file.Open(Target(), qj::WriteMode::Replace));
  std::string expected;
  for (int i = 0; i < 30000; ++i) {
    const std::string text(static_cast<size_t>(i % 89), static_cast<char>('a' + i % 26));
    ASSERT_TRUE(file.Write(text + "\n" + std::to_string(i)));
    expected += text + "\r\n" + std::to_string(i);
  }
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(qjtest::ReadBytes(Target()), expected);
  EXPECT_FALSE(file.Write("late"));
  EXPECT_EQ(qjtest::ReadBytes(Target()), expected);
}

TEST_F(WindowsDownloadFileTest, TargetsThatCannotBeWrittenAreLeftAsTheyAre) {
  qjtest::WriteBytes(Target(), "keep");
  ASSERT_TRUE(SetFileAttributesA(Target().c_str(), FILE_ATTRIBUTE_READONLY));
  qj::DownloadFile readOnly;
  EXPECT_FALSE(readOnly.Open(Target(), qj::WriteMode::Replace));
  ASSERT_TRUE(SetFileAttributesA(Target().c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(qjtest::ReadBytes(Target()), "keep");

  qj::DownloadFile directory;
  EXPECT_FALSE(directory.Open(dir.path(), qj::WriteMode::Replace));
  qj::DownloadFile missing;
  EXPECT_FALSE(missing.Open(dir.path() + "\\no\\such\\dir\\out.txt", qj::WriteMode::Replace));
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});

  // Each failure names the operation and the file it failed on, then its
  // cause as the system describes it, on one line.
  qj::DownloadFile missingAppend, unnamed;
  const std::string missingDir = dir.path() + "\\no\\such\\dir\\";
  EXPECT_FALSE(missingAppend.Open(missingDir + "out.txt", qj::WriteMode::Append));
  EXPECT_FALSE(unnamed.Open("", qj::WriteMode::Replace));
  const std::vector<std::pair<const qj::DownloadFile*, std::string>> failures{
      {&readOnly, "Schreibrecht fuer " + Target() + ": "},
      {&directory, "Schreibrecht fuer " + dir.path() + ": "},
      {&missing, "Oeffnen von " + missingDir + "out.txt: "},
      {&missingAppend, "Oeffnen von " + missingDir + "out.txt: "},
      {&unnamed, ""}};
  std::vector<std::string> causes;
  for (const auto& [failed, named] : failures) {
    const std::string& failure = failed->Failure();
    ASSERT_EQ(failure.rfind(named, 0), 0u) << "[" << failure << "]";
    const std::string cause = failure.substr(named.size());
    EXPECT_TRUE(cause.size() > 1 && cause.back() != ' ' && cause.find_first_of("\r\n") == std::string::npos)
        << "[" << failure << "]";
    causes.push_back(cause);
  }
  EXPECT_EQ(causes[1], causes[0]);
  EXPECT_NE(causes[2], causes[0]);
  EXPECT_EQ(causes[3], causes[2]);

  qj::DownloadFile device;
  ASSERT_TRUE(device.Open("NUL", qj::WriteMode::Replace));
  EXPECT_TRUE(device.Write("to nowhere"));
  EXPECT_TRUE(device.Close());
}

}  // namespace
