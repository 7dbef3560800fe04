#include "platform/process_setup.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>

namespace qj {

void PrepareProcess() {
  std::setlocale(LC_CTYPE, "C.UTF-8");
#ifdef M_MMAP_THRESHOLD
  // Every block of a megabyte or more in memory of its own, given back to
  // the system when freed. Left to itself, the C library raises this bound
  // to the largest block freed so far (up to 32 MB), and the outgrown
  // buffers of a long download (the list of lines, the sort entries, the
  // engine's row buffers) then stay resident in the heap after they are
  // freed, more or fewer of them as the two threads of a run happen to
  // interleave.
  mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
#endif
}

void KeepStandardDescriptorsOpen() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is this one, as the ones below are open. Opened
    // for reading only, so that writing fails as on the closed descriptor
    // (EBADF): a closed standard output still ends the run with its exit code.
    const int opened = open("/dev/null", O_RDONLY);
    if (opened != fd && opened >= 0) close(opened);
  }
}

}  // namespace qj
