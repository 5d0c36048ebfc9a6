#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/shell/logic/panel_inputs.h"
#include "app/shell/logic/phone_groups.h"

namespace velmora {

// Which body the panel shows.
struct PanelState {
    enum class Kind : std::uint8_t { connecting, connected, lost, found, localDenied, bluetoothOff, empty };

    Kind kind = Kind::empty;
    std::string label;  // the attempt's label; only for `connecting`

    bool operator==(const PanelState&) const = default;
};

// The first that holds: an attempt, a session, a lost phone, phones found, the local network denied while
// Wi-Fi is on, Bluetooth off while Bluetooth is on, else nothing found.
PanelState panelState(const PanelInputs& in, const std::vector<PhoneGroup>& groups);
PanelState panelState(const PanelInputs& in);

// Warnings of a standing session: an outdated phone app, and a network hint while on Bluetooth.
int warningCount(const PanelInputs& in);

}  // namespace velmora
