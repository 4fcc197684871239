#include "bridge/launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <string>
#include <system_error>

#include "bridge/control_file.h"
#include "json/utf8.h"

extern char** environ;

namespace brelvo::bridge {

namespace {

constexpr std::array kExecutableNames = {"Quorna.Brelvo", "brelvo", "brelvo-desktop"};

// The status of the file a path names, symbolic links followed as opening
// and starting it would follow them.
std::optional<struct stat> status_of(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return status;
}

bool names_regular_file(const std::filesystem::path& path) {
  const auto status = status_of(path);
  return status && S_ISREG(status->st_mode);
}

enum class Owners { kUser, kUserOrRoot };

// Whether only the running user (or root, when allowed) can have chosen the
// file's contents: it is theirs, and neither its group nor others may write it.
bool written_only_by(const struct stat& status, Owners owners) {
  const bool owned =
      status.st_uid == ::geteuid() || (owners == Owners::kUserOrRoot && status.st_uid == 0);
  return owned && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<std::filesystem::path> executable_beside(
    const std::filesystem::path& own_executable) {
  const std::filesystem::path directory = own_executable.parent_path();
  if (directory.empty()) return std::nullopt;
  for (const char* name : kExecutableNames) {
    std::filesystem::path candidate = directory / name;
    if (names_regular_file(candidate)) return candidate;
  }
  return std::nullopt;
}

// A control file that someone else owns or may write could name any program
// to start as this user, and so could an executable that others may rewrite.
std::optional<std::filesystem::path> executable_from_control_file(
    const std::filesystem::path& control_path) {
  const auto control = read_control_file(control_path);
  if (!control || !control->exe) return std::nullopt;
  const auto control_status = status_of(control_path);
  if (!control_status || !written_only_by(*control_status, Owners::kUser)) return std::nullopt;
  std::filesystem::path executable(*control->exe);
  const auto status = status_of(executable);
  if (!status || !S_ISREG(status->st_mode) || !written_only_by(*status, Owners::kUserOrRoot)) {
    return std::nullopt;
  }
  return executable;
}

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
    for (int fd = STDIN_FILENO; failed == 0 && fd <= STDERR_FILENO; ++fd) {
      const int mode = fd == STDIN_FILENO ? O_RDONLY : O_WRONLY;
      failed = ::posix_spawn_file_actions_addopen(&actions_, fd, "/dev/null", mode, 0);
    }
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
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

std::expected<void, BridgeError> start_detached(const std::filesystem::path& executable) {
  std::signal(SIGCHLD, SIG_IGN);
  DetachedSpawn spawn;
  int failed = spawn.prepare();
  if (failed == 0) failed = spawn.start(executable);
  if (failed == 0) return {};
  return std::unexpected(BridgeError::not_running(
      "could not start " + json::path_text_lossy(executable) + ": " + system_error_text(failed)));
}

}  // namespace

std::optional<std::filesystem::path> find_executable(const std::filesystem::path& own_executable,
                                                     const std::filesystem::path& control_path) {
  if (auto beside = executable_beside(own_executable)) return beside;
  return executable_from_control_file(control_path);
}

std::expected<void, BridgeError> start_application(const std::filesystem::path& own_executable,
                                                   const std::filesystem::path& control_path) {
  const auto executable = find_executable(own_executable, control_path);
  if (!executable) {
    return std::unexpected(BridgeError::not_running(
        "Brelvo is not running and its executable was not found next to brelvo-cli"));
  }
  return start_detached(*executable);
}

std::filesystem::path running_executable() {
  std::error_code ignored;
  return std::filesystem::read_symlink("/proc/self/exe", ignored);
}

}  // namespace brelvo::bridge
