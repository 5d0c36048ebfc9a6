#pragma once

#include <optional>
#include <string>

#include "app/model/ports/install_state.h"

namespace velmora {

// The result of one adb run as the installer reads it.
struct AdbResult {
    int exitStatus = -1;     // 128 + signal for a child ended by a signal
    std::string output;      // UTF-8, ill-formed bytes replaced
    bool timedOut = false;   // the watchdog ended it
    bool truncated = false;  // it printed more than the cap, and was ended for it if still running
    bool operator==(const AdbResult&) const = default;
};

// One install attempt's result: success, or a failure.
struct InstallOutcome {
    std::optional<InstallFailure> failure;  // absent: success
    bool succeeded() const { return !failure; }
    bool operator==(const InstallOutcome&) const = default;
};

// Reads the result of `adb install` (absent: adb could not be started) as an outcome. The first rule that
// holds decides: no result, the time limit, a clean exit saying "Success", then the known failure texts
// without regard to case, then the last line printed. An install ended at the time limit or cut at the
// output cap is never a success, whatever it printed before.
InstallOutcome interpret(const std::optional<AdbResult>& result);

}  // namespace velmora
