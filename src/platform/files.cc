#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "platform/byte_io.h"
#include "platform/fd_io.h"

namespace brelvo::platform {

namespace {

constexpr std::size_t kFirstChunk = 16384;

// Whether the open file is one whose end a read reaches: EISDIR, EINVAL.
std::expected<void, int> check_regular(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::unexpected(errno);
  if (S_ISDIR(status.st_mode)) return std::unexpected(EISDIR);
  if (!S_ISREG(status.st_mode)) return std::unexpected(EINVAL);
  return {};
}

std::expected<std::string, int> read_to_end(int fd) {
  std::string text;
  for (;;) {
    const std::size_t room = std::max(kFirstChunk, text.size());
    const auto count = append_from(
        text, room, [&](char* into, std::size_t size) { return read_some(fd, into, size); });
    if (!count) return std::unexpected(count.error());
    if (*count == 0) return text;
  }
}

}  // namespace

std::expected<UniqueFd, int> open_for_reading(const std::filesystem::path& path) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return std::unexpected(errno);
  return file;
}

std::expected<std::string, int> read_whole_file(const std::filesystem::path& path) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) return std::unexpected(errno);
  if (auto regular = check_regular(file.get()); !regular) return std::unexpected(regular.error());
  try {
    return read_to_end(file.get());
  } catch (const std::bad_alloc&) {
    return std::unexpected(ENOMEM);
  }
}

std::expected<void, int> write_whole_file(const std::filesystem::path& path,
                                          std::string_view bytes) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.valid()) return std::unexpected(errno);
  if (auto written = write_all(file.get(), bytes); !written) return written;
  // A full disk or a failing device can report only at close.
  if (::close(file.release()) != 0 && errno != EINTR) return std::unexpected(errno);
  return {};
}

std::expected<FileStatus, int> file_status(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::unexpected(errno);
  return FileStatus{.regular = S_ISREG(status.st_mode),
                    .owner = status.st_uid,
                    .writable_by_others = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0};
}

bool names_regular_file(const std::filesystem::path& path) {
  const auto status = file_status(path);
  return status && status->regular;
}

std::expected<std::filesystem::path, int> canonical_path(const std::filesystem::path& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (!resolved) return std::unexpected(errno);
  return std::filesystem::path(resolved.get());
}

}  // namespace brelvo::platform
