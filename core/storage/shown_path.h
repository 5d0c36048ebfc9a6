#pragma once

#include <filesystem>
#include <string>

namespace velmora {

// `file` as a path is shown to the user: "~/..." under the home folder `home`, else as it is.
std::string shownPath(const std::filesystem::path& file, const std::filesystem::path& home);

}  // namespace velmora
