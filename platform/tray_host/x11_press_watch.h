#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

namespace velmora::x11 {

// The pointer's buttons going down and up anywhere on the X server's screen, heard as XInput 2 raw events on
// a connection of its own: a window that grabs nothing still hears a click on the bare desktop, on a panel
// clock or on any window that takes no keyboard. The wheel's steps (buttons 4 to 7) are no presses. Hears
// nothing where the server has no XInput 2.1 or there is no X server (Wayland, offscreen). Main thread only.
class PressWatch {
  public:
    // `changed(true)` when a button goes down, `changed(false)` when one comes up.
    explicit PressWatch(std::function<void(bool down)> changed);
    ~PressWatch();
    PressWatch(const PressWatch&) = delete;
    PressWatch& operator=(const PressWatch&) = delete;

    bool listening() const { return notifier_ != nullptr; }

  private:
    void read();

    std::function<void(bool)> changed_;
    xcb_connection_t* c_ = nullptr;
    std::uint8_t opcode_ = 0;  // the XInput extension's major opcode on this connection
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace velmora::x11
