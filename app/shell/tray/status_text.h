#pragma once

#include <string>

#include "app/model/connection/conn_state.h"

namespace velmora::StatusText {

// The tray icon's tooltip and accessible name: naming the phone while connected, else saying none is.
std::string toolTip(const ConnState& state);
std::string accessibleName(const ConnState& state);

}  // namespace velmora::StatusText
