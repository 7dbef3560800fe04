// Several runs on one download file at once, runs that wait for another's
// lock, termination signals during the write and a console that cannot be
// written: every record of a successful run is in the file exactly once and
// intact, a failed or interrupted run leaves no byte behind.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "support/e2e_fixture.h"

namespace {

using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

constexpr int kRows = 20000;
constexpr size_t kNameWidth = 60;
constexpr size_t kRecordBytes = 4 + 6 + kNameWidth + 1;  // the LF of a name is stored as CR LF

// Records "<terminal><id><name with LF>": one terminal name per run tells
// the runs' records apart; 20000 of them fill more than one write buffer.
void UseTerminalTable(const E2eInstall& install) {
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("RUN", {"SELECT '$parm01', id, name FROM big"},
                                   {{1, "TERM", "CHAR", "4"}, {2, "ID", "DEC", "6"}, {3, "NAME", "CHAR", "60"}}));
  install.UseSqlite("CREATE TABLE big (id INTEGER, name VARCHAR(60));\n"
                    "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                    std::to_string(kRows) + ") INSERT INTO big SELECT k, 'Satz' || char(10) || k FROM n;\n");
}

std::string Record(const std::string& terminal, int id) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%06d", id);
  std::string name = "Satz\r\n" + std::to_string(id);
  name.resize(kNameWidth + 1, ' ');
  return terminal + digits + name;
}

std::string ReadIfThere(const std::string& path) { return qjtest::FileExists(path) ? ReadBytes(path) : ""; }

// The runs found in a download, block by block: each run's records must
// stand together, complete and intact. Returns the terminals in file order,
// or a description of the damage.
struct Blocks {
  std::vector<std::string> terminals;
  std::string damage;
  size_t records = 0;
};

Blocks ReadBlocks(const std::string& bytes) {
  Blocks blocks;
  if (bytes.size() % kRecordBytes != 0) blocks.damage = "size " + std::to_string(bytes.size());
  std::map<std::string, int> seen;
  std::vector<bool> ids;
  for (size_t at = 0; at + kRecordBytes <= bytes.size() && blocks.damage.empty(); at += kRecordBytes) {
    const std::string terminal = bytes.substr(at, 4);
    if (blocks.terminals.empty() || blocks.terminals.back() != terminal) {
      if (!blocks.terminals.empty() && seen[blocks.terminals.back()] != kRows) blocks.damage = "short block";
      if (seen.count(terminal) != 0) blocks.damage = "second block of " + terminal;
      blocks.terminals.push_back(terminal);
      ids.assign(kRows + 1, false);
    }
    const int id = std::atoi(bytes.substr(at + 4, 6).c_str());
    if (id < 1 || id > kRows || ids[id] || bytes.compare(at, kRecordBytes, Record(terminal, id)) != 0) {
      blocks.damage = "torn or repeated record at byte " + std::to_string(at);
    } else {
      ids[id] = true;
      ++seen[terminal];
      ++blocks.records;
    }
  }
  if (!blocks.terminals.empty() && seen[blocks.terminals.back()] != kRows && blocks.damage.empty()) {
    blocks.damage = "short last block";
  }
  return blocks;
}

std::string Terminal(int i) { return "T" + std::string(i < 10 ? "00" : "0") + std::to_string(i); }

struct Started {
  std::unique_ptr<qjtest::TempDir> logs;
  std::unique_ptr<qjtest::BackgroundRun> run;
};

Started Start(const E2eInstall& install, const std::string& terminal, const char* flag, qjtest::RunOptions options = {},
              const std::string& trace = "") {
  Started s;
  s.logs = std::make_unique<qjtest::TempDir>();
  std::vector<std::string> args{"RUN", terminal, "dnl/out.txt", flag};
  if (!trace.empty()) args.push_back(trace);
  s.run = std::make_unique<qjtest::BackgroundRun>(args, install.Options("", options), s.logs->path());
  return s;
}

