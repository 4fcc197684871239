// Readable failure output for the control link's result types.
#pragma once

#include <gtest/gtest.h>

#include <expected>
#include <ostream>
#include <type_traits>

#include "bridge/bridge_error.h"
#include "json/json_text.h"

namespace brelvo::json {

inline void PrintTo(const JsonValue& value, std::ostream* out) {
  *out << to_compact_text(value);
}

}  // namespace brelvo::json

namespace brelvo::bridge {

inline void PrintTo(const BridgeError& error, std::ostream* out) {
  *out << json::to_compact_text(error.to_json());
}

inline void PrintTo(const std::unexpected<BridgeError>& error, std::ostream* out) {
  PrintTo(error.error(), out);
}

template <typename T>
void PrintTo(const std::expected<T, BridgeError>& outcome, std::ostream* out) {
  if (!outcome) {
    PrintTo(outcome.error(), out);
  } else if constexpr (std::is_void_v<T>) {
    *out << "success";
  } else {
    *out << ::testing::PrintToString(*outcome);
  }
}

}  // namespace brelvo::bridge
