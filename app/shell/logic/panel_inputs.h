#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/model/published_state.h"
#include "core/discovery/stale_pairing.h"

namespace velmora {

// Bluetooth adapter state 4: present and switched off.
inline constexpr int kBluetoothPoweredOff = 4;

// Everything the panel's rules read, gathered once per refresh: the model's published state and the few
// facts the model computes on request. Main thread only.
struct PanelInputs {
    PublishedState state;
    std::vector<StalePair> stalePairs;
    bool phoneNeedsUpdate = false;
    bool mirroring = false;
    // Serials of phones that have connected over a cable before (the "usbKnown" setting).
    std::vector<std::string> usbKnown;
    // Whether a listed phone belongs to a stored pairing (the model asks its peer store, not `paired`).
    std::function<bool(const DiscoveredPhone&)> isPaired;
};

}  // namespace velmora
