#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>
#include <optional>

namespace velmora::x11 {

// The X server's own account of the keyboard and the pointer, through Qt's connection: where the input focus
// is now, when it leaves a given window, and whether a pointer button is held. Qt's account of the active
// window lags it and can be wrong for a moment (see PanelWindow); the server's is the one other clients act
// on. Main thread only.

// The window holding the keyboard now: a window id, or the server's None (0) or PointerRoot (1). Absent
// without an X server (Wayland, offscreen).
std::optional<std::uint32_t> inputFocus();

// Whether a button of the pointer is held down now, whichever window it was pressed on. Absent without an X
// server.
std::optional<bool> pointerButtonHeld();

// Whether a FocusOut with this detail and mode (X protocol values) means the keyboard went to another window:
// not the start or end of a grab (the keyboard returns when it ends), not a move into the window's own
// inferiors, not the notice sent only because the pointer is inside.
bool focusLeaves(std::uint8_t detail, std::uint8_t mode);

// Calls `onLoss` when the server takes the keyboard from the window `window()` names (0: none yet), as
// focusLeaves tells, and `onGain` when it gives the keyboard to it. Hears the events Qt's connection reads;
// does nothing without an X server.
class FocusLossWatch final : public QAbstractNativeEventFilter {
  public:
    FocusLossWatch(std::function<std::uint32_t()> window, std::function<void()> onLoss,
                   std::function<void()> onGain);
    ~FocusLossWatch() override;
    FocusLossWatch(const FocusLossWatch&) = delete;
    FocusLossWatch& operator=(const FocusLossWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    std::function<std::uint32_t()> window_;
    std::function<void()> onLoss_;
    std::function<void()> onGain_;
};

}  // namespace velmora::x11
