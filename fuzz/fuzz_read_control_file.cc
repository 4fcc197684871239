// read_control_file on any file content: a ControlFile or one of its three
// errors, never anything else.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/control_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = ::memfd_create("control.json", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  auto control = brelvo::bridge::read_control_file("/proc/self/fd/" + std::to_string(fd));
  ::close(fd);
  if (control) return 0;
  const std::string& message = control.error().message();
  const bool known = message.starts_with("Brelvo is not running (no ") ||
                     message.starts_with("bad control file: ") ||
                     message.starts_with("Brelvo speaks control protocol ");
  if (!known) std::abort();
  return 0;
}
