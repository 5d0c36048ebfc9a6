#include "app/model/published_state.h"

#include "core/l10n/l10n.h"

namespace velmora {

std::string transportTitle(const PublishedState& state) {
    if (!state.activeKind) {
        return state.linkKind == "ble" ? L10n::string("conn.ble.title")
                                       : L10n::string("conn.transport.wifi_or_cable");
    }
    switch (*state.activeKind) {
        case ConnKind::usb:
            return L10n::string("conn.usb.title");
        case ConnKind::wifi:
            return L10n::string("conn.wifi.title");
        case ConnKind::hotspot:
            return L10n::string("conn.hotspot.title");
        case ConnKind::ble:
            break;
    }
    return L10n::string("conn.ble.title");
}

bool phoneNeedsUpdate(const PublishedState& state, bool packageAvailable, std::int64_t ourBuild) {
    return state.state.kind() == ConnState::Kind::connected && state.phoneAppBuild && packageAvailable &&
           *state.phoneAppBuild < ourBuild;
}

}  // namespace velmora
