#include "extract/download_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/text_util.h"
#include "platform/windows_text.h"

// Windows: the records of replace mode go to a temporary file beside the
// target, which is flushed to disk (FlushFileBuffers) and moved over the
// target with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
// A target that is a device (NUL, CON, a port) is written in place. Append
// mode cuts the file back to its old size when anything fails. A replace run
// first removes the temporary files that killed runs left for the same target.

namespace qj {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// The handle as a C runtime descriptor, so that it fits the class's member;
// the descriptor owns the handle from here on.
int Adopt(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    SetLastError(0);  // the cause is in errno
  }
  return fd;
}

HANDLE OpenForWriting(const std::wstring& path, DWORD disposition) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Everything up to and including the last directory separator the file
// system knows ("\", "/" or a drive's ":").
std::string DirectoryPart(const std::string& path) { return qj::DirectoryPart(path, "\\/:"); }

bool WriteAll(HANDLE handle, const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// The system's description of an error, on one line.
std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD size =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message;
  for (DWORD i = 0; i < size; ++i) {
    const bool lineBreak = text[i] == '\r' || text[i] == '\n';
    if (!lineBreak) {
      message += text[i];
    } else if (!message.empty() && message.back() != ' ') {
      message += ' ';
    }
  }
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message.empty() ? "Systemfehler " + std::to_string(code) : message;
}

