#include "extract/download_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace qj {

namespace {

constexpr size_t kBufferSize = size_t{1} << 20;

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// The directory part of a path ("." when it has none) and its last name.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link to a regular file is replaced at the file it points to, so
// the link stays a link.
std::string ResolveLink(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
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

void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The rename has happened; a failed directory sync cannot bring the old
  // file back, so it is not reported.
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

DownloadFile::~DownloadFile() {
  if (fd_ >= 0) Abandon();
}

bool DownloadFile::Open(const std::string& path, WriteMode mode) {
  failed_ = false;
  buffer_.clear();
  if (path.empty()) return false;  // no name, no file: as opening it would fail
  buffer_.reserve(kBufferSize);
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;

  if (mode == WriteMode::Append) {
    kind_ = Kind::Append;
    target_ = path;
    created_ = !exists;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    struct stat now {};
    oldSize_ = (::fstat(fd_, &now) == 0 && S_ISREG(now.st_mode)) ? now.st_size : -1;
    return true;
  }

  if (exists && !S_ISREG(st.st_mode)) {
    kind_ = Kind::InPlace;
    target_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0;
  }

  kind_ = Kind::Temporary;
  target_ = ResolveLink(path);
  // A target the user may not write stays as it is, as opening it would.
  if (exists && ::access(target_.c_str(), W_OK) != 0) return false;
  permissions_ = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  keepOwner_ = exists;
  owner_ = st.st_uid;
  group_ = st.st_gid;
  temporary_ = DirectoryOf(target_) + "/." + NameOf(target_) + ".qjtmp-XXXXXX";
  fd_ = ::mkostemp(&temporary_[0], O_CLOEXEC);
  if (fd_ < 0) {
    temporary_.clear();
    return false;
  }
  return true;
}

bool DownloadFile::Flush() {
  if (failed_) return false;
  if (!buffer_.empty() && !WriteAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool DownloadFile::Write(std::string_view record) {
  if (failed_ || fd_ < 0) return false;
  size_t start = 0;
  for (;;) {
    const void* found = record.size() > start ? std::memchr(record.data() + start, '\n', record.size() - start)
                                              : nullptr;
    const size_t end = found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - record.data())
                                        : record.size();
    buffer_.append(record.data() + start, end - start);
    if (found == nullptr) break;
    buffer_ += "\r\n";
    start = end + 1;
    if (buffer_.size() >= kBufferSize && !Flush()) return false;
  }
  if (buffer_.size() >= kBufferSize) return Flush();
  return true;
}

bool DownloadFile::Finish() {
  if (!Flush()) return false;
  switch (kind_) {
    case Kind::InPlace: {
      const int fd = fd_;
      fd_ = -1;
      return ::close(fd) == 0;
    }
    case Kind::Append: {
      if (oldSize_ >= 0 && ::fsync(fd_) != 0) return false;
      const int fd = fd_;
      fd_ = -1;
      if (::close(fd) != 0) {
        if (oldSize_ >= 0) (void)::truncate(target_.c_str(), oldSize_);
        if (created_) ::unlink(target_.c_str());
        return false;
      }
      return true;
    }
    case Kind::Temporary: {
      if (keepOwner_) (void)::fchown(fd_, owner_, group_);  // best effort: needs the right to
      if (::fchmod(fd_, permissions_) != 0 || ::fsync(fd_) != 0) return false;
      const int fd = fd_;
      fd_ = -1;
      if (::close(fd) != 0 || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
      }
      temporary_.clear();
      SyncDirectory(DirectoryOf(target_));
      return true;
    }
  }
  return false;
}

bool DownloadFile::Close() {
  if (fd_ < 0) return false;
  if (Finish()) return true;
  if (fd_ >= 0) Abandon();
  return false;
}

void DownloadFile::Abandon() {
  buffer_.clear();
  failed_ = true;
  switch (kind_) {
    case Kind::InPlace:
      break;
    case Kind::Append:
      if (oldSize_ >= 0) (void)::ftruncate(fd_, oldSize_);
      if (created_) ::unlink(target_.c_str());
      break;
    case Kind::Temporary:
      ::unlink(temporary_.c_str());
      temporary_.clear();
      break;
  }
  ::close(fd_);
  fd_ = -1;
}

}  // namespace qj
