// parse_tool_args on any words (NUL-separated in the input): it either gives
// a usage error or an object, and in the pair form every key is present.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "json/utf8.h"
#include "main/tool_args.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (!brelvo::json::is_valid_utf8(input)) return -1;
  std::vector<std::string> words;
  for (std::size_t start = 0; start <= input.size();) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    words.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  auto args = brelvo::cli::parse_tool_args(words);
  if (!args) {
    if (args.error().code() != "usage") std::abort();
    return 0;
  }
  if (words.size() == 1 && !args->is_object() &&
      brelvo::json::trim_unicode_space_start(words[0]).starts_with('{')) {
    std::abort();
  }
  if (words.size() > 1) {
    for (const std::string& word : words) {
      if (args->get(word.substr(0, word.find('='))) == nullptr) std::abort();
    }
  }
  return 0;
}
