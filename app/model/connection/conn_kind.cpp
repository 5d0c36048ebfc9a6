#include "app/model/connection/conn_kind.h"

#include "core/discovery/candidate_key.h"

namespace velmora {

std::string_view rawValue(ConnKind kind) {
    switch (kind) {
        case ConnKind::usb:
            return "usb";
        case ConnKind::wifi:
            return "wifi";
        case ConnKind::hotspot:
            return "hotspot";
        case ConnKind::ble:
            return "ble";
    }
    return "";
}

std::optional<ConnKind> connKindFromRaw(std::string_view raw) {
    for (ConnKind kind : kAllConnKinds) {
        if (rawValue(kind) == raw) return kind;
    }
    return std::nullopt;
}

std::optional<ConnKind> connKindForCandidateKey(std::string_view key) {
    const auto parsed = CandidateKey::parse(key);
    if (!parsed) return std::nullopt;
    switch (parsed->kind) {
        case CandidateKey::Kind::usb:
            return ConnKind::usb;
        case CandidateKey::Kind::net:
        case CandidateKey::Kind::netFar:
            return ConnKind::wifi;
        case CandidateKey::Kind::gateway:
            return ConnKind::hotspot;
        case CandidateKey::Kind::ble:
            return ConnKind::ble;
        case CandidateKey::Kind::manual:
            break;
    }
    return std::nullopt;
}

}  // namespace velmora
