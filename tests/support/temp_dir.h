// Files for tests: a fresh directory under the system's temporary directory,
// removed with everything in it when the test ends, and whole-file reads and
// writes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brelvo::test_support {

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

// The file's bytes; empty when it cannot be read.
std::string read_text(const std::filesystem::path& path);
// Replaces the file's content with the bytes.
void write_text(const std::filesystem::path& path, std::string_view bytes);

}  // namespace brelvo::test_support
