#pragma once

#include <xcb/xcb.h>

namespace velmora::x11 {

// Qt's own connection to the X server the application's windows live on; null on another windowing system
// (Wayland, offscreen). Main thread only.
xcb_connection_t* qtConnection();

}  // namespace velmora::x11
