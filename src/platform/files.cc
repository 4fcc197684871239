#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/byte_io.h"
#include "platform/fd_io.h"

namespace brelvo::platform {

namespace {

constexpr std::size_t kFirstChunk = 16384;

}  // namespace

std::expected<UniqueFd, int> open_for_reading(const std::filesystem::path& path) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return std::unexpected(errno);
  return file;
}

std::expected<std::string, int> read_whole_file(const std::filesystem::path& path) {
  const auto file = open_for_reading(path);
  if (!file) return std::unexpected(file.error());
  std::string text;
  for (;;) {
    const std::size_t room = std::max(kFirstChunk, text.size());
    const auto count = append_from(text, room, [&](char* into, std::size_t size) {
      return read_some(file->get(), into, size);
    });
    if (!count) return std::unexpected(count.error());
    if (*count == 0) return text;
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
