#include "bridge/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace brelvo::bridge::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "bridge-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void write_control_file(const std::filesystem::path& path, std::uint16_t port,
                        std::string_view token) {
  write_file(path, R"({"protocol":1,"port":)" + std::to_string(port) + R"(,"token":")" +
                       std::string(token) + "\"}");
}

}  // namespace brelvo::bridge::testing
