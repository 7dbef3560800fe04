// The download file: adding, writing in both modes, and every failure leaving
// the old content intact with no temporary file behind.

#include "extract/output_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/run_context.h"
#include "extract/download_file.h"
#include "support/test_support.h"

namespace {

using qj::ctx;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return names;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
  return names;
}

mode_t Permissions(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Runs body in a child process whose files may not grow beyond limit bytes;
// returns the child's exit code.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class OutputFile : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::move(ctx);
    ctx = qj::RunContext();
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    ctx = std::move(saved_);
  }
  void Prepare(const std::string& target, const std::string& flag, std::vector<std::string> lines) {
    ctx.TargetFile = target;
    ctx.ReplaceFlag = flag;
    ctx.OutputLines = std::move(lines);
  }
  qj::RunContext saved_;
  std::string out_, err_;
  qjtest::TempDir dir_;
};

TEST_F(OutputFile, AddRecordLineAppendsCopiesInOrder) {
  ctx.RecordLine = "b";
  qj::AddRecordLine();
  ctx.RecordLine = "";
  qj::AddRecordLine();
  ctx.RecordLine = "b";
  qj::AddRecordLine();
  EXPECT_EQ(ctx.OutputLines, (std::vector<std::string>{"b", "", "b"}));
}

TEST_F(OutputFile, ReplaceWritesRecordsBackToBackWithLfAsCrLf) {
  const std::string target = dir_.File("out.txt");
  WriteBytes(target, "old content that goes away");
  chmod(target.c_str(), 0640);
  Prepare(target, "1", {"AB\n", "", "C\nD", "E"});
  ctx.TraceMode = true;
  qj::WriteFile();
  EXPECT_EQ(ReadBytes(target), "AB\r\nC\r\nDE");
  EXPECT_EQ(out_, "Str WriteFile\nEnd WriteFile\n");
  EXPECT_FALSE(ctx.DownloadNotWritten);
  EXPECT_EQ(Permissions(target), 0640u);
  EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"out.txt"});
}

TEST_F(OutputFile, NewFileGetsTheUmaskedDefaultPermissions) {
  const mode_t old = umask(027);
  Prepare(dir_.File("new.txt"), "1", {"x"});
  qj::WriteFile();
  umask(old);
  EXPECT_EQ(ReadBytes(dir_.File("new.txt")), "x");
  EXPECT_EQ(Permissions(dir_.File("new.txt")), 0640u);
}

TEST_F(OutputFile, AppendFollowsTheOldBytesDirectly) {
  const std::string target = dir_.File("out.txt");
  WriteBytes(target, "OLD");
  Prepare(target, "0", {"1\n", "2"});
  qj::WriteFile();
  EXPECT_EQ(ReadBytes(target), "OLD1\r\n2");
  Prepare(dir_.File("fresh.txt"), "0", {"n"});
  qj::WriteFile();
  EXPECT_EQ(ReadBytes(dir_.File("fresh.txt")), "n");
  EXPECT_EQ(out_, "");
}

TEST_F(OutputFile, NoLinesTouchesNothing) {
  const std::string target = dir_.File("out.txt");
  WriteBytes(target, "keep");
  for (const char* flag : {"1", "0"}) {
    Prepare(target, flag, {});
    qj::WriteFile();
    Prepare(dir_.File("missing.txt"), flag, {});
    qj::WriteFile();
  }
  EXPECT_EQ(ReadBytes(target), "keep");
  EXPECT_FALSE(qjtest::FileExists(dir_.File("missing.txt")));
  EXPECT_FALSE(ctx.DownloadNotWritten);
}

