// The download file: adding, writing in both modes, and every failure leaving
// the old content intact with no temporary file behind.

#include "extract/output_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/download_file.h"
#include "extract/line_list.h"
#include "support/run_context_fixture.h"
#include "support/test_support.h"

namespace {

using qj::ctx;
using qjtest::ReadBytes;
using qjtest::WriteBytes;
using Names = std::vector<std::string>;

// Runs body in a child process whose files may not grow beyond limit bytes;
// returns the child's exit code.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    _exit(setrlimit(RLIMIT_FSIZE, &rl) != 0 ? 90 : body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class OutputFile : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
  }
  // Writes the lines and returns what was printed.
  std::string Write(const std::string& target, const std::string& flag, std::vector<std::string> lines) {
    out_.clear();
    ctx.TargetFile = target;
    ctx.ReplaceFlag = flag;
    ctx.OutputLines = std::make_shared<qj::LineList>(lines);
    qj::WriteFile();
    return out_;
  }
  Names Entries() const {
    Names names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  static mode_t Mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
  }
  std::string out_, err_;
  qjtest::TempDir dir_;
  const std::string target_ = dir_.File("out.txt");
};

TEST_F(OutputFile, ReplaceAndAppendWriteRecordsBackToBackWithLfAsCrLf) {
  for (const char* line : {"b", "", "b"}) {
    ctx.RecordLine = line;
    qj::AddRecordLine();
  }
  EXPECT_EQ(*ctx.OutputLines, (Names{"b", "", "b"}));
  WriteBytes(target_, "old content that goes away");
  chmod(target_.c_str(), 0640);
  ctx.TraceMode = true;
  EXPECT_EQ(Write(target_, "1", {"AB\n", "", "C\nD", "E"}), "Str WriteFile\nEnd WriteFile\n");
  EXPECT_EQ(ReadBytes(target_), "AB\r\nC\r\nDE");
  EXPECT_EQ(Mode(target_) & 07777, 0640u);
  ctx.TraceMode = false;
  EXPECT_EQ(Write(target_, "0", {"1\n", "2"}), "");
  EXPECT_EQ(ReadBytes(target_), "AB\r\nC\r\nDE1\r\n2");
  const mode_t old = umask(027);
  Write(dir_.File("new.txt"), "1", {"x"});
  Write(dir_.File("fresh.txt"), "0", {"n"});
  umask(old);
  EXPECT_EQ(ReadBytes(dir_.File("new.txt")) + ReadBytes(dir_.File("fresh.txt")), "xn");
  EXPECT_EQ(Mode(dir_.File("new.txt")) & 07777, 0640u);
  // No lines touch nothing.
  for (const char* flag : {"1", "0"}) {
    Write(target_, flag, {});
    Write(dir_.File("missing.txt"), flag, {});
  }
  EXPECT_EQ(ReadBytes(target_), "AB\r\nC\r\nDE1\r\n2");
  EXPECT_FALSE(ctx.DownloadNotWritten);
  EXPECT_EQ(Entries(), (Names{"fresh.txt", "new.txt", "out.txt"}));
}

// A run context whose output list was never made (no record added) sorts and
// writes like an empty list: the target stays as it is.
TEST_F(OutputFile, NoOutputListWritesNothingLikeAnEmptyOne) {
  WriteBytes(target_, "old");
  ctx.TraceMode = true;
  const std::string empty = Write(target_, "1", {});
  ctx.OutputLines.reset();
  out_.clear();
  qj::SortOutputLines();
  qj::WriteFile();
  EXPECT_EQ(out_, empty);
  EXPECT_EQ(ReadBytes(target_), "old");
  EXPECT_EQ(ctx.OutputLines, nullptr);
}

TEST_F(OutputFile, LinksStayLinksAndDevicesAreWrittenInPlace) {
  WriteBytes(dir_.File("real.txt"), "old");
  ASSERT_EQ(symlink(dir_.File("real.txt").c_str(), target_.c_str()), 0);
  Write(target_, "1", {"new"});
  EXPECT_EQ(ReadBytes(dir_.File("real.txt")), "new");
  EXPECT_TRUE(S_ISLNK(Mode(target_)));
  EXPECT_EQ(Write("/dev/null", "1", {"discarded"}), "");
  EXPECT_FALSE(ctx.DownloadNotWritten);
  EXPECT_TRUE(S_ISCHR(Mode("/dev/null")));
  EXPECT_EQ(Write("/dev/full", "1", {"no room"}), "Datei konnte nicht geschrieben werden:\n/dev/full\n");
  EXPECT_TRUE(ctx.DownloadNotWritten);
}

