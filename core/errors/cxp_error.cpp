#include "core/errors/cxp_error.h"

#include <system_error>

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
        case Kind::identityFileUnreadable:
            return "identityFileUnreadable: " + std::to_string(status) + " (" +
                   std::generic_category().message(status) + ")";
    }
    return "unknown";
}

}  // namespace velmora
