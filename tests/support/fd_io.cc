#include "support/fd_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/fd_io.h"

namespace brelvo::test_support {

namespace {

[[noreturn]] void fail(const char* what) {
  std::perror(what);
  std::abort();
}

}  // namespace

UniqueFd memory_file(std::string_view bytes) {
  UniqueFd fd(memfd_create("brelvo-test", MFD_CLOEXEC));
  if (fd.get() < 0) fail("memfd_create");
  if (!platform::write_all(fd.get(), bytes)) fail("write");
  if (lseek(fd.get(), 0, SEEK_SET) != 0) fail("lseek");
  return fd;
}

std::string memory_file_text(int fd) {
  std::string text;
  char chunk[65536];
  while (true) {
    ssize_t count = pread(fd, chunk, sizeof chunk, static_cast<off_t>(text.size()));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) fail("pread");
    if (count == 0) return text;
    text.append(chunk, static_cast<std::size_t>(count));
  }
}

Pipe make_pipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) fail("pipe2");
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

void set_non_blocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) fail("fcntl");
}

std::string read_until_closed(int fd) {
  std::string text;
  char chunk[65536];
  while (true) {
    ssize_t count = read(fd, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) fail("read");
    if (count == 0) return text;
    text.append(chunk, static_cast<std::size_t>(count));
  }
}

}  // namespace brelvo::test_support
