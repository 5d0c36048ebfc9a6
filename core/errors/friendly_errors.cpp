#include "core/errors/friendly_errors.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <string_view>
#include <system_error>

#include "core/errors/net_error.h"
#include "core/l10n/l10n.h"
#include "core/protocol/cxp_error.h"

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

// The texts a local-network policy refusal leaves in an error's printed form.
bool mentionsPolicyRefusal(std::string_view printed) {
    return printed.find("PolicyDenied") != std::string_view::npos ||
           printed.find("-65570") != std::string_view::npos;
}

std::string textForCxp(const CXPError& error) {
    switch (error.kind()) {
        case CXPError::Kind::protocolError:
            return protocolProblem();
        case CXPError::Kind::rejected: {
            const std::string& code = error.text();
            if (code == "not_paired" || code == "pair_upgrade_required" || code == "sas_commit_mismatch") {
                return error.description();
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
            break;
    }
    return error.description();
}

std::string textForNet(const NetError& error) {
    switch (error.kind()) {
        case NetError::Kind::posix:
            return textForPosix(error.code());
        case NetError::Kind::dns:
            return unreachable();
        case NetError::Kind::tls:
            return protocolProblem();
        case NetError::Kind::other:
            break;
    }
    return generic();
}

std::string textForDomain(const DomainError& error) {
    if (error.domain() == DomainError::posixDomain) {
        // A code that does not fit a 32-bit errno is no POSIX error number: it reads as generic.
        const std::int64_t code = error.code();
        if (code < std::numeric_limits<int>::min() || code > std::numeric_limits<int>::max())
            return generic();
        return textForPosix(static_cast<int>(code));
    }
    if (error.domain() == DomainError::urlDomain) {
        switch (error.code()) {
            case -1009:  // not connected to the internet
            case -1005:  // network connection lost
                return unreachable();
            case -1004:  // cannot connect to host
                return refused();
            case -1001:  // timed out
                return timeout();
            default:
                return generic();
        }
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

// The tests run in a fixed order, the first match deciding: a network error's own kind wins over a policy
// text in its printed form.
std::string text(const std::exception& error) {
    if (const auto* cxp = dynamic_cast<const CXPError*>(&error)) return textForCxp(*cxp);
    if (const auto* net = dynamic_cast<const NetError*>(&error)) return textForNet(*net);
    if (mentionsPolicyRefusal(error.what())) return localNetwork();
    if (const auto* posix = dynamic_cast<const PosixError*>(&error)) return textForPosix(posix->code());
    if (const auto* system = asPosixSystemError(error)) return textForPosix(system->code().value());
    if (const auto* domain = dynamic_cast<const DomainError*>(&error)) return textForDomain(*domain);
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
    if (mentionsPolicyRefusal(error.what())) return localNetwork();
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
