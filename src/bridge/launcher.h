// Finding and starting the desktop application's executable.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>

#include "bridge/bridge_error.h"

namespace brelvo::bridge {

// The first regular file among Quorna.Brelvo, brelvo and brelvo-desktop in
// the directory of own_executable; else the control file's "exe" when it
// names a regular file and both files are written only by the running user:
// the control file owned by the user, the executable by the user or root,
// neither writable by group or others. Else nothing.
std::optional<std::filesystem::path> find_executable(const std::filesystem::path& own_executable,
                                                     const std::filesystem::path& control_path);

// Finds the executable and starts it detached (platform::spawn_detached): no
// arguments, its three standard streams on /dev/null and nothing else of
// ours, a session of its own, default signal dispositions and an empty
// signal mask. The child is never waited for.
std::expected<void, BridgeError> start_application(const std::filesystem::path& own_executable,
                                                   const std::filesystem::path& control_path);

}  // namespace brelvo::bridge
