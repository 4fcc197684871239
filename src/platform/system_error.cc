#include "platform/system_error.h"

#include <system_error>

namespace brelvo::platform {

std::string system_error_text(int errnum) {
  return std::generic_category().message(errnum) + " (os error " + std::to_string(errnum) + ")";
}

}  // namespace brelvo::platform
