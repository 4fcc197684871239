#include "bridge/control_path.h"

#include <cstdlib>

namespace brelvo::bridge {

std::optional<std::filesystem::path> default_control_path() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME")) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME")) {
    base = std::filesystem::path(home) / ".local/share";
  } else {
    return std::nullopt;
  }
  return base / "Brelvo" / "control.json";
}

}  // namespace brelvo::bridge
