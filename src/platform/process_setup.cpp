#include "platform/process_setup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>

namespace qj {

void PrepareProcess() { std::setlocale(LC_CTYPE, "C.UTF-8"); }

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
