#include "extract/download_file.h"
#include "extract/download_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "driver/console.h"
#include "platform/signals.h"
#include "platform/text_util.h"

namespace qj {

namespace {

constexpr char kTemporaryMark[] = ".qjtmp-";
constexpr size_t kTemporaryRandom = 6;  // the XXXXXX of mkostemp

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// The directory part of a path ("." when it has none) and its last name.
std::string DirectoryOf(const std::string& path) {
  std::string directory = DirectoryPart(path, "/");
  if (directory.empty()) return ".";
  if (directory.size() > 1) directory.pop_back();
  return directory;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is written at the file it points to, so the link stays a
// link; a link to a missing file names the file to create (as "w" and "a"
// writers create it).
std::string ResolveLink(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    char resolved[PATH_MAX];
    if (realpath(at.c_str(), resolved) != nullptr) return resolved;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(at.c_str(), link, sizeof link - 1);
    if (n <= 0) return at;
    const std::string next(link, static_cast<size_t>(n));
    at = next[0] == '/' ? next : DirectoryOf(at) + "/" + next;
  }
  return at;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Every this many bytes written, the written pages go to the disk.
constexpr off_t kWriteBackBytes = off_t{8} << 20;

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Takes the run's lock on fd, waiting for other runs, and tells whether path
// still names the locked file.
bool LockNamedFile(int fd, const std::string& path, const std::string& shown) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return true;  // a file system without locks: go on unlocked
    Trace(" Warten auf Sperre der Datei %s\n", {shown});
    Console::Flush();  // seen while the run waits
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  struct stat locked {}, named {};
  return ::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 && SameFile(locked, named);
}

bool MayGiveOwner(const struct stat& st) {
  if (geteuid() == 0) return true;
  if (st.st_uid != geteuid()) return false;
  if (st.st_gid == getegid()) return true;
  const int count = getgroups(0, nullptr);
  std::vector<gid_t> groups(count > 0 ? static_cast<size_t>(count) : 0);
  if (count > 0 && getgroups(count, groups.data()) != count) return false;
  for (const gid_t g : groups) {
    if (g == st.st_gid) return true;
  }
  return false;
}

// Whether a file renamed over the target would not be the same file to its
// users or could not be made.
bool RenameLosesIdentity(int fd, const struct stat& st, const std::string& target) {
  if (st.st_nlink > 1 || !MayGiveOwner(st)) return true;
  if (::flistxattr(fd, nullptr, 0) > 0) return true;
  const std::string dir = DirectoryOf(target);
  struct stat dirSt {};
  if (::stat(dir.c_str(), &dirSt) != 0 || (dirSt.st_mode & S_ISVTX) != 0) return true;
  if (::access(dir.c_str(), W_OK | X_OK) != 0) return true;
  const long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  const size_t temporaryName = 1 + NameOf(target).size() + sizeof kTemporaryMark - 1 + kTemporaryRandom;
  return nameMax > 0 && temporaryName > static_cast<size_t>(nameMax);
}

// Temporary files of runs that were killed: no run holds them, as every run
// writes its own only while it holds the target's lock.
void RemoveLeftoverTemporaries(const std::string& target) {
  const std::string dir = DirectoryOf(target);
  const std::string prefix = "." + NameOf(target) + kTemporaryMark;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() == prefix.size() + kTemporaryRandom && StartsWith(name, prefix)) {
      ::unlink((dir + "/" + name).c_str());
    }
  }
  ::closedir(d);
}

}  // namespace

// The file's written pages sent to the disk on a thread of its own, beside
// the writing of the next records: the system submits them there, on the
// other core, and the fsync at the end finds little left to wait for. Only
// a hint: the fsync still makes the file durable and reports every failure.
// Started while the termination signals are held, the thread holds them too.
class WriteBack {
 public:
  explicit WriteBack(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  // Waits for the system call under way, if any, and ends the thread.
  ~WriteBack() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  WriteBack(const WriteBack&) = delete;
  WriteBack& operator=(const WriteBack&) = delete;

  // More of the file is written.
  void Written() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++written_;
    }
    wake_.notify_one();
  }

 private:
  void Run() {
    uint64_t sent = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this, &sent] { return stopping_ || written_ != sent; });
      if (stopping_) return;
      sent = written_;
      lock.unlock();
      // The whole file: the system passes over pages already on their way.
      (void)::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
      lock.lock();
    }
  }

  const int fd_;
  std::mutex mutex_;
  std::condition_variable wake_;
  uint64_t written_ = 0;  // how often more was written
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the rest is there
};

