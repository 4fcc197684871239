#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <array>
#include <string>
#include <system_error>

extern char** environ;

namespace brelvo::platform {

namespace {

constexpr int kFirstInheritedFd = STDERR_FILENO + 1;

// Attributes and file actions of a detached start, released on scope exit.
class DetachedSpawn {
 public:
  DetachedSpawn() {
    ::posix_spawnattr_init(&attributes_);
    ::posix_spawn_file_actions_init(&actions_);
  }
  ~DetachedSpawn() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  DetachedSpawn(const DetachedSpawn&) = delete;
  DetachedSpawn& operator=(const DetachedSpawn&) = delete;

  // The error number of the first step that failed, 0 when all were set.
  int prepare() {
    int failed = set_signals_and_session();
    for (int fd = STDIN_FILENO; failed == 0 && fd <= STDERR_FILENO; ++fd) {
      const int mode = fd == STDIN_FILENO ? O_RDONLY : O_WRONLY;
      failed = ::posix_spawn_file_actions_addopen(&actions_, fd, "/dev/null", mode, 0);
    }
    // A descriptor we inherited without close-on-exec (a client's pipe, a job
    // runner's descriptor) would otherwise stay open for as long as the
    // application runs.
    if (failed == 0)
      failed = ::posix_spawn_file_actions_addclosefrom_np(&actions_, kFirstInheritedFd);
    return failed;
  }

  // posix_spawn, not posix_spawnp: a bare file name means the file in the
  // current directory, never one found through PATH.
  int start(const std::filesystem::path& executable) {
    std::string program = executable.string();
    std::array<char*, 2> argv = {program.data(), nullptr};
    pid_t child = 0;
    return ::posix_spawn(&child, program.c_str(), &actions_, &attributes_, argv.data(), environ);
  }

 private:
  int set_signals_and_session() {
    // An ignored SIGPIPE would survive exec and change how the application
    // sees closed sockets; SIGCHLD is ignored here to reap it automatically.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigset_t empty_mask;
    sigemptyset(&empty_mask);
    const short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID;
    int failed = ::posix_spawnattr_setsigdefault(&attributes_, &defaults);
    if (failed == 0) failed = ::posix_spawnattr_setsigmask(&attributes_, &empty_mask);
    if (failed == 0) failed = ::posix_spawnattr_setflags(&attributes_, flags);
    return failed;
  }

  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

void ignore_broken_pipes() {
  ::signal(SIGPIPE, SIG_IGN);
}

void fill_standard_descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // open gives the lowest free descriptor, which is this one.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened >= 0) ::close(opened);
  }
}

std::uint32_t effective_user() {
  return ::geteuid();
}

std::expected<std::filesystem::path, int> own_executable_path() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::unexpected(error.value());
  return path;
}

std::expected<void, int> spawn_detached(const std::filesystem::path& executable) {
  ::signal(SIGCHLD, SIG_IGN);
  DetachedSpawn spawn;
  int failed = spawn.prepare();
  if (failed == 0) failed = spawn.start(executable);
  if (failed != 0) return std::unexpected(failed);
  return {};
}

}  // namespace brelvo::platform
