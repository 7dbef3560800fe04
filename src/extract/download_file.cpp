#include "extract/download_file.h"
#include "extract/record_text.h"

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
#include <cstring>
#include <vector>

#include "driver/console.h"
#include "platform/signals.h"
#include "platform/text_util.h"

namespace qj {

namespace {

constexpr size_t kBufferSize = size_t{1} << 20;
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

bool ReadAll(int fd, std::string& out) {
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(chunk, static_cast<size_t>(n));
  }
}

void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The rename has happened; a failed directory sync cannot bring the old
  // file back, so it is not reported.
  (void)::fsync(fd);
  ::close(fd);
}

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

DownloadFile::~DownloadFile() {
  if (fd_ >= 0) Abandon();
  Unlock();
}

bool DownloadFile::Fail() {
  if (failure_.empty()) failure_ = std::strerror(errno);
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
  buffer_.clear();
  oldContent_.clear();
  keptInPlace_ = false;
  written_ = 0;
  if (path.empty()) {  // no name, no file: as opening it would fail
    errno = ENOENT;
    return Fail();
  }
  buffer_.reserve(kBufferSize);
  const bool opened = mode == WriteMode::Append ? OpenAppend(path) : OpenReplace(path);
  if (!opened) {
    if (failure_.empty()) Fail();
    Unlock();
  }
  return opened;
}

bool DownloadFile::OpenAppend(const std::string& shown) {
  kind_ = Kind::Append;
  const std::string path = ResolveLink(shown);  // O_EXCL never follows a link
  target_ = path;
  for (int tries = 0;; ++tries) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
    created_ = fd_ >= 0;
    if (fd_ < 0 && errno != EEXIST) return Fail();  // ENOENT here: no such directory
    if (fd_ < 0) fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT && tries < 100) continue;  // removed between the two opens
    if (fd_ < 0) return Fail();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail();
    if (!S_ISREG(st.st_mode)) {
      oldSize_ = -1;
      return true;
    }
    if (LockNamedFile(fd_, path, shown)) break;
    ::close(fd_);
    fd_ = -1;
  }
  HoldTerminationSignals();
  signalsHeld_ = true;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return Fail();
  oldSize_ = st.st_size;
  // Another run may have taken the lock between the create and ours and
  // written its records: then the file is no longer this run's to remove.
  created_ = created_ && oldSize_ == 0;
  return true;
}

bool DownloadFile::OpenReplace(const std::string& path) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    kind_ = Kind::InPlace;
    target_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0 || Fail();
  }
  target_ = ResolveLink(path);
  // The lock sits on the target itself; a missing target is created empty to
  // carry it and removed again when the run fails.
  for (int tries = 0;; ++tries) {
    lockFd_ = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created_ = lockFd_ >= 0;
    if (lockFd_ < 0 && errno != EEXIST) return Fail();  // ENOENT here: no such directory
    if (lockFd_ < 0) lockFd_ = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    // A file this user may write but not read carries the lock as well.
    if (lockFd_ < 0 && errno == EACCES) lockFd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (lockFd_ < 0 && errno == ENOENT && tries < 100) continue;  // removed between the two opens
    if (lockFd_ < 0) return Fail();
    if (LockNamedFile(lockFd_, target_, path)) break;
    ::close(lockFd_);
    lockFd_ = -1;
  }
  HoldTerminationSignals();
  signalsHeld_ = true;
  if (::fstat(lockFd_, &st) != 0) return Fail();
  created_ = created_ && st.st_size == 0;  // another run's records are not ours to remove
  // A target the user may not write stays as it is, as opening it would.
  if (!created_ && ::access(target_.c_str(), W_OK) != 0) return Fail();
  RemoveLeftoverTemporaries(target_);
  if (!created_ && RenameLosesIdentity(lockFd_, st, target_)) return OpenInPlace();

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
    return fd_ >= 0 || Fail();
  }
  if (fd_ < 0 || !ReadAll(fd_, oldContent_) || ::lseek(fd_, 0, SEEK_SET) != 0) {
    const int error = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (created_) ::unlink(target_.c_str());
    errno = error;
    return Fail();
  }
  oldSize_ = static_cast<off_t>(oldContent_.size());
  return true;
}

