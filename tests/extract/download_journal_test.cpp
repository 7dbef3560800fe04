// The journal beside the download file: runs killed while they change the
// file are undone by the next run in either mode; journals cut off while they
// were written, or left for another file, are dropped without touching the
// file; one that cannot be carried out stops the write.

#include "extract/download_journal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>

#include "driver/console.h"
#include "extract/download_file.h"
#include "support/test_support.h"

namespace {

using qj::DownloadFile;
using qj::WriteMode;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

constexpr size_t kPastTheBuffer = 3 << 20;  // written to the file before Close

// Runs body in a child process and returns its exit code, or 100 + the
// signal that ended it.
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// A run that has written part of its records and is then killed.
int KilledWhileWriting(const std::string& target, WriteMode mode) {
  return InChild([&] {
    DownloadFile file;
    if (!file.Open(target, mode) || !file.Write(std::string(kPastTheBuffer, 'k'))) return 1;
    raise(SIGKILL);
    return 2;
  });
}

class DownloadJournal : public ::testing::Test {
 protected:
  void SetUp() override { qj::Console::CaptureForTest(&out_, &err_); }
  void TearDown() override { qj::Console::CaptureForTest(nullptr, nullptr); }

  // A run that writes "new" and closes; its result.
  bool WriteNew(WriteMode mode) {
    DownloadFile file;
    return file.Open(target_, mode) && file.Write("new") && file.Close();
  }
  std::string Line(const std::string& what) const { return "qjsqlexe: Datei " + target_ + ": " + what + "\n"; }

  std::string out_, err_;
  qjtest::TempDir dir_;
  const std::string target_ = dir_.File("out.txt");
  const std::string journal_ = dir_.File(".out.txt.qjjournal");
};

TEST_F(DownloadJournal, KilledRunsAreUndoneByTheNextRunInEitherMode) {
  const std::string old = "old content";
  struct Case {
    const char* killed;
    WriteMode killedMode;
    bool exists, linked;
    std::string line;
  };
  const Case cases[] = {
      {"append", WriteMode::Append, true, false, Line("Rest eines abgebrochenen Laufs entfernt, auf 11 Bytes gekuerzt")},
      {"in place", WriteMode::Replace, true, true, Line("alter Inhalt nach abgebrochenem Lauf wiederhergestellt")},
      {"append creating", WriteMode::Append, false, false, Line("von einem abgebrochenen Lauf angelegte Datei entfernt")},
      {"replace creating", WriteMode::Replace, false, false, Line("von einem abgebrochenen Lauf angelegte Datei entfernt")},
  };
  for (const Case& c : cases) {
    for (const WriteMode next : {WriteMode::Append, WriteMode::Replace}) {
      SCOPED_TRACE(std::string(c.killed) + (next == WriteMode::Append ? ", next appends" : ", next replaces"));
      std::remove(target_.c_str());
      std::remove(dir_.File("link.txt").c_str());
      if (c.exists) WriteBytes(target_, old);
      if (c.linked) {
        ASSERT_EQ(link(target_.c_str(), dir_.File("link.txt").c_str()), 0);
      }
      if (c.exists) chmod(target_.c_str(), 0640);
      ASSERT_EQ(KilledWhileWriting(target_, c.killedMode), 100 + SIGKILL);
      ASSERT_TRUE(qjtest::FileExists(journal_));
      if (c.linked) {
        // The copy of the old content is no more readable than the file.
        struct stat file {}, journal {};
        ASSERT_EQ(stat(target_.c_str(), &file), 0);
        ASSERT_EQ(stat(journal_.c_str(), &journal), 0);
        EXPECT_EQ(journal.st_mode & 07777, 0640u);
        EXPECT_EQ(journal.st_gid, file.st_gid);
      }
      err_.clear();
      ASSERT_TRUE(WriteNew(next));
      EXPECT_EQ(err_, c.line);
      const bool keepsOld = c.exists && next == WriteMode::Append;
      EXPECT_EQ(ReadBytes(target_), keepsOld ? old + "new" : "new");
      if (c.linked) {
        EXPECT_EQ(ReadBytes(dir_.File("link.txt")), ReadBytes(target_));
      }
      EXPECT_FALSE(qjtest::FileExists(journal_));
    }
  }
}

// Journals that say nothing about the file as it is: one cut off before its
// last line (the killed run had not touched the file yet), one of another
// file (a replace renamed a new file over its target), one of an append that
// wrote nothing. They go without a line and the file stays.
TEST_F(DownloadJournal, JournalsThatDoNotApplyAreDroppedAndTheFileStays) {
  WriteBytes(target_, "old content");
  struct stat st {};
  ASSERT_EQ(stat(target_.c_str(), &st), 0);
  const std::string id = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino);
  const std::string journals[] = {
      "qjsqlexe-journal inplace " + id + " 11 11\nOLD CONTE",
      "qjsqlexe-journal inplace " + id + " 11 11\nOLD CONTENTend",
      "qjsqlexe-journal inplace " + id + " 11 11\nOLD CONTENTen\n",
      "qjsqlexe-journal app",
      "",
      "qjsqlexe-journal inplace " + std::to_string(st.st_dev) + " " + std::to_string(st.st_ino + 1) +
          " 3 3\nOLDend\n",
      "qjsqlexe-journal append " + id + " 11 0\nend\n",
      "qjsqlexe-journal unknown " + id + " 0 0\nend\n",
  };
  for (const std::string& journal : journals) {
    SCOPED_TRACE(journal);
    WriteBytes(journal_, journal);
    err_.clear();
    EXPECT_TRUE(WriteNew(WriteMode::Append));
    EXPECT_EQ(err_, "");
    EXPECT_EQ(ReadBytes(target_), "old contentnew");
    EXPECT_FALSE(qjtest::FileExists(journal_));
    WriteBytes(target_, "old content");
  }
  // A file the run has just created gets nothing from a journal, even one
  // that names its inode (the number of a removed file, given again).
  WriteBytes(journal_, "qjsqlexe-journal inplace " + id + " 11 11\nOLD CONTENTend\n");
  const qj::RecoveryResult fresh = qj::RecoverJournal(journal_, dir_.path(), target_, st, true);
  EXPECT_TRUE(fresh.ok);
  EXPECT_EQ(fresh.what, qj::Recovery::Unused);
  EXPECT_EQ(ReadBytes(target_), "old content");
  EXPECT_FALSE(qjtest::FileExists(journal_));
  // The same journal, whole, is carried out.
  WriteBytes(journal_, "qjsqlexe-journal inplace " + id + " 11 11\nOLD CONTENTend\n");
  EXPECT_TRUE(WriteNew(WriteMode::Append));
  EXPECT_EQ(ReadBytes(target_), "OLD CONTENTnew");
}

