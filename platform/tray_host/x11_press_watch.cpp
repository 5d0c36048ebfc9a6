#include "platform/tray_host/x11_press_watch.h"

#include <xcb/xinput.h>

#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "platform/tray_host/x11_connection.h"

namespace velmora::x11 {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

struct RawButtonMask {
    xcb_input_event_mask_t head;
    std::uint32_t mask;
};

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// Raw events reach every client that asks for them whatever grab is on since XInput 2.1; before, only the
// grabbing one. Qt announced its own version on this connection already, and the server refuses a lower one
// than a client announced: the highest this library knows is asked, and the server answers the one in force.
bool serverHasRawPressesForAll(xcb_connection_t* c) {
    const Reply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 4), nullptr), &std::free);
    return version &&
           (version->major_version > 2 || (version->major_version == 2 && version->minor_version >= 1));
}

// For every master pointer, on the root window. Qt selects its own events on the root for all devices, a
// selection the server keeps apart from this one.
bool selectRawPresses(xcb_connection_t* c, std::uint32_t mask) {
    RawButtonMask select{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
    const Reply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, rootOf(c), 1, &select.head)), &std::free);
    return !error;
}

}  // namespace

PressWatch::PressWatch(std::function<void(bool down)> changed) : changed_(std::move(changed)) {
    xcb_connection_t* c = qtConnection();
    if (!c) return;
    hearing_ = Hearing::noXInput2;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present || !serverHasRawPressesForAll(c)) return;
    opcode_ = extension->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
    if (!selectRawPresses(
            c, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE)) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        hearing_ = Hearing::refused;
        return;
    }
    hearing_ = Hearing::presses;
}

PressWatch::~PressWatch() {
    if (hearing_ != Hearing::presses) return;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    if (xcb_connection_t* c = qtConnection()) {
        RawButtonMask none{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, 0};
        xcb_input_xi_select_events(c, rootOf(c), 1, &none.head);
        xcb_flush(c);
    }
}

bool PressWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC) return false;
    const auto* generic = static_cast<const xcb_ge_generic_event_t*>(message);
    if (generic->extension != opcode_) return false;
    const bool down = generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
    if (!down && generic->event_type != XCB_INPUT_RAW_BUTTON_RELEASE) return false;
    const auto* button = static_cast<const xcb_input_raw_button_press_event_t*>(message);
    if (button->detail < 4 || button->detail > 7) changed_(down);  // not a wheel step
    return true;  // asked for here alone: Qt's own handling has no use for it
}

}  // namespace velmora::x11
