#include "main/process_setup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace brelvo::cli {

void prepare_process() {
  ::signal(SIGPIPE, SIG_IGN);
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // open gives the lowest free descriptor, which is this one.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened >= 0) ::close(opened);
  }
}

}  // namespace brelvo::cli