void DownloadFile::WriteBackWritten() {
  if (!writeBack_) {
    if (!signalsHeld_) return;
    try {
      writeBack_ = std::make_unique<WriteBack>(fd_);
    } catch (const std::system_error&) {
      return;  // no thread to be had: the fsync at the end does it all
    }
  }
  writeBack_->Written();
}

DownloadFile::DownloadFile() = default;

DownloadFile::~DownloadFile() {
  writeBack_.reset();
  if (fd_ >= 0) Abandon();
  Unlock();
}

bool DownloadFile::Fail() {
  if (failure_.empty()) failure_ = std::strerror(errno);
  failed_ = true;
  return false;
}

// The failure as "<operation> <path>: <cause>", so that the line on standard
// error tells which step failed on which file.
bool DownloadFile::Fail(const char* operation, const std::string& path) {
  const int error = errno;
  if (failure_.empty()) failure_ = FormatMessageText("%s %s: %s", {operation, path, std::strerror(error)});
  failed_ = true;
  return false;
}

bool DownloadFile::CheckSignals() {
  if (interrupted_ == 0) interrupted_ = ArrivedTerminationSignal();
  if (interrupted_ == 0) return true;
  if (failure_.empty()) failure_ = std::string("abgebrochen durch ") + strsignal(interrupted_);
  failed_ = true;
  return false;
}

void DownloadFile::NeverWrite(const std::string& path, const std::string& cause) {
  neverWrite_.emplace_back(path, cause);
}

// Takes the run's lock on the target open at fd. Held: the path still names
// the locked file, which is none of the files never to write, and a journal
// that a killed run left has been carried out. Again: the caller opens the
// path anew (a replace run put a new file there, or the journal removed the
// file the killed run had created). Failed: a file the run created is gone
// again.
DownloadFile::Locking DownloadFile::TakeLockedFile(int fd, const std::string& shown) {
  if (!LockNamedFile(fd, target_, shown)) return Locking::Again;
  if (!CheckLockedFile(fd, shown)) {
    if (created_) ::unlink(target_.c_str());
    return Locking::Failed;
  }
  return again_ ? Locking::Again : Locking::Held;
}

bool DownloadFile::CheckLockedFile(int fd, const std::string& shown) {
  again_ = false;
  struct stat locked {};
  if (::fstat(fd, &locked) != 0) return Fail("Status von", target_);
  for (const auto& [path, cause] : neverWrite_) {
    struct stat own {};
    if (::stat(path.c_str(), &own) == 0 && SameFile(own, locked)) {
      failure_ = cause;
      failed_ = true;
      return false;
    }
  }
  if (!S_ISREG(locked.st_mode)) return true;
  // A file this run created, still empty, is no killed run's: another run
  // that took the lock first and was killed would have left its records.
  const bool fresh = created_ && locked.st_size == 0;
  const RecoveryResult recovery = RecoverJournal(journal_, directory_, target_, locked, fresh);
  if (!recovery.ok) {
    failure_ = FormatMessageText("Journal %s eines abgebrochenen Laufs nicht ausgefuehrt: %s",
                                 {journal_, std::strerror(errno)});
    failed_ = true;
    return false;
  }
  switch (recovery.what) {
    case Recovery::CutBack:
      Console::Err(
          FormatMessageText("qjsqlexe: Datei %s: Rest eines abgebrochenen Laufs entfernt, auf %i Bytes gekuerzt\n",
                            {shown, static_cast<int64_t>(recovery.size)}));
      break;
    case Recovery::Restored:
      Console::Err(
          FormatMessageText("qjsqlexe: Datei %s: alter Inhalt nach abgebrochenem Lauf wiederhergestellt\n", {shown}));
      break;
    case Recovery::Removed:
      Console::Err(
          FormatMessageText("qjsqlexe: Datei %s: von einem abgebrochenen Lauf angelegte Datei entfernt\n", {shown}));
      again_ = true;
      break;
    case Recovery::None:
    case Recovery::Unused:
      break;
  }
  return true;
}

