// UTF-8 checks and the Unicode white-space trimming shared by the script
// runner, the argument parser and the MCP reader.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brelvo::json {

bool is_valid_utf8(std::string_view bytes);

// The bytes with every ill-formed sequence replaced by U+FFFD.
std::string to_utf8_lossy(std::string_view bytes);
std::string path_text_lossy(const std::filesystem::path& path);

// Trims characters with the Unicode White_Space property from both ends.
// The text must be valid UTF-8.
std::string_view trim_unicode_space(std::string_view text);
// Drops leading White_Space characters only.
std::string_view trim_unicode_space_start(std::string_view text);

}  // namespace brelvo::json
