#pragma once
// Writing the download file so that a failure never leaves it half written.
//
// On both systems:
// - Records are appended whole to a buffer of a megabyte, every LF byte of a
//   record written as CR LF; the buffer goes to the file when full and at
//   Close.
// - Replace mode writes the records to a temporary file ".<name>.qjtmp-XXXXXX"
//   in the target's directory, flushes it to disk and moves it over the
//   target; the target stays as it was until then. Leftover temporary files
//   of killed runs are removed first. A target that exists but is no regular
//   file (a device) takes the records directly.
// - Append mode cuts the file back to its old size when anything fails; a
//   file the run created is removed then.
// - A file still open when the object goes (a failure, Close never reached)
//   is abandoned: the old content comes back.
// - Files the run must never write (NeverWrite) are compared with the opened
//   target by file identity, not by name, so that no link leads around the
//   check.
// - Failure() gives the system's description of the first failure, after
//   the operation and the file it failed on ("Schreiben von <file>: <cause>";
//   a target without a name gives the cause alone).
//
// On Linux only:
// - Every run holds an advisory lock (flock, exclusive) on the target file
//   from Open to Close, so runs on one target follow each other; a run that
//   finds the file locked waits, with a trace line. Once it holds the lock it
//   checks that the path still names the file it opened (a replace run
//   before it may have put a new file there) and opens it again if not.
// - The temporary file of replace mode is given the old file's permission
//   bits and owner (a new file gets 0666 less the umask) before the rename.
//   Where the rename would change the file's identity (more than one hard
//   link, extended attributes or ACLs, an owner or group this user cannot
//   give, a directory that is not writable or sticky, a name too long for the
//   temporary name, no room for a second copy) the file is written in place:
//   its old content goes first into a journal beside it (see
//   download_journal.h), or, where no journal can be written there, into
//   memory if that much memory is to be had; otherwise the write is refused
//   and the file stays as it is. The old content comes back when anything
//   fails (a file that may be written but not read is written as a plain "w"
//   writer would). A target that is no regular file (a device, a FIFO) is
//   written as a plain "w" writer would; a symbolic link to a missing file is
//   replaced at the file it names.
// - In append mode a file the run created is kept on failure when another
//   run wrote into it before this run took the lock. A journal beside the
//   file holds the old size (or that the run created the file) while the
//   records are written.
// - A run that takes the lock and finds the journal of a killed run first
//   undoes that run's change: the append cut back, the old content of an
//   in-place write put back, a file the killed run created removed, with one
//   line on standard error.
// - SIGTERM, SIGINT and SIGHUP are held back from taking the lock to Close;
//   one that arrives ends the write as a failure with the old content back,
//   and Interrupted() names it.

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qj {

class WriteBack;

enum class WriteMode { Replace, Append };

class DownloadFile {
 public:
  DownloadFile();
  // A file still open is abandoned: the old content comes back.
  ~DownloadFile();
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // False when the file cannot be opened or created; nothing has changed then.
  bool Open(const std::string& path, WriteMode mode);

  // Appends one record. False once any write has failed.
  bool Write(std::string_view record);

  // Writes what is buffered, syncs and puts the file in place. False when
  // any step (or an earlier write) failed; the old content is then intact and
  // no temporary file is left.
  bool Close();

  // A file that the run must never write, whatever path leads to it; a target
  // that is this file is refused with the cause given. Call before Open.
  void NeverWrite(const std::string& path, const std::string& cause);

  // The cause of the first failure, as the system describes it.
  const std::string& Failure() const { return failure_; }
  // The termination signal that ended the write, or 0.
  int Interrupted() const { return interrupted_; }

 private:
  bool OpenAppend(const std::string& path);
  bool OpenReplace(const std::string& path);
  bool OpenInPlace();
  bool KeepInMemory();
  bool InPlaceForRoom();
  enum class Locking { Held, Again, Failed };
  Locking TakeLockedFile(int fd, const std::string& shown);
  bool CheckLockedFile(int fd, const std::string& shown);
  bool StartJournal(int fd);
  bool EndJournal();
  bool Fail();
  bool Fail(const char* operation, const std::string& path);
  bool Reopen(const char* operation, const std::string& path);
  bool CheckSignals();
  // The buffer emptied and ready for a megabyte of records.
  void StartBuffer();
  // Writes the buffer to the file and empties it; false on a failure.
  bool Flush();
  bool Finish();
  void Abandon();
  void Unlock();

  static constexpr size_t kBufferBytes = size_t{1} << 20;

  enum class Kind { Temporary, InPlace, Append };
  Kind kind_ = Kind::InPlace;
  int fd_ = -1;
  int lockFd_ = -1;        // the locked target, when it is not fd_
  std::string target_;     // the file the records end up in
  std::string temporary_;  // replace mode: the file written first
  std::string directory_;  // the target's directory
  std::string journal_;    // the journal beside the target
  bool journaled_ = false; // the journal is written and not yet removed
  bool again_ = false;     // the journal of a killed run removed the target
  std::vector<std::pair<std::string, std::string>> neverWrite_;  // path, cause
  mode_t permissions_ = 0;
#ifndef _WIN32  // Windows files have no owner ids; there fd_ is a C runtime descriptor of the file's handle
  bool keepOwner_ = false;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  // Sends the written pages to the disk beside the writing; ended before fd_
  // is closed, cut back or synced at the end.
  std::unique_ptr<WriteBack> writeBack_;
  void WriteBackWritten();
#endif
  off_t oldSize_ = 0;      // the size to cut back to
  off_t written_ = 0;      // written in place so far
  bool created_ = false;   // the run created the target file
  bool failed_ = false;
  int interrupted_ = 0;
  std::string failure_;
  bool keptInPlace_ = false;  // written in place with the old content kept to put back
  bool inMemory_ = false;     // ... kept in oldContent_, not in the journal
  bool signalsHeld_ = false;
  std::string oldContent_;
  std::string buffer_;
};

}  // namespace qj