// Round one: 15 appends and 5 replaces at once; the file is the block of the
// last replace and after it appends, each once. Round two: 20 appends and 4
// appends that fail at the file size limit, at once onto that file: every
// successful append is there exactly once, the failed ones left nothing.
TEST(DownloadConcurrency, TwentyRunsAtOnceLoseNoRecordAndTearNone) {
  E2eInstall install;
  UseTerminalTable(install);
  std::vector<Started> runs;
  for (int i = 0; i < 20; ++i) runs.push_back(Start(install, Terminal(i), i % 4 == 0 ? "1" : "0"));
  for (auto& s : runs) {
    const auto r = s.run->Wait();
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  const std::string first = ReadBytes(install.Dnl("out.txt"));
  const Blocks one = ReadBlocks(first);
  ASSERT_EQ(one.damage, "");
  ASSERT_FALSE(one.terminals.empty());
  for (size_t b = 0; b < one.terminals.size(); ++b) {
    const int i = std::atoi(one.terminals[b].c_str() + 1);
    EXPECT_EQ(i % 4 == 0, b == 0) << "a replace block must stand first, and only there: " << one.terminals[b];
  }

  runs.clear();
  qjtest::RunOptions limited;
  const rlim_t limit = first.size() + kRecordBytes * 100;
  limited.beforeExec = [limit] {
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
  };
  for (int i = 20; i < 44; ++i) runs.push_back(Start(install, Terminal(i), "0", i >= 40 ? limited : qjtest::RunOptions{}));
  for (int i = 20; i < 44; ++i) {
    const auto r = runs[i - 20].run->Wait();
    EXPECT_EQ(r.exitCode, i >= 40 ? 7 : 0) << r.out << r.err;
    if (i >= 40) {
      EXPECT_EQ(r.err, "qjsqlexe: Datei dnl/out.txt: Schreiben von dnl/out.txt: File too large\n");
    }
  }
  const std::string second = ReadBytes(install.Dnl("out.txt"));
  ASSERT_EQ(second.compare(0, first.size(), first), 0);
  const Blocks two = ReadBlocks(second.substr(first.size()));
  EXPECT_EQ(two.damage, "");
  std::vector<std::string> expected;
  for (int i = 20; i < 40; ++i) expected.push_back(Terminal(i));
  std::vector<std::string> found = two.terminals;
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, expected);
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  std::printf("[ figures  ] 44 runs (4 failing at the size limit), %zu records checked, 0 lost\n",
              one.records + two.records);
}

// A run waits for the lock another process holds, says so in the trace, and
// writes to the file that the path names when it gets the lock: not to the
// file that was renamed away meanwhile.
TEST(DownloadConcurrency, WaitsForTheLockAndWritesToTheFileThePathNames) {
  E2eInstall install;
  UseTerminalTable(install);
  WriteBytes(install.Dnl("out.txt"), "old inode");
  const int held = open(install.Dnl("out.txt").c_str(), O_RDONLY | O_CLOEXEC);  // the lock must not pass to the run
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  Started s = Start(install, "T001", "0", {}, "/D");
  const std::string waitLine = " Warten auf Sperre der Datei dnl/out.txt\n";
  // The run reaches the file only after its fetch and sort, which take a
  // while under the sanitizers and a loaded machine: wait for the line itself.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (s.run->Running() && std::chrono::steady_clock::now() < deadline &&
         ReadIfThere(s.logs->File("stdout")).find(waitLine) == std::string::npos) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ASSERT_TRUE(s.run->Running()) << ReadIfThere(s.logs->File("stdout"));
  ASSERT_NE(ReadIfThere(s.logs->File("stdout")).find(waitLine), std::string::npos);
  WriteBytes(install.Dnl("new.txt"), "new inode");
  ASSERT_EQ(rename(install.Dnl("new.txt").c_str(), install.Dnl("out.txt").c_str()), 0);
  close(held);
  const auto r = s.run->Wait();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find(waitLine), std::string::npos) << r.out;
  const std::string bytes = ReadBytes(install.Dnl("out.txt"));
  EXPECT_EQ(bytes.substr(0, 9), "new inode");
  EXPECT_EQ(ReadBlocks(bytes.substr(9)).records, static_cast<size_t>(kRows));
}