// Writes the journal before the target's first byte changes. An append or a
// created file goes on without one where none can be written (it is then
// only safe against failures the run sees); the caller of an in-place write
// keeps the old content in memory instead.
bool DownloadFile::StartJournal(int fd) {
  const JournalKind kind = created_ ? JournalKind::Created
                           : kind_ == Kind::Append ? JournalKind::Append
                                                   : JournalKind::InPlace;
  journaled_ = WriteJournal(journal_, directory_, fd, kind, oldSize_);
  return journaled_;
}

// The new content is on disk: the journal goes. If it cannot go, the next
// run would undo this one, so the run fails instead.
bool DownloadFile::EndJournal() {
  if (journaled_ && !RemoveJournal(journal_.c_str(), directory_.c_str())) return false;
  journaled_ = false;
  return true;
}

void DownloadFile::Unlock() {
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
  if (signalsHeld_) ReleaseTerminationSignals();
  signalsHeld_ = false;
}

bool DownloadFile::Open(const std::string& path, WriteMode mode) {
  failed_ = false;
  failure_.clear();
  interrupted_ = 0;
  created_ = false;
  StartBuffer();
  oldContent_.clear();
  keptInPlace_ = false;
  inMemory_ = false;
  journaled_ = false;
  oldSize_ = 0;
  written_ = 0;
  if (path.empty()) {  // no name, no file: as opening it would fail
    errno = ENOENT;
    return Fail();
  }
  const bool opened = mode == WriteMode::Append ? OpenAppend(path) : OpenReplace(path);
  if (!opened) {
    if (failure_.empty()) Fail();
    // Nothing was written: the file is closed as it is, not cut back.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    Unlock();
  }
  return opened;
}

bool DownloadFile::OpenAppend(const std::string& shown) {
  kind_ = Kind::Append;
  const std::string path = ResolveLink(shown);  // O_EXCL never follows a link
  target_ = path;
  directory_ = DirectoryOf(path);
  journal_ = JournalPath(path);
  for (int tries = 0;; ++tries) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
    created_ = fd_ >= 0;
    if (fd_ < 0 && errno != EEXIST) return Fail("Anlegen von", path);  // ENOENT here: no such directory
    if (fd_ < 0) fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT && tries < 100) continue;  // removed between the two opens
    if (fd_ < 0) return Fail("Oeffnen von", path);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail("Status von", path);
    if (!S_ISREG(st.st_mode)) {
      oldSize_ = -1;
      return true;
    }
    const Locking locking = TakeLockedFile(fd_, shown);
    if (locking == Locking::Failed) return false;
    if (locking == Locking::Held) break;
    ::close(fd_);
    fd_ = -1;
  }
  HoldTerminationSignals();
  signalsHeld_ = true;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return Fail("Status von", path);
  oldSize_ = st.st_size;
  // Another run may have taken the lock between the create and ours and
  // written its records: then the file is no longer this run's to remove.
  created_ = created_ && oldSize_ == 0;
  StartJournal(fd_);
  return true;
}

