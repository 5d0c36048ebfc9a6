#include "app/shell/logic/panel_state.h"

#include "app/model/connection/link_prefs.h"

namespace velmora {

PanelState panelState(const PanelInputs& in, const std::vector<PhoneGroup>& groups) {
    using Kind = PanelState::Kind;
    const auto& s = in.state;
    if (s.state.kind() == ConnState::Kind::connecting) return {Kind::connecting, s.state.label()};
    if (s.state.kind() == ConnState::Kind::connected) return {Kind::connected, {}};
    if (s.phoneLost) return {Kind::lost, {}};
    if (!groups.empty()) return {Kind::found, {}};
    if (s.localNetworkDenied && LinkPrefs::isEnabled(s.linkPrefs, ConnKind::wifi))
        return {Kind::localDenied, {}};
    if (s.bluetoothState == kBluetoothPoweredOff && LinkPrefs::isEnabled(s.linkPrefs, ConnKind::ble))
        return {Kind::bluetoothOff, {}};
    return {Kind::empty, {}};
}

PanelState panelState(const PanelInputs& in) {
    return panelState(in, phoneGroups(in));
}

int warningCount(const PanelInputs& in) {
    const bool hintOnBle = in.state.networkHint.has_value() && in.state.linkKind == "ble";
    return (in.phoneNeedsUpdate ? 1 : 0) + (hintOnBle ? 1 : 0);
}

}  // namespace velmora
