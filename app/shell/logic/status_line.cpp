#include "app/shell/logic/status_line.h"

#include "core/l10n/l10n.h"

namespace velmora {

std::string statusText(const PanelState& state, int warnings, std::size_t groupCount) {
    using Kind = PanelState::Kind;
    switch (state.kind) {
        case Kind::connected:
            if (warnings > 0)
                return L10n::format("panel.status.connected_warnings", {std::int64_t{warnings}});
            return L10n::string("panel.status.connected");
        case Kind::connecting:
            return L10n::string("common.connecting");
        case Kind::lost:
            return L10n::string("panel.status.lost");
        case Kind::found:
            return L10n::format("panel.status.found", {static_cast<std::int64_t>(groupCount)});
        case Kind::localDenied:
            return L10n::string("panel.status.local_denied");
        case Kind::bluetoothOff:
            return L10n::string("panel.status.bluetooth_off");
        case Kind::empty:
            break;
    }
    return L10n::string("panel.status.empty");
}

StatusTone statusTone(const PanelState& state, int warnings) {
    using Kind = PanelState::Kind;
    switch (state.kind) {
        case Kind::connected:
            return warnings > 0 ? StatusTone::warn : StatusTone::ok;
        case Kind::connecting:
        case Kind::found:
            return StatusTone::accent;
        case Kind::lost:
        case Kind::localDenied:
            return StatusTone::err;
        case Kind::bluetoothOff:
            return StatusTone::warn;
        case Kind::empty:
            break;
    }
    return StatusTone::dimmed;
}

}  // namespace velmora