bool DownloadFile::OpenReplace(const std::string& path) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    kind_ = Kind::InPlace;
    target_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0 || Fail("Oeffnen von", path);
  }
  target_ = ResolveLink(path);
  directory_ = DirectoryOf(target_);
  journal_ = JournalPath(target_);
  // The lock sits on the target itself; a missing target is created empty to
  // carry it and removed again when the run fails.
  for (int tries = 0;; ++tries) {
    lockFd_ = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created_ = lockFd_ >= 0;
    if (lockFd_ < 0 && errno != EEXIST) return Fail("Anlegen von", target_);  // ENOENT here: no such directory
    if (lockFd_ < 0) lockFd_ = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    // A file this user may write but not read carries the lock as well.
    if (lockFd_ < 0 && errno == EACCES) lockFd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (lockFd_ < 0 && errno == ENOENT && tries < 100) continue;  // removed between the two opens
    if (lockFd_ < 0) return Fail("Oeffnen von", target_);
    const Locking locking = TakeLockedFile(lockFd_, path);
    if (locking == Locking::Failed) return false;
    if (locking == Locking::Held) break;
    ::close(lockFd_);
    lockFd_ = -1;
  }
  HoldTerminationSignals();
  signalsHeld_ = true;
  if (::fstat(lockFd_, &st) != 0) return Fail("Status von", target_);
  created_ = created_ && st.st_size == 0;  // another run's records are not ours to remove
  // A target the user may not write stays as it is, as opening it would.
  if (!created_ && ::access(target_.c_str(), W_OK) != 0) return Fail("Schreibrecht fuer", target_);
  RemoveLeftoverTemporaries(target_);
  if (!created_ && RenameLosesIdentity(lockFd_, st, target_)) return OpenInPlace();
  // A file created only to carry the lock goes again if the run is killed.
  if (created_) StartJournal(lockFd_);

  kind_ = Kind::Temporary;
  permissions_ = created_ ? (0666 & ~CurrentUmask()) : (st.st_mode & 07777);
  keepOwner_ = !created_;
  owner_ = st.st_uid;
  group_ = st.st_gid;
  temporary_ = DirectoryOf(target_) + "/." + NameOf(target_) + kTemporaryMark + std::string(kTemporaryRandom, 'X');
  fd_ = ::mkostemp(&temporary_[0], O_CLOEXEC);
  if (fd_ < 0) {
    temporary_.clear();
    return OpenInPlace();  // no temporary file possible here: as "w" would
  }
  return true;
}

bool DownloadFile::OpenInPlace() {
  kind_ = Kind::InPlace;
  keptInPlace_ = true;
  fd_ = ::open(target_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0 && errno == EACCES) {
    // Writable but not readable: the old content cannot be kept; written as
    // a plain "w" writer would.
    keptInPlace_ = false;
    fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd_ >= 0 || Fail("Oeffnen von", target_);
  }
  struct stat st {};
  const char* operation = "Oeffnen von";
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) {
    oldSize_ = st.st_size;
    // A file the run created has its journal already and no old content.
    if (journaled_ || StartJournal(fd_) || KeepInMemory()) return true;
    operation = "Sichern des alten Inhalts von";
  }
  const int error = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (created_) ::unlink(target_.c_str());
  if (created_ && journaled_) (void)EndJournal();
  errno = error;
  return Fail(operation, target_);
}

// No journal beside the target: the old content is kept in memory, if that
// much memory is to be had before anything changes; otherwise the write is
// refused.
bool DownloadFile::KeepInMemory() {
  try {
    oldContent_.resize(static_cast<size_t>(oldSize_));
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return false;
  }
  size_t done = 0;
  while (done < oldContent_.size()) {
    const ssize_t n = ::pread(fd_, &oldContent_[done], oldContent_.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // shorter than it was a moment ago
      return false;
    }
    done += static_cast<size_t>(n);
  }
  inMemory_ = true;
  return true;
}

// No room for a second copy: the file is written in place, its old content
// kept first; the records written so far move from the temporary file, which
// goes, into the target.
bool DownloadFile::InPlaceForRoom() {
  writeBack_.reset();
  const int temporary = fd_;
  fd_ = -1;
  const bool opened = OpenInPlace();
  const bool moved = opened && CopyBytes(temporary, 0, fd_, 0, written_) && ::lseek(fd_, written_, SEEK_SET) == written_;
  if (opened && !moved) Fail("Umkopieren nach", target_);
  ::close(temporary);
  ::unlink(temporary_.c_str());
  temporary_.clear();
  return moved;
}

bool DownloadFile::Flush() {
  if (failed_ || !CheckSignals()) return false;
  if (!buffer_.empty()) {
    if (!WriteAll(fd_, buffer_.data(), buffer_.size())) {
      if (kind_ != Kind::Temporary || (errno != ENOSPC && errno != EDQUOT)) {
        return Fail("Schreiben von", kind_ == Kind::Temporary ? temporary_ : target_);
      }
      if (!InPlaceForRoom()) return false;
      return Flush();
    }
    const off_t before = written_;
    written_ += static_cast<off_t>(buffer_.size());
    if (written_ / kWriteBackBytes != before / kWriteBackBytes) WriteBackWritten();
  }
  buffer_.clear();
  return true;
}

