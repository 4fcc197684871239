// Files: opening one for reading, reading a whole one, writing a whole one,
// and what a path names.
//
//   read_whole_file("control.json")            -> its bytes, or ENOENT, EISDIR, ...
//   write_whole_file("view.png", image_bytes)  -> {} or ENOSPC, EROFS, ...
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace brelvo::platform {

// The file opened read-only and close-on-exec, or the errno of the open.
std::expected<UniqueFd, int> open_for_reading(const std::filesystem::path& path);

// The bytes of a regular file, or the errno of the call that failed. Only a
// regular file has a whole: a FIFO would block until someone writes to it
// and a device such as /dev/zero never ends, so they give EINVAL without
// waiting (a directory EISDIR); a file too large for memory gives ENOMEM.
std::expected<std::string, int> read_whole_file(const std::filesystem::path& path);

// Creates or truncates the file (0666 before the umask) and writes every
// byte; a full disk or a failing device that reports only at close counts too.
std::expected<void, int> write_whole_file(const std::filesystem::path& path,
                                          std::string_view bytes);

// What the system tells of the file a path names, symbolic links followed
// as opening and starting it would follow them.
struct FileStatus {
  bool regular = false;
  std::uint32_t owner = 0;
  // Its group or others may write it.
  bool writable_by_others = false;
};
std::expected<FileStatus, int> file_status(const std::filesystem::path& path);

// Whether the path names a regular file, after following links.
bool names_regular_file(const std::filesystem::path& path);

// The canonical absolute form of an existing path, or the errno.
std::expected<std::filesystem::path, int> canonical_path(const std::filesystem::path& path);

}  // namespace brelvo::platform
