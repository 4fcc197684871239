// BridgeError: the one error type of the program. Every failure travels up
// as a value of it to the single place that prints and picks the exit code.
//
//   BridgeError::not_running("Brelvo is not running (its control port is closed)")
//       to_json   -> {"code":"not_running","message":"Brelvo is not running ..."}
//       exit_code -> 3
//   BridgeError::coded("timeout", "tool took too long").exit_code() -> 124
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "json/json_value.h"

namespace brelvo::bridge {

class BridgeError {
 public:
  enum class Kind : std::uint8_t { kNotRunning, kCoded, kTimeout, kIo };

  static BridgeError not_running(std::string message);
  static BridgeError coded(std::string code, std::string message);
  static BridgeError timeout(std::string message);
  static BridgeError io(std::string message);
  // An io error whose message is the system's text of errnum, after the
  // subject and ": " when there is one.
  static BridgeError from_errno(int errnum, std::string_view subject = {});

  Kind kind() const { return kind_; }
  // "not_running", "timeout", "io", or the carried code.
  const std::string& code() const { return code_; }
  const std::string& message() const { return message_; }

  json::JsonValue to_json() const;
  int exit_code() const;

  friend bool operator==(const BridgeError&, const BridgeError&) = default;

 private:
  BridgeError(Kind kind, std::string code, std::string message)
      : kind_(kind), code_(std::move(code)), message_(std::move(message)) {}

  Kind kind_;
  std::string code_;
  std::string message_;
};

}  // namespace brelvo::bridge
