#include "platform/tray_host/x11_screen.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "platform/tray_host/x11_connection.h"

namespace velmora::x11 {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

int defaultScreen() {
    // DISPLAY is ":N" or ":N.S"; the screen number follows the last dot after the colon.
    const char* display = std::getenv("DISPLAY");
    if (!display) return 0;
    const std::string text(display);
    const auto colon = text.rfind(':');
    const auto dot = text.find('.', colon == std::string::npos ? 0 : colon);
    return dot == std::string::npos ? 0 : std::atoi(text.c_str() + dot + 1);
}

xcb_atom_t atom(xcb_connection_t* c, const std::string& name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t selectionOwner(xcb_connection_t* c, const std::string& selection) {
    const xcb_atom_t a = atom(c, selection);
    if (a == XCB_ATOM_NONE) return XCB_NONE;
    const Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, a), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

std::string withScreen(const char* prefix) {
    return prefix + std::to_string(defaultScreen());
}

QColor rgb16(const std::uint32_t* v) {
    QColor color;
    color.setRgbF(float((v[0] & 0xffff) / 65535.0), float((v[1] & 0xffff) / 65535.0),
                  float((v[2] & 0xffff) / 65535.0));
    return color;
}

}  // namespace

xcb_connection_t* qtConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    const auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return native ? native->connection() : nullptr;
}

bool compositingManagerRunning() {
    xcb_connection_t* c = qtConnection();
    // Without an X server the display server composites itself (Wayland), or nothing reaches a screen.
    if (!c) return true;
    return selectionOwner(c, withScreen("_NET_WM_CM_S")) != XCB_NONE;
}

bool systemTrayPresent() {
    xcb_connection_t* c = qtConnection();
    return c && selectionOwner(c, withScreen("_NET_SYSTEM_TRAY_S")) != XCB_NONE;
}

std::optional<TrayColors> parseTrayColors(const std::uint32_t* values, std::size_t count) {
    if (!values || count < 12) return std::nullopt;
    return TrayColors{rgb16(values), rgb16(values + 3), rgb16(values + 6), rgb16(values + 9)};
}

std::optional<TrayColors> systemTrayColors() {
    xcb_connection_t* c = qtConnection();
    if (!c) return std::nullopt;
    const xcb_window_t owner = selectionOwner(c, withScreen("_NET_SYSTEM_TRAY_S"));
    const xcb_atom_t colors = atom(c, "_NET_SYSTEM_TRAY_COLORS");
    if (owner == XCB_NONE || colors == XCB_ATOM_NONE) return std::nullopt;
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, owner, colors, XCB_ATOM_CARDINAL, 0, 12), nullptr));
    if (!reply || reply->format != 32) return std::nullopt;
    return parseTrayColors(static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get())),
                           static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / 4);
}

}  // namespace velmora::x11
