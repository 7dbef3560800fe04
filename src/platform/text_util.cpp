#include "platform/text_util.h"

#include <cstdio>

namespace qj {

void UpperCaseAscii(std::string& text) {
  for (char& c : text) c = UpperAscii(c);
}

std::string DirectoryPart(const std::string& path, const char* separators) {
  const size_t end = path.find_last_of(separators);
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

FileBytes ReadWholeFile(const std::string& path) {
  FileBytes file;
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) return file;
  file.opened = true;
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) file.bytes.append(buffer, count);
  file.complete = std::ferror(stream) == 0;
  std::fclose(stream);
  return file;
}

}  // namespace qj
