#include "platform/tray_host/x11_press_watch.h"

#include <xcb/xinput.h>

#include <QSocketNotifier>
#include <cstdlib>

#include "platform/tray_host/x11_connection.h"

namespace velmora::x11 {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// Raw events reach every client that asks for them whatever grab is on since XInput 2.1; before, only the
// grabbing one.
bool askForRawPresses(xcb_connection_t* c) {
    const Reply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr), &std::free);
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 1))
        return false;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } select{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
             XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const Reply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, root, 1, &select.head)), &std::free);
    return !error;
}

}  // namespace

PressWatch::PressWatch(std::function<void(bool down)> changed) : changed_(std::move(changed)) {
    if (!qtConnection()) return;  // the application does not draw on an X server
    c_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c_)) return;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c_, &xcb_input_id);
    if (!extension || !extension->present) return;
    opcode_ = extension->major_opcode;
    if (!askForRawPresses(c_)) return;
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { read(); });
}

PressWatch::~PressWatch() {
    notifier_.reset();
    if (c_) xcb_disconnect(c_);
}

void PressWatch::read() {
    // Everything that arrived: the notifier fires once for what may be several events.
    while (xcb_generic_event_t* raw = xcb_poll_for_event(c_)) {
        const Reply<xcb_generic_event_t> event(raw, &std::free);
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC) continue;
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(raw);
        if (generic->extension != opcode_) continue;
        const bool down = generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
        if (!down && generic->event_type != XCB_INPUT_RAW_BUTTON_RELEASE) continue;
        const auto* button = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(raw);
        if (button->detail >= 4 && button->detail <= 7) continue;  // a wheel step
        changed_(down);
    }
    if (xcb_connection_has_error(c_)) notifier_.reset();  // the server went away
}

}  // namespace velmora::x11