// SIGTERM, SIGINT or SIGHUP while the records are written: the append is cut
// back, the temporary file removed, exit 128 + signal. A run killed with
// SIGKILL leaves its hidden temporary file, which the next replace removes.
TEST(DownloadConcurrency, TerminationSignalsDuringTheWriteLeaveTheOldFile) {
  E2eInstall install;
  UseTerminalTable(install);
  const std::string old = "old download";
  int injected = 0;
  for (const auto& [sig, flag] : std::vector<std::pair<int, const char*>>{{SIGTERM, "0"}, {SIGINT, "1"}, {SIGHUP, "0"}, {SIGKILL, "1"}}) {
    SCOPED_TRACE(sig);
    bool sent = false;
    qjtest::RunResult r;
    for (int attempt = 0; attempt < 5 && !sent; ++attempt) {
      WriteBytes(install.Dnl("out.txt"), old);
      // Holding the lock keeps the run at the file until the signal can be sent.
      const int held = open(install.Dnl("out.txt").c_str(), O_RDONLY | O_CLOEXEC);  // the lock must not pass to the run
      flock(held, LOCK_EX);
      Started s = Start(install, "T001", flag, {}, "/D");
      while (s.run->Running() && ReadIfThere(s.logs->File("stdout")).find("Warten auf Sperre") == std::string::npos) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      close(held);
      while (!sent && s.run->Running()) {
        struct stat st {};
        const bool writing = *flag == '0' ? (stat(install.Dnl("out.txt").c_str(), &st) == 0 &&
                                             st.st_size > static_cast<off_t>(old.size()))
                                          : install.DnlEntries().size() > 1;
        if (writing && sig == SIGKILL) {
          // Stopped there, the run is killed only while its temporary file
          // is still there, before the rename.
          if (s.run->Stop()) {
            sent = install.DnlEntries().size() > 1;
            s.run->Kill(sent ? SIGKILL : SIGCONT);
          }
        } else if (writing) {
          s.run->Kill(sig);
          sent = true;
        }
      }
      r = s.run->Wait();
      // Sent after the file was put in place, the signal ends the run with
      // the download written, or it reaches a run that has already ended:
      // try again.
      if ((sig != SIGKILL && r.signal == sig) || (r.signal == 0 && r.exitCode == 0)) sent = false;
    }
    ASSERT_TRUE(sent) << "the write was never seen";
    ++injected;
    if (sig == SIGKILL) {
      EXPECT_EQ(r.signal, SIGKILL);
    } else {
      EXPECT_EQ(r.exitCode, 128 + sig) << r.out << r.err;
      EXPECT_NE(r.err.find("qjsqlexe: Datei dnl/out.txt: abgebrochen durch "), std::string::npos) << r.err;
      EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
    }
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), old);
  }
  EXPECT_EQ(install.DnlEntries().size(), 2u) << "the killed run's temporary file";
  const auto r = install.Run({"RUN", "T002", "dnl/out.txt", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  EXPECT_EQ(ReadBlocks(ReadBytes(install.Dnl("out.txt"))).records, static_cast<size_t>(kRows));
  std::printf("[ figures  ] %d signals injected during the write, 0 bytes left behind\n", injected);
}

off_t SizeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

const char kCutBackLine[] = "qjsqlexe: Datei dnl/out.txt: Rest eines abgebrochenen Laufs entfernt, auf ";

// Appends killed with SIGKILL at random points of their write: before the
// first record reaches the file or after a random stretch of it. The next run
// (in either mode) cuts the file back first, with one line on standard error:
// the file is always the old content followed by whole runs only.
TEST(DownloadConcurrency, AppendsKilledAtAnyPointLeaveWholeRunsOnly) {
  E2eInstall install;
  UseTerminalTable(install);
  const std::string old = "old content without a record";
  const std::string out = install.Dnl("out.txt");
  const std::string journal = install.Dnl(".out.txt.qjjournal");
  WriteBytes(out, old);
  std::mt19937 random(19);
  int torn = 0;
  size_t wholeRuns = 0;
  off_t clean = static_cast<off_t>(old.size());  // the old content and the whole runs
  bool cutBackExpected = false;
  for (int i = 0; i < 14; ++i) {
    SCOPED_TRACE(i);
    Started s = Start(install, Terminal(i), "0");
    // Every other run is killed, at a random point: once the journal has
    // appeared or once the file has grown, after a random number of looks.
    const bool afterGrowth = random() % 2 == 0;
    int looks = static_cast<int>(random() % 400);
    bool killed = false;
    while (i % 2 == 0 && !killed && s.run->Running()) {
      const bool reached = afterGrowth ? SizeOf(out) > clean : qjtest::FileExists(journal);
      if (!reached || looks-- > 0) continue;
      // Stopped, the run is killed only while it is writing: its journal is
      // there, or only part of its records.
      if (s.run->Stop()) {
        const off_t size = SizeOf(out);
        killed = qjtest::FileExists(journal) || (size > clean && size < clean + static_cast<off_t>(kRows * kRecordBytes));
        s.run->Kill(killed ? SIGKILL : SIGCONT);
      }
      break;
    }
    const auto r = s.run->Wait();
    EXPECT_EQ(killed, r.signal == SIGKILL) << r.out << r.err;
    if (!killed) {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(r.err.rfind(kCutBackLine, 0) == 0, cutBackExpected) << r.err;
      cutBackExpected = false;
      clean += static_cast<off_t>(kRows * kRecordBytes);
      ++wholeRuns;
      continue;
    }
    ++torn;
    // A run killed before its first record leaves only the journal: the
    // file keeps its size, and no line is needed.
    cutBackExpected = SizeOf(out) > clean;
    if (random() % 3 == 0) {
      // A replace run carries out the journal as well, before it fails at
      // the file size limit.
      const std::string before = ReadBytes(out);
      qjtest::RunOptions noRoom;
      noRoom.beforeExec = [] {
        const rlimit rl{1, 1};
        setrlimit(RLIMIT_FSIZE, &rl);
      };
      const auto replace = install.Run({"RUN", "T999", "dnl/out.txt", "1"}, "", noRoom);
      EXPECT_EQ(replace.exitCode, 7);
      EXPECT_EQ(replace.err.rfind(kCutBackLine, 0) == 0, cutBackExpected) << replace.err;
      EXPECT_TRUE(ReadBytes(out) == before.substr(0, static_cast<size_t>(clean)));
      cutBackExpected = false;
    }
  }
  const std::string bytes = ReadBytes(out);
  ASSERT_EQ(bytes.compare(0, old.size(), old), 0);
  const Blocks blocks = ReadBlocks(bytes.substr(old.size()));
  EXPECT_EQ(blocks.damage, "");
  EXPECT_EQ(blocks.terminals.size(), wholeRuns);
  EXPECT_EQ(install.DnlEntries(), std::vector<std::string>{"out.txt"});
  EXPECT_GE(torn, 3) << "too few runs were caught writing";
  std::printf("[ figures  ] %d of 7 appends killed while writing, %zu whole runs in the file, no torn record\n", torn,
              wholeRuns);
}

// A killed in-place replace (the target has a second hard link) gets its old
// content back; a killed replace of a missing target leaves no empty file: the
// next run removes both before it writes.
TEST(DownloadConcurrency, KilledInPlaceReplaceAndKilledCreateAreUndone) {
  E2eInstall install;
  UseTerminalTable(install);
  const std::string out = install.Dnl("out.txt");
  const std::string old(3 << 20, 'o');  // larger than the new download
  // Stops a replace run at the point where stop() says so and kills it
  // there; a run that ended first is tried again after reset().
  auto killWhen = [&](const std::function<bool()>& stop, const std::function<void()>& reset) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      Started s = Start(install, "T001", "1");
      bool killed = false;
      while (!killed && s.run->Running()) {
        if (stop() && s.run->Stop()) {
          killed = stop();
          s.run->Kill(killed ? SIGKILL : SIGCONT);
          if (!killed) break;
        }
      }
      const auto r = s.run->Wait();
      if (killed) return true;
      EXPECT_EQ(r.exitCode, 0) << r.err;
      reset();
    }
    return false;
  };

  WriteBytes(out, old);
  ASSERT_EQ(link(out.c_str(), install.Dnl("link.txt").c_str()), 0);
  ASSERT_TRUE(killWhen([&] {
    std::string head(16, '\0');
    FILE* f = std::fopen(out.c_str(), "rb");
    const bool read = f != nullptr && std::fread(&head[0], 1, head.size(), f) == head.size();
    if (f != nullptr) std::fclose(f);
    // Written over at its start, and not yet cut to the new size.
    return read && head != old.substr(0, head.size()) &&
           (qjtest::FileExists(install.Dnl(".out.txt.qjjournal")) || SizeOf(out) == static_cast<off_t>(old.size()));
  }, [&] { WriteBytes(out, old); })) << "the write in place was never seen";
  EXPECT_NE(ReadBytes(out).substr(0, 4), "oooo");
  auto r = install.Run({"RUN", "T002", "dnl/out.txt", "0"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "qjsqlexe: Datei dnl/out.txt: alter Inhalt nach abgebrochenem Lauf wiederhergestellt\n");
  const std::string bytes = ReadBytes(install.Dnl("link.txt"));
  ASSERT_EQ(bytes.size(), old.size() + kRows * kRecordBytes);
  EXPECT_EQ(bytes.compare(0, old.size(), old), 0);
  EXPECT_EQ(ReadBlocks(bytes.substr(old.size())).terminals, std::vector<std::string>{"T002"});
  EXPECT_EQ(install.DnlEntries(), (std::vector<std::string>{"link.txt", "out.txt"}));

  ASSERT_EQ(unlink(out.c_str()), 0);
  ASSERT_EQ(unlink(install.Dnl("link.txt").c_str()), 0);
  // The target that carries the lock and the temporary file: the run is writing.
  const auto writing = [&] {
    const std::vector<std::string> names = install.DnlEntries();
    return std::count(names.begin(), names.end(), "out.txt") == 1 &&
           std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.rfind(".out.txt.qjtmp-", 0) == 0; });
  };
  ASSERT_TRUE(killWhen(writing, [&] { std::remove(out.c_str()); }))
      << "the new download was never seen";
  EXPECT_EQ(SizeOf(out), 0);
  // The next run fails at the file size limit: it removes the killed run's
  // empty file first, and then its own.
  qjtest::RunOptions noRoom;
  noRoom.beforeExec = [] {
    const rlimit rl{1, 1};
    setrlimit(RLIMIT_FSIZE, &rl);
  };
  r = install.Run({"RUN", "T002", "dnl/out.txt", "0"}, "", noRoom);
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "qjsqlexe: Datei dnl/out.txt: von einem abgebrochenen Lauf angelegte Datei entfernt\n");
  EXPECT_FALSE(qjtest::FileExists(out));
  const std::vector<std::string> left = install.DnlEntries();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind(".out.txt.qjtmp-", 0), 0u) << "the killed run's temporary file, for the next replace";
}

