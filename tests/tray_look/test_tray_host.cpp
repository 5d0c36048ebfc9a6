#include "tray_look/test_tray_host.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace velmora::test {

namespace {

std::uint32_t pixel(const QColor& c) {
    return (std::uint32_t(c.red()) << 16) | (std::uint32_t(c.green()) << 8) | std::uint32_t(c.blue());
}

}  // namespace

TestTrayHost::TestTrayHost(QColor background, std::optional<QColor> text) {
    c_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c_)) throw std::runtime_error("no X server for the test tray");
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    window_ = xcb_generate_id(c_);
    const std::uint32_t values[] = {pixel(background), 1, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen_->root, 0, 0, width, height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    const std::uint32_t horizontal = 0;
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_SYSTEM_TRAY_ORIENTATION"),
                        XCB_ATOM_CARDINAL, 32, 1, &horizontal);
    if (text) {
        // Four RGB triples of 16-bit channels: normal, error, warning, success.
        std::uint32_t colors[12];
        for (int k = 0; k < 4; ++k) {
            colors[3 * k] = std::uint32_t(text->red()) * 257;
            colors[3 * k + 1] = std::uint32_t(text->green()) * 257;
            colors[3 * k + 2] = std::uint32_t(text->blue()) * 257;
        }
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_SYSTEM_TRAY_COLORS"),
                            XCB_ATOM_CARDINAL, 32, 12, colors);
    }
    xcb_map_window(c_, window_);
    const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
    opcode_ = atom("_NET_SYSTEM_TRAY_OPCODE");
    xcb_set_selection_owner(c_, window_, selection, XCB_CURRENT_TIME);
    // Clients that wait for a tray learn of this one from the MANAGER message on the root window.
    xcb_client_message_event_t manager{};
    manager.response_type = XCB_CLIENT_MESSAGE;
    manager.format = 32;
    manager.window = screen_->root;
    manager.type = atom("MANAGER");
    manager.data.data32[0] = XCB_CURRENT_TIME;
    manager.data.data32[1] = selection;
    manager.data.data32[2] = window_;
    xcb_send_event(c_, 0, screen_->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&manager));
    xcb_flush(c_);
}

TestTrayHost::~TestTrayHost() {
    xcb_disconnect(c_);
}

xcb_atom_t TestTrayHost::atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

QRect TestTrayHost::iconArea() const {
    return {(width - iconSide) / 2, (height - iconSide) / 2, iconSide, iconSide};
}

void TestTrayHost::pump() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            // SYSTEM_TRAY_REQUEST_DOCK (opcode 0) names the icon's window in its third value.
            // A client that learns of the tray again asks again with a new window: the newest is the icon.
            if (message->type == opcode_ && message->data.data32[1] == 0) {
                icon_ = message->data.data32[2];
                const QRect area = iconArea();
                xcb_reparent_window(c_, icon_, window_, std::int16_t(area.x()), std::int16_t(area.y()));
                const std::uint32_t size[] = {std::uint32_t(iconSide), std::uint32_t(iconSide)};
                xcb_configure_window(c_, icon_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
                xcb_map_window(c_, icon_);
                xcb_flush(c_);
            }
        }
        std::free(event);
    }
}

namespace {

QImage grabOf(xcb_connection_t* c, xcb_window_t window, const QRect& area) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, std::int16_t(area.x()), std::int16_t(area.y()),
                      std::uint16_t(area.width()), std::uint16_t(area.height()), ~0u),
        nullptr);
    if (!reply) return {};
    // A 24-bit TrueColor screen hands four bytes a pixel, blue first.
    const QImage image(xcb_get_image_data(reply), area.width(), area.height(), area.width() * 4,
                       QImage::Format_RGB32);
    QImage copy = image.copy();
    std::free(reply);
    return copy;
}

}  // namespace

QImage TestTrayHost::grab() {
    return grabOf(c_, window_, QRect(0, 0, width, height));
}

QImage TestTrayHost::grabScreen(const QRect& area) {
    return grabOf(c_, screen_->root, area);
}

void TestTrayHost::paintDesktop(QColor color) {
    const std::uint32_t value = pixel(color);
    xcb_change_window_attributes(c_, screen_->root, XCB_CW_BACK_PIXEL, &value);
    xcb_clear_area(c_, 0, screen_->root, 0, 0, 0, 0);
    xcb_flush(c_);
}

}  // namespace velmora::test

namespace velmora::test {
std::string TestTrayHost::describeIcon() {
    if (icon_ == XCB_NONE) return "none";
    auto* a = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, icon_), nullptr);
    auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, icon_), nullptr);
    auto* t = xcb_query_tree_reply(c_, xcb_query_tree(c_, icon_), nullptr);
    std::string out = "map_state " + std::to_string(a ? a->map_state : -1) + " depth " +
                      std::to_string(g ? g->depth : -1) + " geo " + std::to_string(g ? g->x : -1) + "," +
                      std::to_string(g ? g->y : -1) + " " + std::to_string(g ? g->width : -1) + "x" +
                      std::to_string(g ? g->height : -1) + " parent " + std::to_string(t ? t->parent : 0) +
                      " tray " + std::to_string(window_);
    std::free(a), std::free(g), std::free(t);
    return out;
}
}  // namespace velmora::test
