#include "extract/download_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qj {

namespace {

constexpr char kMagic[] = "qjsqlexe-journal";
constexpr char kEnd[] = "end\n";
constexpr size_t kEndSize = sizeof kEnd - 1;
constexpr size_t kHeaderMax = 160;

const char* KindName(JournalKind kind) {
  switch (kind) {
    case JournalKind::Append:
      return "append";
    case JournalKind::InPlace:
      return "inplace";
    case JournalKind::Created:
      return "created";
  }
  return "";
}

struct Header {
  JournalKind kind = JournalKind::Append;
  unsigned long long device = 0, inode = 0;
  long long size = 0, length = 0;
  off_t bytesAt = 0;  // where the old content starts
};

// Reads and checks the journal open at fd; false for one that was cut off
// while it was written (or is no journal at all).
bool ReadHeader(int fd, Header& header) {
  char text[kHeaderMax + 1] = {};
  ssize_t n = 0;
  do {
    n = ::pread(fd, text, kHeaderMax, 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  const char* lineEnd = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(n)));
  if (lineEnd == nullptr) return false;
  char kind[16] = {};
  char magic[sizeof kMagic + 1] = {};
  int used = 0;
  if (std::sscanf(text, "%17s %15s %llu %llu %lld %lld%n", magic, kind, &header.device, &header.inode, &header.size,
                  &header.length, &used) != 6 ||
      text + used != lineEnd || std::strcmp(magic, kMagic) != 0 || header.size < 0 || header.length < 0) {
    return false;
  }
  if (std::strcmp(kind, "append") == 0) {
    header.kind = JournalKind::Append;
  } else if (std::strcmp(kind, "inplace") == 0) {
    header.kind = JournalKind::InPlace;
  } else if (std::strcmp(kind, "created") == 0) {
    header.kind = JournalKind::Created;
  } else {
    return false;
  }
  header.bytesAt = static_cast<off_t>(lineEnd - text + 1);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || header.length > st.st_size) return false;
  char end[kEndSize] = {};
  const off_t endAt = header.bytesAt + static_cast<off_t>(header.length);
  return st.st_size == endAt + static_cast<off_t>(kEndSize) &&
         ::pread(fd, end, kEndSize, endAt) == static_cast<ssize_t>(kEndSize) && std::memcmp(end, kEnd, kEndSize) == 0;
}

bool Restore(int journal, const Header& header, int fd) {
  return CopyBytes(journal, header.bytesAt, fd, 0, static_cast<off_t>(header.length)) &&
         ::ftruncate(fd, static_cast<off_t>(header.size)) == 0 && ::fsync(fd) == 0;
}

bool SameFile(const struct stat& st, const Header& header) {
  return static_cast<unsigned long long>(st.st_dev) == header.device &&
         static_cast<unsigned long long>(st.st_ino) == header.inode;
}

}  // namespace

bool WriteAt(int fd, const char* data, size_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
    at += n;
  }
  return true;
}

bool CopyBytes(int from, off_t fromAt, int to, off_t toAt, off_t length) {
  char chunk[65536];
  while (length > 0) {
    const size_t want = length < static_cast<off_t>(sizeof chunk) ? static_cast<size_t>(length) : sizeof chunk;
    const ssize_t n = ::pread(from, chunk, want, fromAt);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {  // the file is shorter than it was said to be
      errno = EIO;
      return false;
    }
    if (!WriteAt(to, chunk, static_cast<size_t>(n), toAt)) return false;
    fromAt += n;
    toAt += n;
    length -= n;
  }
  return true;
}

void SyncDirectory(const char* directory) {
  const int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

std::string JournalPath(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return directory + "." + name + ".qjjournal";
}

bool WriteJournal(const std::string& path, const std::string& directory, int fd, JournalKind kind, off_t oldSize) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  const off_t length = kind == JournalKind::InPlace ? oldSize : 0;
  char header[kHeaderMax];
  const int headerSize = std::snprintf(header, sizeof header, "%s %s %llu %llu %lld %lld\n", kMagic, KindName(kind),
                                       static_cast<unsigned long long>(st.st_dev),
                                       static_cast<unsigned long long>(st.st_ino), static_cast<long long>(oldSize),
                                       static_cast<long long>(length));
  const int journal = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (journal < 0) return false;
  // The journal may hold the old content: it is readable by those who may
  // read the target, and its group reads it only where it is the target's.
  const bool sameGroup = ::fchown(journal, static_cast<uid_t>(-1), st.st_gid) == 0;
  (void)::fchmod(journal, st.st_mode & (sameGroup ? 0666 : 0606));
  const off_t endAt = headerSize + length;
  bool written = WriteAt(journal, header, static_cast<size_t>(headerSize), 0) &&
                 CopyBytes(fd, 0, journal, headerSize, length) && WriteAt(journal, kEnd, kEndSize, endAt) &&
                 ::fsync(journal) == 0;
  const int error = errno;
  written = ::close(journal) == 0 && written;
  if (!written) {
    ::unlink(path.c_str());
    errno = error;
    return false;
  }
  SyncDirectory(directory.c_str());
  return true;
}

bool RestoreFromJournal(const char* path, int fd) {
  const int journal = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (journal < 0) return false;
  Header header;
  bool restored = ReadHeader(journal, header) || (errno = EIO, false);
  restored = restored && header.kind == JournalKind::InPlace && Restore(journal, header, fd);
  const int error = errno;
  ::close(journal);
  errno = error;
  return restored;
}

bool RemoveJournal(const char* path, const char* directory) {
  if (::unlink(path) != 0 && errno != ENOENT) return false;
  SyncDirectory(directory);
  return true;
}

RecoveryResult RecoverJournal(const std::string& path, const std::string& directory, const std::string& target,
                              const struct stat& locked, bool fresh) {
  RecoveryResult result;
  const int journal = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (journal < 0) {
    // A name too long for a journal beside it never had one.
    result.ok = errno == ENOENT || errno == ENAMETOOLONG;
    return result;
  }
  result.what = Recovery::Unused;
  Header header;
  if (!fresh && ReadHeader(journal, header) && SameFile(locked, header)) {
    result.size = static_cast<off_t>(header.size);
    if (header.kind == JournalKind::Created) {
      result.ok = ::unlink(target.c_str()) == 0 || errno == ENOENT;
      result.what = Recovery::Removed;
    } else if (header.kind == JournalKind::InPlace || locked.st_size > result.size) {
      // Under the lock the path still names the locked file.
      const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
      struct stat st {};
      result.ok = fd >= 0 && ::fstat(fd, &st) == 0 && SameFile(st, header) &&
                  (header.kind == JournalKind::InPlace ? Restore(journal, header, fd)
                                                       : ::ftruncate(fd, result.size) == 0 && ::fsync(fd) == 0);
      const int error = errno;
      if (fd >= 0) ::close(fd);
      errno = error;
      result.what = header.kind == JournalKind::InPlace ? Recovery::Restored : Recovery::CutBack;
    }
  }
  const int error = errno;
  ::close(journal);
  errno = error;
  // A journal that could not be carried out stays for the next run.
  if (result.ok && !RemoveJournal(path.c_str(), directory.c_str())) result.ok = false;
  return result;
}

}  // namespace qj