// Temporary files that killed runs left beside the target
// (".<name>.qjtmp-" and six hex digits). A run still writing holds its own
// open without FILE_SHARE_DELETE, so deleting it fails and it stays.
void RemoveLeftoverTemporaries(const std::string& directory, const std::string& name) {
  const std::wstring dir = AnsiToWide(directory);
  const std::wstring prefix = AnsiToWide("." + name + ".qjtmp-");
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((dir + prefix + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring entry = found.cFileName;
    const bool ours = entry.size() == prefix.size() + 6 && entry.compare(0, prefix.size(), prefix) == 0 &&
                      entry.find_first_not_of(L"0123456789abcdef", prefix.size()) == std::wstring::npos;
    if (ours && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileW((dir + entry).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
  SetLastError(0);
}

// The cause given for the file never to write that handle is open on (same
// volume and file index, whatever name led to it), or null.
const std::string* OwnFileCause(HANDLE handle, const std::vector<std::pair<std::string, std::string>>& files) {
  BY_HANDLE_FILE_INFORMATION target{};
  if (!GetFileInformationByHandle(handle, &target)) return nullptr;
  for (const auto& [path, cause] : files) {
    const HANDLE own = CreateFileW(AnsiToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (own == INVALID_HANDLE_VALUE) continue;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool same = GetFileInformationByHandle(own, &info) && info.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
                      info.nFileIndexHigh == target.nFileIndexHigh && info.nFileIndexLow == target.nFileIndexLow;
    CloseHandle(own);
    if (same) return &cause;
  }
  SetLastError(0);
  return nullptr;
}

bool CutBack(HANDLE handle, off_t size) {
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace

DownloadFile::DownloadFile() = default;

DownloadFile::~DownloadFile() {
  if (fd_ >= 0) Abandon();
}

// Called right after the failing call, before any other call changes the
// thread's last error; a failure of the C runtime alone leaves it 0.
bool DownloadFile::Fail() {
  const DWORD code = GetLastError();
  if (failure_.empty()) failure_ = code != 0 ? SystemMessage(code) : std::strerror(errno);
  failed_ = true;
  return false;
}

// The failure as "<operation> <path>: <cause>", so that the line on standard
// error tells which step failed on which file.
bool DownloadFile::Fail(const char* operation, const std::string& path) {
  const DWORD code = GetLastError();
  const std::string cause = code != 0 ? SystemMessage(code) : std::strerror(errno);
  if (failure_.empty()) failure_ = std::string(operation) + " " + path + ": " + cause;
  failed_ = true;
  return false;
}

void DownloadFile::NeverWrite(const std::string& path, const std::string& cause) {
  neverWrite_.emplace_back(path, cause);
}

bool DownloadFile::Open(const std::string& path, WriteMode mode) {
  failed_ = false;
  failure_.clear();
  StartBuffer();
  if (path.empty()) {  // no name, no file: as opening it would fail
    SetLastError(ERROR_FILE_NOT_FOUND);
    return Fail();
  }
  const std::wstring wide = AnsiToWide(path);
  target_ = path;

  if (mode == WriteMode::Append) {
    kind_ = Kind::Append;
    const HANDLE handle = OpenForWriting(wide, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) return Fail("Oeffnen von", path);
    created_ = GetLastError() != ERROR_ALREADY_EXISTS;
    if (const std::string* cause = OwnFileCause(handle, neverWrite_)) {
      CloseHandle(handle);
      failure_ = *cause;
      failed_ = true;
      return false;
    }
    LARGE_INTEGER size{};
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    oldSize_ = disk && GetFileSizeEx(handle, &size) ? static_cast<off_t>(size.QuadPart) : -1;
    LARGE_INTEGER zero{};
    if (disk && !SetFilePointerEx(handle, zero, nullptr, FILE_END)) {
      Fail("Positionieren ans Ende von", path);
      CloseHandle(handle);
      if (created_) DeleteFileW(wide.c_str());
      return false;
    }
    fd_ = Adopt(handle);
    return fd_ >= 0 || Fail("Oeffnen von", path);
  }

  const DWORD attributes = GetFileAttributesW(wide.c_str());
  // A read-only file refuses replacing, also to an administrator.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return Fail("Schreibrecht fuer", path);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND) {
    // A target the user may not write stays as it is, as opening it would;
    // a device takes the records directly.
    const HANDLE existing = OpenForWriting(wide, OPEN_EXISTING);
    if (existing == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) return Fail("Oeffnen von", path);
    } else if (GetFileType(existing) != FILE_TYPE_DISK) {
      kind_ = Kind::InPlace;
      fd_ = Adopt(existing);
      return fd_ >= 0 || Fail("Oeffnen von", path);
    } else {
      const std::string* cause = OwnFileCause(existing, neverWrite_);
      CloseHandle(existing);
      if (cause != nullptr) {
        failure_ = *cause;
        failed_ = true;
        return false;
      }
    }
  }

  kind_ = Kind::Temporary;
  const std::string name = path.substr(DirectoryPart(path).size());
  RemoveLeftoverTemporaries(DirectoryPart(path), name);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%06lx", static_cast<unsigned long>((GetCurrentProcessId() * 7919u +
                                                                               GetTickCount() + attempt) & 0xFFFFFF));
    temporary_ = DirectoryPart(path) + "." + name + ".qjtmp-" + suffix;
    const HANDLE handle = OpenForWriting(AnsiToWide(temporary_), CREATE_NEW);
    if (handle != INVALID_HANDLE_VALUE) {
      fd_ = Adopt(handle);
      if (fd_ < 0) break;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  Fail("Anlegen von", temporary_);
  temporary_.clear();
  return false;
}

bool DownloadFile::Flush() {
  if (failed_) return false;
  if (!buffer_.empty() && !WriteAll(HandleOf(fd_), buffer_.data(), buffer_.size())) {
    Fail("Schreiben von", kind_ == Kind::Temporary ? temporary_ : target_);
  }
  buffer_.clear();
  return !failed_;
}

bool DownloadFile::Finish() {
  if (!Flush()) return false;
  switch (kind_) {
    case Kind::InPlace: {
      const int fd = fd_;
      fd_ = -1;
      return _close(fd) == 0 || Fail("Schliessen von", target_);
    }
    case Kind::Append: {
      if (oldSize_ >= 0 && !FlushFileBuffers(HandleOf(fd_))) return Fail("Sichern auf die Platte von", target_);
      const int fd = fd_;
      fd_ = -1;
      return _close(fd) == 0 || Fail("Schliessen von", target_);
    }
    case Kind::Temporary: {
      if (!FlushFileBuffers(HandleOf(fd_))) return Fail("Sichern auf die Platte von", temporary_);
      const int fd = fd_;
      fd_ = -1;
      const std::string temporary = std::move(temporary_);
      temporary_.clear();
      const std::wstring wideTemporary = AnsiToWide(temporary);
      bool moved = false;
      if (_close(fd) != 0) {
        SetLastError(0);  // the cause is in errno
        Fail("Schliessen von", temporary);
      } else {
        moved = MoveFileExW(wideTemporary.c_str(), AnsiToWide(target_).c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!moved) Fail("Umbenennen nach", target_);
      }
      if (!moved) DeleteFileW(wideTemporary.c_str());
      return moved;
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
      _close(fd_);
      break;
    case Kind::Append:
      if (oldSize_ >= 0) (void)CutBack(HandleOf(fd_), oldSize_);
      _close(fd_);
      if (created_) DeleteFileW(AnsiToWide(target_).c_str());
      break;
    case Kind::Temporary:
      _close(fd_);
      DeleteFileW(AnsiToWide(temporary_).c_str());
      temporary_.clear();
      break;
  }
  fd_ = -1;
}

}  // namespace qj
