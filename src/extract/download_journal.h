#pragma once
// The journal of a download run: ".<name>.qjjournal" beside the target file.
// A run writes it and flushes it (and its directory) to disk before the
// target's first byte changes, and removes it once the new content is on
// disk. A run killed in between leaves it behind; the next run that takes the
// target's lock finds it and undoes the killed run's change.
//
// The journal is one header line
//   "qjsqlexe-journal <kind> <device> <inode> <size> <length>\n"
// followed by <length> bytes of old content and the line "end\n". Kinds:
//   append   the records went behind <size> bytes: cut the file back to them;
//   inplace  the file was written in place: its old <length> bytes follow,
//            they go back and the file is cut to <size>;
//   created  the file did not exist before the run: it is removed.
// Device and inode name the file the journal belongs to; a journal without
// its last line was cut off before the run changed anything.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace qj {

enum class JournalKind { Append, InPlace, Created };

// File helpers of the download file, also used for the journal.
// Writes all bytes at the offset given.
bool WriteAt(int fd, const char* data, size_t size, off_t at);
// Copies length bytes between two files through a fixed buffer.
bool CopyBytes(int from, off_t fromAt, int to, off_t toAt, off_t length);
// Flushes the directory's entries to disk; a failure is not reported, as
// what was renamed or removed stays so until the machine stops.
void SyncDirectory(const char* directory);

// ".<name>.qjjournal" in the directory of target.
std::string JournalPath(const std::string& target);

// Writes the journal at path for the file open at fd and flushes it and its
// directory. InPlace copies the first oldSize bytes of fd into it (fd must be
// readable), through a fixed buffer: no memory grows with the file. The
// journal gets the target's permission bits, never more, and its group only
// where the target's group can be given to it. False, with errno
// set and no journal left, when it cannot be written completely.
bool WriteJournal(const std::string& path, const std::string& directory, int fd, JournalKind kind, off_t oldSize);

// Copies the old content of the in-place journal at path back into the file
// open at fd, cuts it to its old size and flushes it. False with errno set.
bool RestoreFromJournal(const char* path, int fd);

// Removes the journal and flushes the directory, so that it does not come
// back after the machine stops. False with errno set when it stays.
bool RemoveJournal(const char* path, const char* directory);

// What the journal that a killed run left was made of.
enum class Recovery {
  None,      // no journal
  Unused,    // cut off, or of another file: the target was not touched
  CutBack,   // an append was cut back
  Restored,  // the old content of an in-place write is back
  Removed,   // the file the killed run created is gone
};

struct RecoveryResult {
  Recovery what = Recovery::None;
  off_t size = 0;  // the size the file has again
  bool ok = true;  // false: the journal stays, errno tells why
};

// Undoes the run that left the journal at path, for the target file that the
// caller has locked (locked is its fstat) and that path names; then removes
// the journal. A file the caller has just created (fresh) is no killed run's,
// even where the file system gave it the inode number of a removed one.
RecoveryResult RecoverJournal(const std::string& path, const std::string& directory, const std::string& target,
                              const struct stat& locked, bool fresh);

}  // namespace qj
