#pragma once

#include <filesystem>

namespace velmora::AppPaths {

// The private folder for the identity key file and the peers file: $XDG_DATA_HOME/Corvix, by default
// ~/.local/share/Corvix. Created with mode 0700 and tightened back to 0700 on every call, so a folder
// that someone loosened is repaired the next time it is used. Creation errors are left to the callers'
// own file operations to report.
std::filesystem::path supportDir();

}  // namespace velmora::AppPaths
