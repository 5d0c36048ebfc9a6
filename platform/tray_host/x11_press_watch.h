#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

namespace velmora::x11 {

// The pointer's buttons going down and up anywhere on the X server's screen, heard as XInput 2 raw events on
// Qt's own connection (the display the application's windows live on): a window that grabs nothing still
// hears a click on the bare desktop, on a panel clock or on any window that takes no keyboard. The wheel's
// steps (buttons 4 to 7) are no presses. A raw event reaches the connection before the press itself, so the
// callback runs while the program's windows are as they were when the button went down (a menu the press
// will close is still shown). Hears nothing where there is no X server (Wayland, offscreen) or the server has
// no XInput 2.1. One watch at a time: the server keeps one such selection for the connection. Main thread
// only.
class PressWatch final : public QAbstractNativeEventFilter {
  public:
    enum class Hearing {
        presses,    // listening
        noServer,   // the application does not draw on an X server
        noXInput2,  // the server has no XInput 2.1, whose raw events reach a client that grabs nothing
        refused,    // the server answered the request for raw presses with an error
    };

    // `changed(true)` when a button goes down, `changed(false)` when one comes up; called from Qt's handling
    // of the connection's events, before the press reaches any window.
    explicit PressWatch(std::function<void(bool down)> changed);
    ~PressWatch() override;
    PressWatch(const PressWatch&) = delete;
    PressWatch& operator=(const PressWatch&) = delete;

    Hearing hearing() const { return hearing_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    std::function<void(bool)> changed_;
    Hearing hearing_ = Hearing::noServer;
    std::uint8_t opcode_ = 0;  // the XInput extension's major opcode on the connection
};

}  // namespace velmora::x11
