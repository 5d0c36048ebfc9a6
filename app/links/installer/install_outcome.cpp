#include "app/links/installer/install_outcome.h"

#include <array>
#include <utility>

#include "app/links/installer/adb_text.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

using Kind = InstallFailure::Kind;

// The phone store's verification service names itself in its refusals.
constexpr std::string_view storeVerifierMarker = "Play Protect";

// Earlier entries win.
constexpr std::array<std::pair<std::string_view, Kind>, 12> knownFailures{{
    {"unauthorized", Kind::unauthorized},
    {"INSTALL_FAILED_USER_RESTRICTED", Kind::userRestricted},
    {"INSTALL_FAILED_VERIFICATION", Kind::verification},
    {storeVerifierMarker, Kind::verification},
    {"INSTALL_FAILED_UPDATE_INCOMPATIBLE", Kind::signatureMismatch},
    {"signatures do not match", Kind::signatureMismatch},
    {"INSTALL_FAILED_VERSION_DOWNGRADE", Kind::downgrade},
    {"INSTALL_FAILED_INSUFFICIENT_STORAGE", Kind::noStorage},
    {"INSTALL_FAILED_OLDER_SDK", Kind::oldAndroid},
    {"INSTALL_FAILED_ABORTED", Kind::aborted},
    {"no devices", Kind::deviceGone},
    {"device offline", Kind::deviceGone},
}};

// "device not found", and the "device 'SERIAL' not found" that adb prints today, with the phone's serial
// between the words.
bool deviceNotFound(std::string_view output) {
    if (AdbText::containsNoCase(output, "device not found")) return true;
    for (auto line : AdbText::trimmedLines(output)) {
        for (char& c : line)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        for (std::size_t at = 0; (at = line.find("device '", at)) != std::string::npos; ++at) {
            const auto close = line.find('\'', at + 8);
            if (close != std::string::npos && line.compare(close + 1, 10, " not found") == 0) return true;
        }
    }
    return false;
}

}  // namespace

InstallOutcome interpret(const std::optional<AdbResult>& result) {
    if (!result) return {InstallFailure{Kind::adbMissing, {}}};
    if (result->timedOut) return {InstallFailure{Kind::timedOut, {}}};
    const std::string& out = result->output;
    if (result->exitStatus == 0 && !result->truncated && out.find("Success") != std::string::npos) return {};
    for (const auto& [needle, kind] : knownFailures) {
        if (AdbText::containsNoCase(out, needle)) return {InstallFailure{kind, {}}};
    }
    if (deviceNotFound(out)) return {InstallFailure{Kind::deviceGone, {}}};
    const auto lines = AdbText::trimmedLines(out);
    if (lines.empty()) return {InstallFailure{Kind::other, {}}};
    return {InstallFailure{Kind::other, lines.back()}};
}

std::string InstallFailure::message() const {
    switch (kind) {
        case Kind::other:
            return L10n::format("install.fail.other",
                                {detail ? *detail : L10n::string("install.fail.no_detail")});
        case Kind::adbMissing:
            return L10n::string("install.fail.adb_missing");
        case Kind::timedOut:
            return L10n::string("install.fail.timeout");
        case Kind::unauthorized:
            return L10n::string("install.fail.unauthorized");
        case Kind::userRestricted:
            return L10n::string("install.fail.user_restricted");
        case Kind::verification:
            return L10n::string("install.fail.verification");
        case Kind::signatureMismatch:
            return L10n::string("install.fail.signature");
        case Kind::downgrade:
            return L10n::string("install.fail.downgrade");
        case Kind::noStorage:
            return L10n::string("install.fail.storage");
        case Kind::oldAndroid:
            return L10n::string("install.fail.old_android");
        case Kind::aborted:
            return L10n::string("install.fail.aborted");
        case Kind::deviceGone:
            return L10n::string("install.fail.device_gone");
        case Kind::noInstaller:
            return L10n::string("install.fail.no_installer");
        case Kind::apkIntegrity:
            return L10n::string("install.fail.apk_integrity");
    }
    return L10n::string("install.fail.no_detail");
}

}  // namespace velmora
