#include "extract/download_file.h"
#include "extract/record_text.h"

// The records' way into the download file, the same on both systems: each is
// appended whole to one buffer in its text form, and the buffer goes to the
// file (Flush, the system's part) once it holds a megabyte or at Close.

namespace qj {

void DownloadFile::StartBuffer() {
  buffer_.clear();
  buffer_.reserve(kBufferBytes);
}

bool DownloadFile::Write(std::string_view record) {
  if (failed_ || fd_ < 0) return false;
  AppendRecordText(buffer_, record);
  if (buffer_.size() >= kBufferBytes) return Flush();
  return true;
}

}  // namespace qj
