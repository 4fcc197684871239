// Where the application writes its control file: XDG_DATA_HOME, else
// HOME/.local/share, then Brelvo/control.json. Shared by the program and the
// simulator so both agree on the default place.
#pragma once

#include <filesystem>
#include <optional>

namespace brelvo::bridge {

// Environment values are taken as raw bytes; an empty XDG_DATA_HOME gives the
// relative path Brelvo/control.json. Nothing when neither variable is set.
std::optional<std::filesystem::path> default_control_path();

}  // namespace brelvo::bridge
