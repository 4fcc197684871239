#include "bridge/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "bridge/byte_io.h"
#include "bridge/unique_fd.h"

namespace brelvo::bridge {

namespace {

constexpr std::size_t kFirstChunk = 16384;

}  // namespace

std::expected<std::string, int> read_whole_file(const std::filesystem::path& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return std::unexpected(errno);
  std::string text;
  for (;;) {
    const std::size_t room = std::max(kFirstChunk, text.size());
    const auto count = append_from(text, room, [&](char* into, std::size_t size) {
      return retry_interrupted([&] { return ::read(file.get(), into, size); });
    });
    if (!count) return std::unexpected(count.error());
    if (*count == 0) return text;
  }
}

}  // namespace brelvo::bridge
