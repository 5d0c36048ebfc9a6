#pragma once

#include <QColor>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora::x11 {

// Reads of the X server the application's windows live on, through Qt's own connection. On another
// windowing system (Wayland, offscreen), or when the server does not say, the tray's answers are "unknown"
// (absent or false). Main thread only: they use the GUI thread's connection.

// Whether some client owns the compositing manager selection of the default screen ("_NET_WM_CM_S<n>"):
// without one, translucent window pixels reach the screen as black. True without an X server: a Wayland
// compositor blends every window itself.
bool compositingManagerRunning();

// The system tray's colours ("_NET_SYSTEM_TRAY_COLORS" on the owner of "_NET_SYSTEM_TRAY_S<n>"): four RGB
// triples of 16-bit channels, normal (the text colour), error, warning and success.
struct TrayColors {
    QColor normal;
    QColor error;
    QColor warning;
    QColor success;
};
// Absent when no tray owns the selection or the owner sets no colours.
std::optional<TrayColors> systemTrayColors();
// Whether some client owns the system tray selection of the default screen.
bool systemTrayPresent();

// The 12 CARDINALs of "_NET_SYSTEM_TRAY_COLORS" as colours; absent when fewer than 12 arrive.
std::optional<TrayColors> parseTrayColors(const std::uint32_t* values, std::size_t count);

}  // namespace velmora::x11
