#include "core/discovery/candidate_key.h"

namespace velmora {
namespace {

constexpr std::string_view kFar = "far:";

std::optional<CandidateKey> parseNet(std::string_view rest) {
    const auto colon = rest.find(':');
    if (colon == std::string_view::npos) return CandidateKey::net(std::string(rest));
    std::string id(rest.substr(0, colon));
    const std::string_view after = rest.substr(colon + 1);
    if (after.starts_with(kFar))
        return CandidateKey::netFar(std::move(id), std::string(after.substr(kFar.size())));
    if (after.empty()) return std::nullopt;
    return CandidateKey::net(std::move(id), std::string(after));
}

}  // namespace

std::string CandidateKey::text() const {
    switch (kind) {
        case Kind::usb:
            return "usb:" + subject;
        case Kind::net:
            return where.empty() ? "net:" + subject : "net:" + subject + ":" + where;
        case Kind::netFar:
            return "net:" + subject + ":far:" + where;
        case Kind::gateway:
            return "gw:" + subject;
        case Kind::ble:
            return "ble:" + subject;
        case Kind::manual:
            return "manual:" + subject;
    }
    return subject;
}

std::optional<CandidateKey> CandidateKey::parse(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view prefix = text.substr(0, colon);
    const std::string_view rest = text.substr(colon + 1);
    if (prefix == "usb") return usb(std::string(rest));
    if (prefix == "net") return parseNet(rest);
    if (prefix == "gw") return gateway(std::string(rest));
    if (prefix == "ble") return ble(std::string(rest));
    if (prefix == "manual") return manual(std::string(rest));
    return std::nullopt;
}

}  // namespace velmora
