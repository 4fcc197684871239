// Control files for the bridge's tests, in temporary directories.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "support/temp_dir.h"

namespace brelvo::bridge::testing {

using test_support::TempDir;
using test_support::write_text;
// A control file of protocol 1 naming the port and the token.
void write_control_file(const std::filesystem::path& path, std::uint16_t port,
                        std::string_view token);

}  // namespace brelvo::bridge::testing
