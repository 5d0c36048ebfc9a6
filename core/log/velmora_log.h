#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::VelmoraLog {

// The application's one log. Lines are Brazilian Portuguese texts chosen by the callers (received data
// cleaned with SafeText first); repetitive lines pass through a LogThrottle.
//
// Any thread may call these at any time; write() never blocks on the file and never reports a failure.

// Stamps `text` and queues it for the log file.
void write(std::string_view text);

// The log file: "velmora.log" in $XDG_STATE_HOME/Velmora, by default ~/.local/state/Velmora.
std::filesystem::path file();

// Returns when every line written so far is in the file (tests, and before the process ends).
void flush();

// Moves the log to another folder (tests use a temporary one); lines queued before go to the old folder.
void setFolder(const std::filesystem::path& folder);

// The default folder from the values of XDG_STATE_HOME and HOME (a relative XDG_STATE_HOME is ignored, as
// the base-directory rules ask).
std::filesystem::path defaultFolder(std::optional<std::string> stateHome, std::optional<std::string> home);

}  // namespace velmora::VelmoraLog