// Standard output closed, full or a pipe without reader: the download is
// written, the failed console write is reported with exit 8, not 7.
TEST(DownloadConcurrency, ConsoleThatCannotBeWrittenExits8WithTheDownloadWritten) {
  E2eInstall install;
  install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                        IniSection("ONE", {"SELECT 'abc'"}, {{1, "A", "CHAR", "3"}}));
  install.UseSqlite("CREATE TABLE t (x INTEGER);\n");
  const std::vector<std::pair<std::string, std::function<void()>>> consoles{
      {"Bad file descriptor", [] { close(1); }},
      {"No space left on device", [] { dup2(open("/dev/full", O_WRONLY), 1); }},
      {"Broken pipe", [] {
         int p[2];
         if (pipe(p) == 0) {
           close(p[0]);
           dup2(p[1], 1);
         }
       }}};
  for (const auto& [cause, setUp] : consoles) {
    SCOPED_TRACE(cause);
    std::remove(install.Dnl("out.txt").c_str());
    qjtest::RunOptions options;
    options.beforeExec = setUp;
    auto r = install.Run({"ONE", "T1", "dnl/out.txt", "0"}, "", options);
    EXPECT_EQ(r.exitCode, 8) << r.err;
    EXPECT_EQ(r.err, "qjsqlexe: Standardausgabe nicht geschrieben: " + cause + "\n");
    EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "abc");
  }
  // A download not written keeps its 7.
  qjtest::RunOptions closed;
  closed.beforeExec = [] {
    close(1);
    const rlimit rl{1, 1};
    setrlimit(RLIMIT_FSIZE, &rl);
  };
  const auto r = install.Run({"ONE", "T1", "dnl/out.txt", "0"}, "", closed);
  EXPECT_EQ(r.exitCode, 7) << r.err;
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), "abc");
  // A run that wrote nothing keeps its own code: only a run that would have
  // ended with 0 says "written, do not run again".
  qjtest::RunOptions closedOnly;
  closedOnly.beforeExec = [] { close(1); };
  EXPECT_EQ(install.Run({"ONE", "T1", "dnl/out.txt"}, "", closedOnly).exitCode, 1);
  EXPECT_EQ(install.Run({"ONE", "T1", "dnl/out.txt", "9"}, "", closedOnly).exitCode, 2);
}

}  // namespace