// A journal the run cannot carry out or remove (here a directory of that
// name) stops the write in both modes: the file stays as it is, and the
// cause names the journal.
TEST_F(DownloadJournal, AJournalThatCannotBeCarriedOutStopsTheWrite) {
  WriteBytes(target_, "old");
  ASSERT_EQ(mkdir(journal_.c_str(), 0700), 0);
  for (const WriteMode mode : {WriteMode::Append, WriteMode::Replace}) {
    DownloadFile file;
    EXPECT_FALSE(file.Open(target_, mode));
    EXPECT_EQ(file.Failure(), "Journal " + journal_ + " eines abgebrochenen Laufs nicht ausgefuehrt: Is a directory");
    EXPECT_EQ(ReadBytes(target_), "old");
  }
  ASSERT_EQ(rmdir(journal_.c_str()), 0);
  EXPECT_TRUE(WriteNew(WriteMode::Replace));
  EXPECT_EQ(ReadBytes(target_), "new");
}

// Memory that runs out after the file has been written in place (one record
// larger than what the process may still map): the old content comes back
// from the journal while the failure unwinds. Address-space limits do not
// work under AddressSanitizer.
TEST_F(DownloadJournal, MemoryRunningOutWhileWritingInPlaceLeavesTheOldFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer";
#endif
  std::string old(8 << 20, 'o');
  for (size_t i = 0; i < old.size(); i += 997) old[i] = static_cast<char>('a' + i % 26);
  WriteBytes(target_, old);
  ASSERT_EQ(link(target_.c_str(), dir_.File("link.txt").c_str()), 0);
  EXPECT_EQ(InChild([&] {
              constexpr size_t kHuge = size_t{512} << 20;
              void* huge = mmap(nullptr, kHuge, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
              if (huge == MAP_FAILED) return 1;
              bool caught = false;
              {
                DownloadFile file;
                if (!file.Open(target_, WriteMode::Replace)) return 2;
                for (int i = 0; i < 3; ++i) {
                  if (!file.Write(std::string(kPastTheBuffer, 'n'))) return 3;
                }
                if (ReadBytes(target_).compare(0, 4, "nnnn") != 0) return 4;  // written in place by now
                rlimit limit{};
                getrlimit(RLIMIT_AS, &limit);
                limit.rlim_cur = 64 << 20;  // far below what the process maps already
                if (setrlimit(RLIMIT_AS, &limit) != 0) return 5;
                try {
                  file.Write(std::string_view(static_cast<const char*>(huge), kHuge));
                } catch (const std::bad_alloc&) {
                  caught = true;
                }
              }
              return caught ? 0 : 6;
            }),
            0);
  EXPECT_TRUE(ReadBytes(target_) == old);
  EXPECT_FALSE(qjtest::FileExists(journal_));
}

}  // namespace
