#pragma once

#include <filesystem>
#include <string>

namespace velmora::AppPaths {

// The private folder for the identity key file and the peers file: $XDG_DATA_HOME/Corvix, by default
// ~/.local/share/Corvix. Created with mode 0700 and tightened back to 0700 on every call, so a folder
// that someone loosened is repaired the next time it is used. Creation errors are left to the callers'
// own file operations to report.
std::filesystem::path supportDir();

// The computer's identity key file, when the secret store cannot keep the key, is this one in supportDir().
inline constexpr const char* kIdentityKeyFile = "identity.key";

// supportDir() and the identity key file in it as a path is shown to the user ("~/..." under the home
// folder, else the absolute path), read from the environment as supportDir() reads it, without making
// or changing anything.
std::string shownSupportDir();
std::string shownIdentityKeyFile();

}  // namespace velmora::AppPaths
