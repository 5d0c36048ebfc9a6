#include "platform/tray_host/x11_focus.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "platform/tray_host/x11_connection.h"

namespace velmora::x11 {

std::optional<std::uint32_t> inputFocus() {
    xcb_connection_t* c = qtConnection();
    if (!c) return std::nullopt;
    const std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
    if (!reply) return std::nullopt;
    return reply->focus;
}

std::optional<bool> pointerButtonHeld() {
    xcb_connection_t* c = qtConnection();
    if (!c) return std::nullopt;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr), &std::free);
    if (!reply) return std::nullopt;
    constexpr std::uint16_t buttons = XCB_KEY_BUT_MASK_BUTTON_1 | XCB_KEY_BUT_MASK_BUTTON_2 |
                                      XCB_KEY_BUT_MASK_BUTTON_3 | XCB_KEY_BUT_MASK_BUTTON_4 |
                                      XCB_KEY_BUT_MASK_BUTTON_5;
    return (reply->mask & buttons) != 0;
}

bool focusLeaves(std::uint8_t detail, std::uint8_t mode) {
    if (mode == XCB_NOTIFY_MODE_GRAB || mode == XCB_NOTIFY_MODE_UNGRAB) return false;
    if (mode != XCB_NOTIFY_MODE_NORMAL && mode != XCB_NOTIFY_MODE_WHILE_GRABBED) return false;
    return detail != XCB_NOTIFY_DETAIL_INFERIOR && detail != XCB_NOTIFY_DETAIL_POINTER &&
           detail <= XCB_NOTIFY_DETAIL_NONE;
}

FocusLossWatch::FocusLossWatch(std::function<std::uint32_t()> window, std::function<void()> onLoss,
                               std::function<void()> onGain)
    : window_(std::move(window)), onLoss_(std::move(onLoss)), onGain_(std::move(onGain)) {
    if (qtConnection()) QCoreApplication::instance()->installNativeEventFilter(this);
}

FocusLossWatch::~FocusLossWatch() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool FocusLossWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7f;
    if (type != XCB_FOCUS_OUT && type != XCB_FOCUS_IN) return false;
    const auto* focus = static_cast<const xcb_focus_in_event_t*>(message);  // FocusOut has the same layout
    const std::uint32_t watched = window_();
    if (watched == 0 || focus->event != watched) return false;
    if (type == XCB_FOCUS_IN) {
        onGain_();
    } else if (focusLeaves(focus->detail, focus->mode)) {
        onLoss_();
    }
    return false;  // Qt hears it too
}

}  // namespace velmora::x11
