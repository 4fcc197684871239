#include "main/arguments.h"

#include <algorithm>
#include <charconv>

namespace brelvo::cli {

bool take_flag(Arguments& args, std::string_view word) {
  auto it = std::find(args.begin(), args.end(), word);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

std::optional<std::string> take_option(Arguments& args, std::string_view name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return std::nullopt;
  if (std::next(it) == args.end()) {
    args.erase(it);
    return std::nullopt;
  }
  std::string value = std::move(*std::next(it));
  args.erase(it, std::next(it, 2));
  return value;
}

std::uint64_t parse_timeout_seconds(const std::optional<std::string>& value) {
  if (!value) return kDefaultToolTimeout;
  std::string_view digits = *value;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return kDefaultToolTimeout;
  }
  std::uint64_t seconds = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), seconds);
  return ec == std::errc{} && end == digits.data() + digits.size() ? seconds : kDefaultToolTimeout;
}

}  // namespace brelvo::cli