TEST_F(OutputFile, FileThatCannotBeCreatedIsReported) {
  // A directory part that is a regular file: no one can create the target.
  WriteBytes(dir_.File("plain"), "x");
  const std::string target = dir_.File("plain") + "/out.txt";
  ctx.TraceMode = true;
  for (const char* flag : {"1", "0"}) {
    ctx.DownloadNotWritten = false;
    err_.clear();
    EXPECT_EQ(Write(target, flag, {"a"}),
              "Str WriteFile\nDatei konnte nicht erstellt werden:\n" + target + "\nEnd WriteFile\n");
    EXPECT_TRUE(ctx.DownloadNotWritten);
    // The cause names the step that failed and its file.
    EXPECT_EQ(err_, "qjsqlexe: Datei " + target + ": Anlegen von " + target + ": Not a directory\n");
  }
  ctx.TraceMode = false;
  for (const std::string& other : {std::string(), dir_.path()}) {
    EXPECT_EQ(Write(other, "1", {"a"}), "Datei konnte nicht erstellt werden:\n" + other + "\n");
  }
  EXPECT_EQ(err_.substr(err_.rfind("qjsqlexe: ")),
            "qjsqlexe: Datei " + dir_.path() + ": Oeffnen von " + dir_.path() + ": Is a directory\n");
  EXPECT_EQ(ReadBytes(dir_.File("plain")), "x");
  if (geteuid() != 0) {  // root may write any file
    WriteBytes(target_, "old");
    chmod(target_.c_str(), 0444);
    ctx.DownloadNotWritten = false;
    Write(target_, "1", {"new"});
    EXPECT_TRUE(ctx.DownloadNotWritten);
    EXPECT_EQ(ReadBytes(target_), "old");
    std::remove(target_.c_str());
  }
  EXPECT_EQ(Entries(), Names{"plain"});
}

TEST_F(OutputFile, FailedWritesLeaveTheOldFileIntactInBothModes) {
  const std::string old(3000, 'o');
  for (const char* flag : {"1", "0"}) {
    SCOPED_TRACE(flag);
    WriteBytes(target_, old);
    // Enough records for several buffer flushes past the limit.
    EXPECT_EQ(RunWithFileSizeLimit(8192, [&]() {
                const bool reported = Write(target_, flag, Names(3000, std::string(1000, 'r'))) ==
                                      "Datei konnte nicht geschrieben werden:\n" + target_ + "\n";
                return ctx.DownloadNotWritten && reported ? 7 : 1;
              }),
              7);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(Entries(), Names{"out.txt"});
  }
  // Small records stay in the buffer: only closing writes them, and fails.
  for (qj::WriteMode mode : {qj::WriteMode::Replace, qj::WriteMode::Append}) {
    EXPECT_EQ(RunWithFileSizeLimit(100, [&]() {
                qj::DownloadFile file;
                if (!file.Open(target_, mode)) return 2;
                for (int i = 0; i < 20; ++i) {
                  if (!file.Write("0123456789")) return 3;
                }
                return file.Close() ? 4 : 0;
              }),
              0);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(Entries(), Names{"out.txt"});
  }
}

TEST_F(OutputFile, LargeDownloadIsWrittenWhole) {
  Names lines;
  std::string expected;
  for (int i = 0; i < 40000; ++i) {
    const std::string text(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26));
    lines.push_back(text + "\n" + std::to_string(i));
    expected += text + "\r\n" + std::to_string(i);
  }
  lines.push_back(std::string(3 << 20, 'z') + "\n");  // one record larger than the buffer
  EXPECT_EQ(Write(target_, "1", lines), "");
  EXPECT_EQ(ReadBytes(target_), expected + std::string(3 << 20, 'z') + "\r\n");
}

