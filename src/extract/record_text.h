#pragma once
// The text-mode form of a record in the download file: every LF byte is
// written as CR LF. The whole record is appended, so a buffer flushed after
// this call never ends inside a record.

#include <cstring>
#include <string>
#include <string_view>

namespace qj {

inline void AppendRecordText(std::string& buffer, std::string_view record) {
  size_t start = 0;
  for (;;) {
    const void* found = record.size() > start ? std::memchr(record.data() + start, '\n', record.size() - start)
                                              : nullptr;
    const size_t end = found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - record.data())
                                        : record.size();
    buffer.append(record.data() + start, end - start);
    if (found == nullptr) return;
    buffer += "\r\n";
    start = end + 1;
  }
}

}  // namespace qj
