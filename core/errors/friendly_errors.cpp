#include "core/errors/friendly_errors.h"

#include <cerrno>
#include <system_error>

#include "core/errors/cxp_error.h"
#include "core/errors/net_error.h"
#include "core/l10n/l10n.h"
#include "core/storage/app_paths.h"
#include "core/text/safe_text.h"

namespace velmora::FriendlyErrors {
namespace {

std::string textForPosix(int code) {
    switch (code) {
        case EPIPE:
        case ENETRESET:
        case ECONNABORTED:
        case ECONNRESET:
        case ENOTCONN:
            return dropped();
        case EADDRNOTAVAIL:
        case ENETDOWN:
        case ENETUNREACH:
        case EHOSTDOWN:
        case EHOSTUNREACH:
            return unreachable();
        case ETIMEDOUT:
            return timeout();
        case ECONNREFUSED:
            return refused();
        default:
            return generic();
    }
}

// Three refusal codes from the phone have sentences of their own (exact, case-sensitive); any other code is
// the phone's text and is shown only as a single cleaned, bounded log line.
std::string rejectionText(const std::string& code) {
    if (code == "not_paired") {
        return L10n::format("err.cxp.not_paired",
                            {L10n::string("ref.android.pair_new_mac"), L10n::string("panel.phone.pair")});
    }
    if (code == "pair_upgrade_required") return L10n::string("err.cxp.upgrade_required");
    if (code == "sas_commit_mismatch") return L10n::string("err.cxp.sas_mismatch");
    return "recusado: " + SafeText::logLine(code, 64);
}

std::string textForCxp(const CXPError& error) {
    switch (error.kind()) {
        case CXPError::Kind::protocolError:
            return protocolProblem();
        case CXPError::Kind::rejected: {
            const std::string& code = error.text();
            if (code == "not_paired" || code == "pair_upgrade_required" || code == "sas_commit_mismatch") {
                return describe(error);
            }
            return refused();
        }
        case CXPError::Kind::closed:
            return dropped();
        case CXPError::Kind::identityUnavailable:
        case CXPError::Kind::identitySaveFailed:
        case CXPError::Kind::timedOut:
        case CXPError::Kind::unexpectedPeer:
        case CXPError::Kind::unknownPeer:
        case CXPError::Kind::identityFileUnsafe:
        case CXPError::Kind::identityFileUnreadable:
            break;
    }
    return describe(error);
}

// Linux has no per-application switch for the local network; what stands in for it is a local firewall rule
// (a socket call fails with EPERM or EACCES) or an Avahi daemon whose policy turns Velmora away.
bool localNetworkRefused(const NetError& error) {
    switch (error.kind()) {
        case NetError::Kind::posix:
            return error.code() == EPERM || error.code() == EACCES;
        case NetError::Kind::avahi:
            return error.code() == NetError::avahiAccessDenied;
        default:
            return false;
    }
}

std::string textForNet(const NetError& error) {
    if (localNetworkRefused(error)) return localNetwork();
    switch (error.kind()) {
        case NetError::Kind::posix:
            return textForPosix(error.code());
        case NetError::Kind::dns:
            return unreachable();
        case NetError::Kind::tls:
            return protocolProblem();
        case NetError::Kind::avahi:  // the phone's service could not be resolved
            return unreachable();
        case NetError::Kind::other:
            break;
    }
    return generic();
}

// A std::system_error of the errno categories is a POSIX error value under another name.
const std::system_error* asPosixSystemError(const std::exception& error) {
    const auto* system = dynamic_cast<const std::system_error*>(&error);
    if (!system) return nullptr;
    const std::error_category& category = system->code().category();
    if (category != std::generic_category() && category != std::system_category()) return nullptr;
    return system;
}

}  // namespace

std::string generic() {
    return L10n::string("err.generic");
}
std::string refused() {
    return L10n::string("err.refused");
}
std::string unreachable() {
    return L10n::string("err.unreachable");
}
std::string dropped() {
    return L10n::string("err.dropped");
}
std::string timeout() {
    return L10n::string("err.timeout");
}
std::string localNetwork() {
    return L10n::string("err.local_network");
}
std::string protocolProblem() {
    return L10n::string("err.protocol");
}
std::string unknownCode() {
    return L10n::string("err.unknown");
}
std::string searchFailed() {
    return L10n::format("err.search_failed", {L10n::string("panel.search_again")});
}

std::string describe(const CXPError& error) {
    switch (error.kind()) {
        case CXPError::Kind::protocolError:
            return "erro de protocolo: " + error.text();
        case CXPError::Kind::rejected:
            return rejectionText(error.text());
        case CXPError::Kind::identityUnavailable:
            // The status keeps its sign: secret-store statuses are negative.
            return L10n::format("err.keychain_open",
                                {std::to_string(error.status()), L10n::string("ref.keychain.always_allow")});
        case CXPError::Kind::identitySaveFailed:
            return L10n::format("err.keychain_save", {std::to_string(error.status())});
        case CXPError::Kind::closed:
            return "conexão encerrada";
        case CXPError::Kind::timedOut:
            return L10n::string("err.cxp.timed_out");
        case CXPError::Kind::unexpectedPeer:
            return L10n::string("err.cxp.unexpected_peer");
        case CXPError::Kind::unknownPeer:
            return L10n::string("err.cxp.unknown_peer");
        case CXPError::Kind::identityFileUnsafe:
            return L10n::format("err.identity_file_unsafe", {AppPaths::shownSupportDir()});
        case CXPError::Kind::identityFileUnreadable:
            return L10n::format("err.identity_file_unreadable", {AppPaths::shownIdentityKeyFile()});
    }
    return error.what();
}

std::string identityDamaged() {
    return L10n::format("err.identity_damaged", {AppPaths::shownIdentityKeyFile()});
}

std::string text(const std::exception& error) {
    if (const auto* cxp = dynamic_cast<const CXPError*>(&error)) return textForCxp(*cxp);
    if (const auto* net = dynamic_cast<const NetError*>(&error)) return textForNet(*net);
    if (const auto* posix = dynamic_cast<const PosixError*>(&error)) return textForPosix(posix->code());
    if (const auto* system = asPosixSystemError(error)) return textForPosix(system->code().value());
    return generic();
}

std::string text(const std::exception_ptr& error) {
    if (!error) return generic();
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return text(e);
    } catch (...) {
        return generic();
    }
}

std::string browseFailure(const std::exception& error) {
    const auto* net = dynamic_cast<const NetError*>(&error);
    if (net && localNetworkRefused(*net)) return localNetwork();
    return searchFailed();
}

std::string mirrorError(const std::optional<std::string>& code, const std::string& message) {
    if (!code || code->empty()) return message;
    if (*code == "permission_pending") {
        return L10n::format("err.mirror.permission_pending",
                            {L10n::string("ref.android.mirror_notif_title")});
    }
    if (*code == "denied") return L10n::format("err.mirror.denied", {L10n::string("panel.mirror.start")});
    if (*code == "audio_unavailable") return L10n::string("err.mirror.audio_unavailable");
    if (*code == "encoder") return L10n::string("err.mirror.encoder");
    return unknownCode();
}

std::string phoneError(const std::optional<std::string>& code, const std::string& message) {
    if (!code || code->empty()) return message;
    if (*code == "accessibility_off") return L10n::string("err.phone_accessibility_off");
    return unknownCode();
}

}  // namespace velmora::FriendlyErrors
