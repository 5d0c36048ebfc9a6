#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/logic/panel_state.h"

namespace velmora {

// One part of the panel's state area, top to bottom.
struct PanelSection {
    enum class Kind : std::uint8_t { notice, stalePairing, body, error };

    Kind kind = Kind::body;
    std::string title;
    std::optional<std::string> text;
    Peer stalePeer;  // the pairing a stale-pairing notice offers to forget

    bool operator==(const PanelSection&) const = default;
};

// The model's notice, the first stale pairing whose peer is still stored (not while connected), the state's
// body, and the last error (not while the phone is lost, nor a failed browse: the bodies tell how the search
// stands), each only when it applies.
std::vector<PanelSection> panelSections(const PanelInputs& in, const PanelState& state);

}  // namespace velmora
