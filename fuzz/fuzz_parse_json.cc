// Any UTF-8 text either fails to parse or gives a value that both text forms
// reproduce exactly.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"

using namespace brelvo::json;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!is_valid_utf8(text)) return -1;
  auto value = parse_json(text);
  if (!value) {
    if (value.error().line == 0) std::abort();
    return 0;
  }
  if (parse_json(to_compact_text(*value)) != value) std::abort();
  if (parse_json(to_indented_text(*value)) != value) std::abort();
  return 0;
}