// Downloads of many write-back steps (the written pages go to the disk every
// 8 MB, beside the writing) end whole in every way of writing, and a failure
// after some steps leaves the old content and no temporary file.
TEST_F(OutputFile, DownloadsPastTheWriteBackStepsInEveryWay) {
  const Names lines(20000, std::string(1000, 'w'));  // 20 MB
  const std::string written(20000 * 1000, 'w');
  EXPECT_EQ(Write(target_, "1", lines), "");  // through a temporary file
  EXPECT_EQ(ReadBytes(target_), written);
  EXPECT_EQ(Write(target_, "0", lines), "");  // appended
  EXPECT_EQ(ReadBytes(target_), written + written);
  ASSERT_EQ(link(target_.c_str(), dir_.File("second.txt").c_str()), 0);  // in place, for the second name
  EXPECT_EQ(Write(target_, "1", Names(9000, std::string(1000, 'i'))), "");
  EXPECT_EQ(ReadBytes(dir_.File("second.txt")), std::string(9000 * 1000, 'i'));
  ASSERT_EQ(unlink(dir_.File("second.txt").c_str()), 0);
  const std::string old(3000, 'o');
  for (const char* flag : {"1", "0"}) {
    SCOPED_TRACE(flag);
    WriteBytes(target_, old);
    EXPECT_EQ(RunWithFileSizeLimit(12 << 20, [&]() { return Write(target_, flag, lines).empty() ? 1 : 7; }), 7);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(Entries(), Names{"out.txt"});
  }
  {
    qj::DownloadFile abandoned;
    ASSERT_TRUE(abandoned.Open(target_, qj::WriteMode::Replace));
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(abandoned.Write(std::string(1 << 20, 'a')));
  }
  EXPECT_EQ(ReadBytes(target_), old);
  EXPECT_EQ(Entries(), Names{"out.txt"});
}

TEST_F(OutputFile, AbandonedAppendToANewFileLeavesNoFile) {
  {
    qj::DownloadFile abandoned;
    ASSERT_TRUE(abandoned.Open(dir_.File("new.txt"), qj::WriteMode::Append));
    ASSERT_TRUE(abandoned.Write(std::string(3 << 20, 'x')));  // past the buffer: on disk already
  }
  EXPECT_EQ(Entries(), Names{});
}

// Where a rename would make another file of it, the download is written in
// place: hard links, extended attributes, a sticky directory and a name too
// long for the temporary name keep the inode; a dangling link gets its file.
// A failed write in place puts the old content back.
TEST_F(OutputFile, IdentityIsKeptWhereARenameWouldLoseIt) {
  auto inode = [](const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
  };
  WriteBytes(target_, "old linked content");
  ASSERT_EQ(link(target_.c_str(), dir_.File("other.txt").c_str()), 0);
  const ino_t linked = inode(target_);
  EXPECT_EQ(Write(target_, "1", {"new"}), "");
  EXPECT_EQ(ReadBytes(dir_.File("other.txt")), "new");
  EXPECT_EQ(inode(target_), linked);
  EXPECT_EQ(RunWithFileSizeLimit(3000, [&]() {
              Write(target_, "1", Names(20, std::string(1000, 'r')));
              return ctx.DownloadNotWritten ? 7 : 1;
            }),
            7);
  EXPECT_EQ(ReadBytes(dir_.File("other.txt")), "new");
  std::remove(dir_.File("other.txt").c_str());

  if (setxattr(target_.c_str(), "user.qjtest", "1", 1, 0) == 0) {
    const ino_t tagged = inode(target_);
    Write(target_, "1", {"tagged"});
    char value[4] = {};
    EXPECT_EQ(getxattr(target_.c_str(), "user.qjtest", value, sizeof value), 1);
    EXPECT_EQ(inode(target_), tagged);
    removexattr(target_.c_str(), "user.qjtest");
  }

  const std::string longName = dir_.File(std::string(250, 'n'));
  WriteBytes(longName, "old");
  const ino_t longInode = inode(longName);
  EXPECT_EQ(Write(longName, "1", {"long"}), "");
  EXPECT_EQ(ReadBytes(longName), "long");
  EXPECT_EQ(inode(longName), longInode);
  std::remove(longName.c_str());

  ASSERT_EQ(chmod(dir_.path().c_str(), 01777), 0);
  const ino_t sticky = inode(target_);
  Write(target_, "1", {"sticky"});
  EXPECT_EQ(inode(target_), sticky);
  EXPECT_EQ(ReadBytes(target_), "sticky");
  ASSERT_EQ(chmod(dir_.path().c_str(), 0700), 0);

  const std::string dangling = dir_.File("link.txt");
  ASSERT_EQ(symlink("made.txt", dangling.c_str()), 0);
  EXPECT_EQ(Write(dangling, "1", {"made"}), "");
  EXPECT_TRUE(S_ISLNK(Mode(dangling)));
  EXPECT_EQ(ReadBytes(dir_.File("made.txt")), "made");
  EXPECT_FALSE(ctx.DownloadNotWritten);
}