// The file is open again for Abandon after a failed close or journal removal.
bool DownloadFile::Reopen(const char* operation, const std::string& path) {
  const int error = errno;
  fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
  errno = error;
  return Fail(operation, path);
}

bool DownloadFile::Finish() {
  if (!Flush()) return false;
  writeBack_.reset();
  switch (kind_) {
    case Kind::InPlace: {
      if (!keptInPlace_) {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || Fail("Schliessen von", target_);
      }
      if (::ftruncate(fd_, written_) != 0) return Fail("Kuerzen von", target_);
      if (::fsync(fd_) != 0) return Fail("fsync von", target_);
      if (!CheckSignals()) return false;
      if (::close(fd_) != 0) return Reopen("Schliessen von", target_);
      fd_ = -1;
      // Until the journal is gone, the next run would put the old content back.
      if (!EndJournal()) return Reopen("Entfernen von", journal_);
      return true;
    }
    case Kind::Append: {
      if (oldSize_ >= 0 && ::fsync(fd_) != 0) return Fail("fsync von", target_);
      if (!CheckSignals()) return false;
      // fd_ carries the lock: the journal goes while it is held, or the next
      // run could take it for that of a killed run.
      if (!EndJournal()) return Fail("Entfernen von", journal_);
      if (::close(fd_) != 0) return Reopen("Schliessen von", target_);
      fd_ = -1;
      return true;
    }
    case Kind::Temporary: {
      if (keepOwner_) (void)::fchown(fd_, owner_, group_);  // checked by RenameLosesIdentity
      if (::fchmod(fd_, permissions_) != 0) return Fail("Rechte setzen fuer", temporary_);
      if (::fsync(fd_) != 0) {
        if (errno != ENOSPC && errno != EDQUOT) return Fail("fsync von", temporary_);
        if (!InPlaceForRoom()) return false;
        return Finish();
      }
      if (!CheckSignals()) return false;
      const int fd = fd_;
      fd_ = -1;
      if (::close(fd) != 0) return Fail("Schliessen von", temporary_);
      if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("Umbenennen nach", target_);
      temporary_.clear();
      SyncDirectory(directory_.c_str());
      // Renamed over, the file that carried the lock is no more: a journal
      // left now would find no file of its own and be dropped.
      (void)RemoveJournal(journal_.c_str(), directory_.c_str());
      journaled_ = false;
      return true;
    }
  }
  return false;
}

bool DownloadFile::Close() {
  if (fd_ < 0) return false;
  const bool done = Finish();
  if (!done) Abandon();
  Unlock();
  return done;
}

// Puts the old content back. Allocates nothing, as it also runs while an
// allocation failure unwinds the run. A journal that could not be carried
// out stays for the next run.
void DownloadFile::Abandon() {
  writeBack_.reset();
  buffer_.clear();
  failed_ = true;
  bool undone = true;
  switch (kind_) {
    case Kind::InPlace:
      if (!keptInPlace_) break;
      if (created_) {
        ::unlink(target_.c_str());
      } else if (inMemory_) {
        undone = fd_ >= 0 && WriteAt(fd_, oldContent_.data(), oldContent_.size(), 0) &&
                 ::ftruncate(fd_, oldSize_) == 0 && ::fsync(fd_) == 0;
      } else {
        undone = fd_ >= 0 && journaled_ && RestoreFromJournal(journal_.c_str(), fd_);
      }
      break;
    case Kind::Append:
      // Under the lock the bytes past the old size are this run's own.
      if (created_) {
        ::unlink(target_.c_str());
      } else if (oldSize_ >= 0) {
        undone = fd_ >= 0 && ::ftruncate(fd_, oldSize_) == 0 && ::fsync(fd_) == 0;
      }
      break;
    case Kind::Temporary:
      if (!temporary_.empty()) ::unlink(temporary_.c_str());
      temporary_.clear();
      if (created_) ::unlink(target_.c_str());
      break;
  }
  if (undone && journaled_ && RemoveJournal(journal_.c_str(), directory_.c_str())) journaled_ = false;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace qj
