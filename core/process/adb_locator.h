#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora::AdbLocator {

// Where adb is looked for, in order: Debian's package, a local install, and the Android SDK's default place
// under the user's home folder (left out when `home` is not an absolute path, so that a missing HOME never
// turns into a path relative to the working folder).
std::vector<std::string> defaultCandidates(const std::string& home);

// The first candidate that passes isSafeBinary, returned as given (not resolved); absent when none does.
std::optional<std::string> find(const std::vector<std::string>& candidates);

// Whether the file may be run: after resolving every link, a regular file that we may execute, owned by root
// or by our real user, not writable by others, in a folder not writable by others. Group write is allowed.
bool isSafeBinary(const std::string& path);

// The user's home folder: $HOME when set and absolute, else the password database's entry; empty if neither.
std::string userHome();

}  // namespace velmora::AdbLocator