// Temporary files of killed runs go with the next replace; other names stay.
TEST_F(OutputFile, ReplaceRemovesLeftoverTemporaryFiles) {
  WriteBytes(dir_.File(".out.txt.qjtmp-a1B2c3"), "killed run");
  WriteBytes(dir_.File(".out.txt.qjtmp-keep"), "not ours");
  Write(target_, "0", {"append leaves them"});
  EXPECT_EQ(Entries(), (Names{".out.txt.qjtmp-a1B2c3", ".out.txt.qjtmp-keep", "out.txt"}));
  Write(target_, "1", {"replace"});
  EXPECT_EQ(Entries(), (Names{".out.txt.qjtmp-keep", "out.txt"}));
  EXPECT_EQ(ReadBytes(target_), "replace");
}

// A symbolic link to a missing file: append and replace create the file it
// names, as "a" and "w" writers do (the append once retried its open for
// ever), and a failed replace leaves no half-written file behind.
TEST_F(OutputFile, LinkToAMissingFileGetsItsFileInBothModes) {
  const std::string link = dir_.File("link.txt");
  ASSERT_EQ(symlink("made.txt", link.c_str()), 0);
  EXPECT_EQ(RunWithFileSizeLimit(RLIM_INFINITY, [&]() {
              alarm(10);
              Write(link, "0", {"appended"});
              return ctx.DownloadNotWritten ? 1 : 0;
            }),
            0);
  EXPECT_EQ(ReadBytes(dir_.File("made.txt")), "appended");
  std::remove(dir_.File("made.txt").c_str());
  EXPECT_EQ(RunWithFileSizeLimit(8192, [&]() {
              Write(link, "1", Names(3000, std::string(1000, 'r')));
              return ctx.DownloadNotWritten ? 7 : 1;
            }),
            7);
  EXPECT_EQ(Entries(), Names{"link.txt"});
}

// No room for a second copy on a small file system: the replace is written
// in place, as "w" would write it; with no room even for that the old content
// stays. Needs a private mount namespace (root); skipped otherwise.
TEST_F(OutputFile, NoRoomForASecondCopyWritesInPlace) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("qjtest", dir_.path().c_str(), "tmpfs", 0, "size=1m") != 0) {
      _exit(77);
    }
    if (mkdir(dir_.File("d").c_str(), 0755) != 0) _exit(3);  // the tmpfs root is sticky
    const std::string target = dir_.File("d/out.txt");
    WriteBytes(target, std::string(700000, 'o'));
    ctx.DownloadNotWritten = false;
    Write(target, "1", Names(600, std::string(1000, 'n')));
    if (ctx.DownloadNotWritten || ReadBytes(target) != std::string(600000, 'n')) _exit(1);
    Write(target, "1", Names(1100, std::string(1000, 'x')));
    if (!ctx.DownloadNotWritten || ReadBytes(target) != std::string(600000, 'n')) _exit(2);
    // Past several write-back steps before the room runs out.
    if (umount(dir_.path().c_str()) != 0 || mount("qjtest", dir_.path().c_str(), "tmpfs", 0, "size=40m") != 0) _exit(4);
    if (mkdir(dir_.File("d").c_str(), 0755) != 0) _exit(5);
    WriteBytes(target, std::string(18 << 20, 'o'));
    ctx.DownloadNotWritten = false;
    Write(target, "1", Names(20000, std::string(1000, 'm')));
    if (ctx.DownloadNotWritten || ReadBytes(target) != std::string(20000 * 1000, 'm')) _exit(6);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mount namespace";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
