#pragma once

#include <optional>

#include "app/shell/logic/panel_geometry.h"

namespace velmora {

// The point a StatusNotifierItem host sends with a click on our item: its Activate(x, y) call. Qt's tray
// turns that call into a bare activation and drops the point, while such hosts tell no icon geometry, so
// without it the panel would open wherever the X server last saw the pointer (under Xwayland, not where
// the user clicked). A D-Bus spy hook, which Qt runs on the main thread just before it delivers the call
// to the item, keeps the point here until the activation it belongs to takes it.
//
// Main thread only.
namespace ActivationPoint {

// Installs the hook; only the first call does anything (Qt keeps hooks for the life of the process).
void install();
// The point of the latest Activate call not yet taken, once; absent when none came since the last take.
std::optional<PanelGeometry::Point> take();

}  // namespace ActivationPoint
}  // namespace velmora
