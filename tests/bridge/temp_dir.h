// A fresh directory under the system's temporary directory, removed with
// everything in it when the test ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace brelvo::bridge::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, std::string_view bytes);
// A control file of protocol 1 naming the port and the token.
void write_control_file(const std::filesystem::path& path, std::uint16_t port,
                        std::string_view token);

}  // namespace brelvo::bridge::testing
