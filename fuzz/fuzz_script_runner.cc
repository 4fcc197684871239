// The script runner on any UTF-8 script file, against a link that echoes the
// arguments back (or fails on a tool named "fail"): it never crashes, calls
// the link at most once per line, and its records name lines in order.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/json_text.h"
#include "json/utf8.h"
#include "main/script_runner.h"
#include "support/fake_link.h"

namespace {

brelvo::test_support::Answer echo(std::string_view tool, const brelvo::json::JsonValue& args) {
  if (tool == "down") return std::unexpected(brelvo::bridge::BridgeError::not_running("down"));
  if (tool == "fail") {
    brelvo::json::JsonObject failure;
    failure.insert("error", args);
    return failure;
  }
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view script(reinterpret_cast<const char*>(data), size);
  if (!brelvo::json::is_valid_utf8(script)) return -1;
  // Read from a file, as `run` reads it.
  const int fd = ::memfd_create("script.jsonl", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  auto script_lines = brelvo::cli::read_script("/proc/self/fd/" + std::to_string(fd));
  ::close(fd);
  if (!script_lines) std::abort();
  brelvo::test_support::FakeLink link;
  link.exec = echo;
  auto records = brelvo::cli::run_script(link, *script_lines, 180);
  const std::size_t lines =
      static_cast<std::size_t>(std::count(script.begin(), script.end(), '\n')) + 1;
  if (link.calls.size() > lines) std::abort();
  // A script makes tool calls only.
  for (const std::string& call : link.calls) {
    if (!call.starts_with("exec ")) std::abort();
  }
  if (!records) return 0;
  std::uint64_t previous = 0;
  for (const auto& record : *records->as_array()) {
    const std::uint64_t line = *record.get("line")->as_unsigned();
    if (line <= previous || line > lines) std::abort();
    previous = line;
  }
  return 0;
}
