// The application's control file: where its control port is and which token
// it expects. Read afresh for every new connection, never cached; written by
// the application (here, by the simulator) through control_file_text.
//
//   {"protocol":1,"port":51234,"token":"abc","exe":"/opt/app/brelvo"}
//   read_control_file(path) -> ControlFile{token "abc", exe "/opt/app/brelvo", port 51234}
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>

#include "bridge/bridge_error.h"

namespace brelvo::bridge {

struct ControlFile {
  std::string token;
  std::optional<std::string> exe;
  std::uint16_t port = 0;

  friend bool operator==(const ControlFile&, const ControlFile&) = default;
};

// A file that cannot be read as UTF-8 text means the application is not
// running (not_running); a malformed file or another protocol version is io.
std::expected<ControlFile, BridgeError> read_control_file(const std::filesystem::path& path);

// The file's text for this protocol version: the indented form of its
// members and a line feed.
std::string control_file_text(const ControlFile& control);

}  // namespace brelvo::bridge
