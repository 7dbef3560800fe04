#pragma once
// Writing the download file so that a failure never leaves it half written.
//
// Replace mode, target a regular file or missing: the records go to a
// temporary file ".<name>.qjtmp-XXXXXX" in the target's directory, which is
// flushed to disk, given the old file's permission bits (a new file gets
// 0666 less the umask) and renamed over the target. A target that exists but
// is no regular file (a device, a FIFO) is written in place. Append mode
// remembers the old size and cuts the file back to it when anything fails.
// Every LF byte of a record is written as CR LF.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace qj {

enum class WriteMode { Replace, Append };

class DownloadFile {
 public:
  DownloadFile() = default;
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

 private:
  bool Flush();
  bool Finish();
  void Abandon();

  enum class Kind { Temporary, InPlace, Append };
  Kind kind_ = Kind::InPlace;
  int fd_ = -1;
  std::string target_;     // the file the records end up in
  std::string temporary_;  // replace mode: the file written first
  mode_t permissions_ = 0;
#ifndef _WIN32  // Windows files have no owner ids; there fd_ is a C runtime descriptor of the file's handle
  bool keepOwner_ = false;
  uid_t owner_ = 0;
  gid_t group_ = 0;
#endif
  off_t oldSize_ = 0;      // append mode: the size to cut back to
  bool created_ = false;   // append mode: the file did not exist before
  bool failed_ = false;
  std::string buffer_;
};

}  // namespace qj
