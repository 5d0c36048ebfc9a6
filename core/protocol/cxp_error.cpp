#include "core/protocol/cxp_error.h"

#include "core/l10n/l10n.h"
#include "core/text/safe_text.h"

namespace velmora {

CXPError::CXPError(Kind kind, std::string text, std::int32_t status)
    : std::runtime_error(developerText(kind, text, status)),
      kind_(kind),
      text_(std::move(text)),
      status_(status) {}

std::string CXPError::developerText(Kind kind, const std::string& text, std::int32_t status) {
    switch (kind) {
        case Kind::protocolError:
            return "protocolError: " + text;
        case Kind::rejected:
            return "rejected: " + text;
        case Kind::identityUnavailable:
            return "identityUnavailable: " + std::to_string(status);
        case Kind::identitySaveFailed:
            return "identitySaveFailed: " + std::to_string(status);
        case Kind::closed:
            return "closed";
        case Kind::timedOut:
            return "timedOut";
        case Kind::unexpectedPeer:
            return "unexpectedPeer";
        case Kind::unknownPeer:
            return "unknownPeer";
        case Kind::identityFileUnsafe:
            return "identityFileUnsafe";
    }
    return "unknown";
}

std::string CXPError::description() const {
    switch (kind_) {
        case Kind::protocolError:
            return "erro de protocolo: " + text_;
        case Kind::rejected:
            return rejectionText(text_);
        case Kind::identityUnavailable:
            // The status keeps its sign: secret-store statuses are negative.
            return L10n::format("err.keychain_open",
                                {std::to_string(status_), L10n::string("ref.keychain.always_allow")});
        case Kind::identitySaveFailed:
            return L10n::format("err.keychain_save", {std::to_string(status_)});
        case Kind::closed:
            return "conexão encerrada";
        case Kind::timedOut:
            return L10n::string("err.cxp.timed_out");
        case Kind::unexpectedPeer:
            return L10n::string("err.cxp.unexpected_peer");
        case Kind::unknownPeer:
            return L10n::string("err.cxp.unknown_peer");
        case Kind::identityFileUnsafe:
            return L10n::string("err.identity_file_unsafe");
    }
    return what();
}

// Three refusal codes from the phone have sentences of their own (exact, case-sensitive); any other code is
// the phone's text and is shown only as a single cleaned, bounded log line.
std::string CXPError::rejectionText(const std::string& code) {
    if (code == "not_paired") {
        return L10n::format("err.cxp.not_paired",
                            {L10n::string("ref.android.pair_new_mac"), L10n::string("panel.phone.pair")});
    }
    if (code == "pair_upgrade_required") return L10n::string("err.cxp.upgrade_required");
    if (code == "sas_commit_mismatch") return L10n::string("err.cxp.sas_mismatch");
    return "recusado: " + SafeText::logLine(code, 64);
}

}  // namespace velmora
