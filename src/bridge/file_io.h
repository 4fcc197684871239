// Reading a whole file, for the control file and for script files.
#pragma once

#include <expected>
#include <filesystem>
#include <string>

namespace brelvo::bridge {

// The file's bytes, or the errno of the call that failed (a directory gives
// EISDIR). Callers format it with system_error_text.
std::expected<std::string, int> read_whole_file(const std::filesystem::path& path);

}  // namespace brelvo::bridge
