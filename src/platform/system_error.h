// The system's description of an error number, as every message that
// reports an operating-system failure shows it.
//
//   system_error_text(2) -> "No such file or directory (os error 2)"
#pragma once

#include <string>

namespace brelvo::platform {

std::string system_error_text(int errnum);

}  // namespace brelvo::platform
