// The process itself and the ones it starts: the state every run begins
// from, the program's own executable, and starting another program detached.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>

namespace brelvo::platform {

// Ignores SIGPIPE, so that writing to a closed pipe or socket fails with
// EPIPE where it happens instead of ending the process.
void ignore_broken_pipes();

// Reopens any of descriptors 0, 1 and 2 that is closed on /dev/null, so that
// no socket or file opened later can take the place of a standard stream.
void fill_standard_descriptors();

// The user the process acts as (its effective user id).
std::uint32_t effective_user();

// The target of /proc/self/exe, or the errno of reading it.
std::expected<std::filesystem::path, int> own_executable_path();

// Starts the executable without arguments and never waits for it: no PATH
// search (a bare file name means the file in the current directory), its
// three standard streams on /dev/null and no other descriptor of ours, a
// session of its own, default SIGPIPE and SIGCHLD, and an empty signal mask.
// SIGCHLD is ignored here from then on, so that the child leaves no zombie.
// The error is that of the set-up or of the start (EACCES, ENOENT, ...).
std::expected<void, int> spawn_detached(const std::filesystem::path& executable);

}  // namespace brelvo::platform