// No room for a second copy: the records written so far come back from the
// temporary file, which goes, and the file is written in place.
bool DownloadFile::InPlaceForRoom() {
  std::string records;
  if (::lseek(fd_, 0, SEEK_SET) != 0 || !ReadAll(fd_, records)) return Fail();
  records.resize(static_cast<size_t>(written_));  // not the part of a write that failed
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
  temporary_.clear();
  buffer_.insert(0, records);
  written_ = 0;
  return OpenInPlace();
}

bool DownloadFile::Flush() {
  if (failed_ || !CheckSignals()) return false;
  if (!buffer_.empty()) {
    if (!WriteAll(fd_, buffer_.data(), buffer_.size())) {
      if (kind_ != Kind::Temporary || (errno != ENOSPC && errno != EDQUOT)) return Fail();
      if (!InPlaceForRoom()) return false;
      return Flush();
    }
    written_ += static_cast<off_t>(buffer_.size());
  }
  buffer_.clear();
  return true;
}

bool DownloadFile::Write(std::string_view record) {
  if (failed_ || fd_ < 0) return false;
  AppendRecordText(buffer_, record);
  if (buffer_.size() >= kBufferSize) return Flush();
  return true;
}

bool DownloadFile::Finish() {
  if (!Flush()) return false;
  switch (kind_) {
    case Kind::InPlace: {
      if (keptInPlace_ && (::ftruncate(fd_, written_) != 0 || ::fsync(fd_) != 0)) return Fail();
      if (keptInPlace_ && !CheckSignals()) return false;
      if (::close(fd_) != 0) {
        fd_ = keptInPlace_ ? ::open(target_.c_str(), O_WRONLY | O_CLOEXEC) : -1;
        return Fail();
      }
      fd_ = -1;
      return true;
    }
    case Kind::Append: {
      if (oldSize_ >= 0 && ::fsync(fd_) != 0) return Fail();
      if (!CheckSignals()) return false;
      if (::close(fd_) != 0) {
        Fail();
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        return false;
      }
      fd_ = -1;
      return true;
    }
    case Kind::Temporary: {
      if (keepOwner_) (void)::fchown(fd_, owner_, group_);  // checked by RenameLosesIdentity
      if (::fchmod(fd_, permissions_) != 0) return Fail();
      if (::fsync(fd_) != 0) {
        if (errno != ENOSPC && errno != EDQUOT) return Fail();
        if (!InPlaceForRoom()) return false;
        return Finish();
      }
      if (!CheckSignals()) return false;
      if (::close(fd_) != 0) {
        fd_ = -1;
        return Fail();
      }
      fd_ = -1;
      if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail();
      temporary_.clear();
      SyncDirectory(DirectoryOf(target_));
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

void DownloadFile::Abandon() {
  buffer_.clear();
  failed_ = true;
  switch (kind_) {
    case Kind::InPlace:
      if (!keptInPlace_) break;
      if (fd_ >= 0) {
        (void)!::pwrite(fd_, oldContent_.data(), oldContent_.size(), 0);
        (void)::ftruncate(fd_, oldSize_);
        (void)::fsync(fd_);
      }
      if (created_) ::unlink(target_.c_str());
      break;
    case Kind::Append:
      // Under the lock the bytes past the old size are this run's own.
      if (fd_ >= 0 && oldSize_ >= 0) (void)::ftruncate(fd_, oldSize_);
      if (created_) ::unlink(target_.c_str());
      break;
    case Kind::Temporary:
      if (!temporary_.empty()) ::unlink(temporary_.c_str());
      temporary_.clear();
      if (created_) ::unlink(target_.c_str());
      break;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace qj
