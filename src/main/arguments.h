// The argument list of a run and the helpers that take options out of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brelvo::cli {

using Arguments = std::vector<std::string>;

// Removes the first element equal to `word`; true when there was one.
bool take_flag(Arguments& args, std::string_view word);

// Removes the first element equal to `name` and the element after it, which
// is returned whatever it looks like. A trailing `name` is removed alone.
std::optional<std::string> take_option(Arguments& args, std::string_view name);

// The --timeout value: an optional "+", decimal digits, fitting 64 bits.
// Anything else silently gives the default of 180 seconds.
std::uint64_t parse_timeout_seconds(const std::optional<std::string>& value);

inline constexpr std::uint64_t kDefaultToolTimeout = 180;

}  // namespace brelvo::cli