TEST_F(OutputFile, SymbolicLinkStaysALinkAndItsFileIsReplaced) {
  const std::string real = dir_.File("real.txt");
  WriteBytes(real, "old");
  ASSERT_EQ(symlink(real.c_str(), dir_.File("link.txt").c_str()), 0);
  Prepare(dir_.File("link.txt"), "1", {"new"});
  qj::WriteFile();
  EXPECT_EQ(ReadBytes(real), "new");
  struct stat st {};
  ASSERT_EQ(lstat(dir_.File("link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(OutputFile, DeviceIsWrittenInPlace) {
  Prepare("/dev/null", "1", {"discarded"});
  qj::WriteFile();
  EXPECT_FALSE(ctx.DownloadNotWritten);
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(OutputFile, FileThatCannotBeCreatedIsReported) {
  // A directory part that is a regular file: no one can create the target,
  // root included.
  WriteBytes(dir_.File("plain"), "x");
  for (const char* flag : {"1", "0"}) {
    out_.clear();
    ctx.DownloadNotWritten = false;
    Prepare(dir_.File("plain") + "/out.txt", flag, {"a"});
    ctx.TraceMode = true;
    qj::WriteFile();
    EXPECT_EQ(out_, "Str WriteFile\nDatei konnte nicht erstellt werden:\n" + ctx.TargetFile + "\nEnd WriteFile\n");
    EXPECT_TRUE(ctx.DownloadNotWritten);
  }
  EXPECT_EQ(ReadBytes(dir_.File("plain")), "x");
  for (const std::string& target : {std::string(), dir_.path()}) {
    out_.clear();
    Prepare(target, "1", {"a"});
    ctx.TraceMode = false;
    qj::WriteFile();
    EXPECT_EQ(out_, "Datei konnte nicht erstellt werden:\n" + target + "\n");
  }
  EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"plain"});
}

TEST_F(OutputFile, ReadOnlyTargetIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const std::string target = dir_.File("ro.txt");
  WriteBytes(target, "old");
  chmod(target.c_str(), 0444);
  Prepare(target, "1", {"new"});
  qj::WriteFile();
  EXPECT_TRUE(ctx.DownloadNotWritten);
  EXPECT_EQ(ReadBytes(target), "old");
}

TEST_F(OutputFile, FailedWriteOnADeviceIsReported) {
  Prepare("/dev/full", "1", {"no room"});
  qj::WriteFile();
  EXPECT_EQ(out_, "Datei konnte nicht geschrieben werden:\n/dev/full\n");
  EXPECT_TRUE(ctx.DownloadNotWritten);
}

// A file size limit makes the write fail part way through.
TEST_F(OutputFile, SizeLimitLeavesTheOldFileIntactInBothModes) {
  const std::string old(3000, 'o');
  const std::string record(1000, 'r');
  const std::string target = dir_.File("out.txt");
  for (const char* flag : {"1", "0"}) {
    SCOPED_TRACE(flag);
    WriteBytes(target, old);
    const int code = RunWithFileSizeLimit(8192, [&]() {
      // Enough records for several buffer flushes past the limit.
      Prepare(target, flag, std::vector<std::string>(3000, record));
      qj::WriteFile();
      const bool expected = out_ == "Datei konnte nicht geschrieben werden:\n" + target + "\n";
      return ctx.DownloadNotWritten && expected ? 7 : 1;
    });
    EXPECT_EQ(code, 7);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"out.txt"});
  }
}

TEST_F(OutputFile, CloseReportsAFailureOfTheBufferedRest) {
  const std::string target = dir_.File("out.txt");
  WriteBytes(target, "old");
  for (qj::WriteMode mode : {qj::WriteMode::Replace, qj::WriteMode::Append}) {
    const int code = RunWithFileSizeLimit(100, [&]() {
      qj::DownloadFile file;
      if (!file.Open(target, mode)) return 2;
      // Small records stay in the buffer: only closing writes them.
      for (int i = 0; i < 20; ++i) {
        if (!file.Write("0123456789")) return 3;
      }
      return file.Close() ? 4 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"out.txt"});
  }
}

TEST_F(OutputFile, LargeDownloadAcrossManyBufferFlushes) {
  const std::string target = dir_.File("big.txt");
  std::vector<std::string> lines;
  std::string expected;
  for (int i = 0; i < 40000; ++i) {
    lines.push_back(std::string(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26)) + "\n" + std::to_string(i));
    expected += std::string(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26)) + "\r\n" + std::to_string(i);
  }
  lines.push_back(std::string(3 << 20, 'z') + "\n");  // one record larger than the buffer
  expected += std::string(3 << 20, 'z') + "\r\n";
  qj::DownloadFile file;
  ASSERT_TRUE(file.Open(target, qj::WriteMode::Replace));
  for (const std::string& line : lines) ASSERT_TRUE(file.Write(line));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadBytes(target), expected);
}

TEST_F(OutputFile, AbandonedAppendOfANewFileRemovesIt) {
  const std::string target = dir_.File("new.txt");
  {
    qj::DownloadFile file;
    ASSERT_TRUE(file.Open(target, qj::WriteMode::Append));
    ASSERT_TRUE(file.Write(std::string(3 << 20, 'x')));  // past the buffer: on disk already
  }
  EXPECT_FALSE(qjtest::FileExists(target));
  EXPECT_TRUE(Entries(dir_.path()).empty());
}

}  // namespace
