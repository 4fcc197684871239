#include "bridge/bridge_error.h"

#include "platform/system_error.h"

namespace brelvo::bridge {

BridgeError BridgeError::not_running(std::string message) {
  return {Kind::kNotRunning, "not_running", std::move(message)};
}

BridgeError BridgeError::coded(std::string code, std::string message) {
  return {Kind::kCoded, std::move(code), std::move(message)};
}

BridgeError BridgeError::timeout(std::string message) {
  return {Kind::kTimeout, "timeout", std::move(message)};
}

BridgeError BridgeError::io(std::string message) {
  return {Kind::kIo, "io", std::move(message)};
}

BridgeError BridgeError::from_errno(int errnum, std::string_view subject) {
  std::string message = platform::system_error_text(errnum);
  if (!subject.empty()) message.insert(0, std::string(subject) + ": ");
  return io(std::move(message));
}

json::JsonValue BridgeError::to_json() const {
  json::JsonObject object;
  object.insert("code", code_);
  object.insert("message", message_);
  return object;
}

int BridgeError::exit_code() const {
  constexpr int kNotRunningExit = 3;
  constexpr int kTimeoutExit = 124;
  constexpr int kErrorExit = 2;
  switch (kind_) {
    case Kind::kNotRunning:
      return kNotRunningExit;
    case Kind::kTimeout:
      return kTimeoutExit;
    case Kind::kIo:
      return kErrorExit;
    case Kind::kCoded:
      if (code_ == "timeout") return kTimeoutExit;
      if (code_ == "not_ready") return kNotRunningExit;
      return kErrorExit;
  }
  return kErrorExit;
}

}  // namespace brelvo::bridge
