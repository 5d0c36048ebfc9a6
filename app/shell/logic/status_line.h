#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/shell/logic/panel_state.h"

namespace velmora {

// The palette colour of the status dot; the widgets map it to the kit's colours.
enum class StatusTone : std::uint8_t { ok, warn, err, accent, dimmed };

// The header's status line for a panel state. `groupCount` is the number of rows after merging, shown
// while phones are found; `warnings` counts only while connected.
std::string statusText(const PanelState& state, int warnings, std::size_t groupCount);
StatusTone statusTone(const PanelState& state, int warnings);

}  // namespace velmora
