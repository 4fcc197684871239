#include "bridge/control_file.h"

#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"
#include "platform/files.h"
#include "version/version.h"

namespace brelvo::bridge {

namespace {

// Anything but a non-negative integer counts as 0.
std::uint64_t unsigned_member(const json::JsonValue& file, std::string_view key) {
  const json::JsonValue* member = file.get(key);
  return member ? member->as_unsigned().value_or(0) : 0;
}

std::optional<std::string> string_member(const json::JsonValue& file, std::string_view key) {
  const json::JsonValue* member = file.get(key);
  if (member == nullptr || !member->is_string()) return std::nullopt;
  return std::string(*member->as_string());
}

std::expected<std::string, BridgeError> read_utf8_text(const std::filesystem::path& path) {
  auto text = platform::read_whole_file(path);
  if (!text || !json::is_valid_utf8(*text)) {
    return std::unexpected(
        BridgeError::not_running("Brelvo is not running (no " + json::path_text_lossy(path) + ")"));
  }
  return std::move(*text);
}

std::expected<void, BridgeError> check_protocol(const json::JsonValue& file) {
  const std::uint64_t protocol = unsigned_member(file, "protocol");
  if (protocol == kControlProtocol) return {};
  return std::unexpected(BridgeError::io(
      "Brelvo speaks control protocol " + std::to_string(protocol) + ", this brelvo-cli speaks " +
      std::to_string(kControlProtocol) + ": update one of them"));
}

}  // namespace

std::expected<ControlFile, BridgeError> read_control_file(const std::filesystem::path& path) {
  const auto text = read_utf8_text(path);
  if (!text) return std::unexpected(text.error());
  const auto file = json::parse_json(*text);
  if (!file) return std::unexpected(BridgeError::io("bad control file: " + file.error().message()));
  if (auto checked = check_protocol(*file); !checked) return std::unexpected(checked.error());
  return ControlFile{
      .token = string_member(*file, "token").value_or(""),
      .exe = string_member(*file, "exe"),
      .port = static_cast<std::uint16_t>(unsigned_member(*file, "port") % 65536),
  };
}

std::string control_file_text(const ControlFile& control) {
  json::JsonObject file;
  if (control.exe) file.insert("exe", *control.exe);
  file.insert("port", control.port);
  file.insert("protocol", kControlProtocol);
  file.insert("token", control.token);
  std::string text;
  json::append_indented_text(text, file);
  text.push_back('\n');
  return text;
}

}  // namespace brelvo::bridge
