#pragma once

#include <optional>
#include <string>

namespace velmora {

// A ready phone on the cable that may receive the companion app; identified by its serial.
struct InstallCandidate {
    std::string serial;
    std::string model;
    bool operator==(const InstallCandidate&) const = default;
};

// Why an install failed, each with the text the user reads (message()).
struct InstallFailure {
    enum class Kind {
        other,  // unrecognised; `detail` is the tool's last line of output, when it printed one
        adbMissing,
        timedOut,
        unauthorized,
        userRestricted,
        verification,
        signatureMismatch,
        downgrade,
        noStorage,
        oldAndroid,
        aborted,
        deviceGone,
        noInstaller,
        apkIntegrity,
    };

    Kind kind = Kind::other;
    std::optional<std::string> detail;  // only for `other`

    bool operator==(const InstallFailure&) const = default;
    // The localised text for the user.
    std::string message() const;
};

// The current or last install as the panel shows it.
struct InstallStatus {
    enum class Phase { installing, success, failed, idle };

    Phase phase = Phase::idle;
    InstallCandidate candidate;  // empty when idle
    InstallFailure failure;      // meaningful when failed

    static InstallStatus installing(InstallCandidate c) { return {Phase::installing, std::move(c), {}}; }
    static InstallStatus success(InstallCandidate c) { return {Phase::success, std::move(c), {}}; }
    static InstallStatus failed(InstallCandidate c, InstallFailure f) {
        return {Phase::failed, std::move(c), std::move(f)};
    }
    static InstallStatus idle() { return {}; }
    bool operator==(const InstallStatus&) const = default;
};

}  // namespace velmora
