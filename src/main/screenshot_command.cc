// screenshot --out FILE: the application's image, decoded and written as is.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "json/base64.h"
#include "json/json_text.h"
#include "main/handlers.h"

namespace brelvo::cli {
namespace {

// Creates or truncates the file (0666 before the umask) and writes all bytes.
std::expected<void, int> write_file(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return std::unexpected(errno);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      const int error = errno;
      ::close(fd);
      return std::unexpected(error);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  // A full disk or a failing device can report only at close.
  if (::close(fd) != 0 && errno != EINTR) return std::unexpected(errno);
  return {};
}

}  // namespace

CommandResult screenshot_command(bridge::ControlLink& link, std::uint64_t tool_timeout,
                                 Arguments& args) {
  const std::optional<std::string> out = take_option(args, "--out");
  if (!out) return std::unexpected(usage_error("screenshot --out FILE.png"));
  auto answer = link.exec_tool("screenshot", json::JsonObject{}, tool_timeout);
  if (!answer) return std::unexpected(std::move(answer.error()));
  if (const json::JsonValue* error = answer->get("error")) {
    return std::unexpected(
        bridge::BridgeError::coded("tool_failed", json::to_compact_text(*error)));
  }
  const json::JsonValue* image = answer->get("imageBase64");
  if (image == nullptr || !image->is_string())
    return std::unexpected(bridge::BridgeError::io("no image in the answer"));
  auto bytes = json::decode_base64(*image->as_string());
  if (!bytes) return std::unexpected(bridge::BridgeError::io(bytes.error().message()));
  if (auto written = write_file(*out, *bytes); !written) {
    return std::unexpected(
        bridge::BridgeError::io(*out + ": " + bridge::system_error_text(written.error())));
  }
  json::JsonValue* mime_type = answer->get("mimeType");
  json::JsonObject result;
  result.insert("bytes", static_cast<std::uint64_t>(bytes->size()));
  result.insert("mimeType", mime_type ? std::move(*mime_type) : json::JsonValue());
  result.insert("ok", true);
  result.insert("out", *out);
  return result;
}

}  // namespace brelvo::cli
