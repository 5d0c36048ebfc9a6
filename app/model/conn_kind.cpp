#include "app/model/conn_kind.h"

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
    if (key.starts_with("usb:")) return ConnKind::usb;
    if (key.starts_with("net:")) return ConnKind::wifi;
    if (key.starts_with("gw:")) return ConnKind::hotspot;
    if (key.starts_with("ble")) return ConnKind::ble;
    return std::nullopt;
}

}  // namespace velmora
