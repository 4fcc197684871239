#include "bridge/launcher.h"

#include <array>
#include <string>

#include "bridge/control_file.h"
#include "json/utf8.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace brelvo::bridge {

namespace {

constexpr std::array kExecutableNames = {"Quorna.Brelvo", "brelvo", "brelvo-desktop"};
constexpr std::uint32_t kRoot = 0;

enum class Owners { kUser, kUserOrRoot };

// Whether only the running user (or root, when allowed) can have chosen the
// file's contents: it is theirs, and neither its group nor others may write it.
bool written_only_by(const platform::FileStatus& status, Owners owners) {
  const bool owned = status.owner == platform::effective_user() ||
                     (owners == Owners::kUserOrRoot && status.owner == kRoot);
  return owned && !status.writable_by_others;
}

std::optional<std::filesystem::path> executable_beside(
    const std::filesystem::path& own_executable) {
  const std::filesystem::path directory = own_executable.parent_path();
  if (directory.empty()) return std::nullopt;
  for (const char* name : kExecutableNames) {
    std::filesystem::path candidate = directory / name;
    if (platform::names_regular_file(candidate)) return candidate;
  }
  return std::nullopt;
}

// A control file that someone else owns or may write could name any program
// to start as this user, and so could an executable that others may rewrite.
std::optional<std::filesystem::path> executable_from_control_file(
    const std::filesystem::path& control_path) {
  const auto control = read_control_file(control_path);
  if (!control || !control->exe) return std::nullopt;
  const auto control_status = platform::file_status(control_path);
  if (!control_status || !written_only_by(*control_status, Owners::kUser)) return std::nullopt;
  std::filesystem::path executable(*control->exe);
  const auto status = platform::file_status(executable);
  if (!status || !status->regular || !written_only_by(*status, Owners::kUserOrRoot)) {
    return std::nullopt;
  }
  return executable;
}

std::expected<void, BridgeError> start_detached(const std::filesystem::path& executable) {
  if (auto started = platform::spawn_detached(executable); !started) {
    return std::unexpected(BridgeError::not_running("could not start " +
                                                    json::path_text_lossy(executable) + ": " +
                                                    platform::system_error_text(started.error())));
  }
  return {};
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

}  // namespace brelvo::bridge
