#include "bridge/control_files.h"

#include <string>

namespace brelvo::bridge::testing {

void write_control_file(const std::filesystem::path& path, std::uint16_t port,
                        std::string_view token) {
  write_text(path, R"({"protocol":1,"port":)" + std::to_string(port) + R"(,"token":")" +
                       std::string(token) + "\"}");
}

}  // namespace brelvo::bridge::testing
