#include "bridge/control_file.h"

#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"
#include "platform/files.h"
#include "version/version.h"

namespace brelvo::bridge {

namespace {

std::expected<std::string, BridgeError> read_utf8_text(const std::filesystem::path& path) {
  auto text = platform::read_whole_file(path);
  if (!text || !json::is_valid_utf8(*text)) {
    return std::unexpected(
        BridgeError::not_running("Brelvo is not running (no " + json::path_text_lossy(path) + ")"));
  }
  return std::move(*text);
}

std::expected<void, BridgeError> check_protocol(const json::JsonValue& file) {
  // Anything but a non-negative integer counts as 0.
  const std::uint64_t protocol = file.get_unsigned("protocol").value_or(0);
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
      .token = std::string(file->get_string("token").value_or("")),
      .exe = std::optional<std::string>(file->get_string("exe")),
      .port = static_cast<std::uint16_t>(file->get_unsigned("port").value_or(0) % 65536),
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
