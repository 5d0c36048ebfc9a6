#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/bytes.h"

namespace velmora {

// What the mirror window asks of the link once a second.
struct MirrorLinkStatus {
    std::optional<std::int64_t> rttMs;     // the round trip, when measured
    std::optional<std::string> transport;  // the link's display name
    bool controlPaused = false;            // the phone has paused remote control
};

// What a mirror window tells the model. Main thread, except keyframeNeeded, which comes from the thread
// that feeds the video (the session's receive thread).
class MirrorScreenEvents {
  public:
    virtual ~MirrorScreenEvents() = default;
    virtual void input(const nlohmann::json& message) = 0;  // one input message for the phone, in order
    virtual void retry() = 0;                               // the state layer's retry or restart button
    virtual void closed() = 0;  // the window closed (by the user, or by close() during that call)
    virtual MirrorLinkStatus linkStatus() = 0;
    virtual void keyframeNeeded() = 0;  // the decoder lost its place and waits for a key frame
};

// The video path of one window, for the session's receive thread. It outlives the window: once the window
// is gone, packets are dropped.
class MirrorVideoIn {
  public:
    virtual ~MirrorVideoIn() = default;
    virtual void feed(ByteView packet) = 0;
};

// One mirror window, as the model drives it. Main thread only; dropping the last reference closes the window
// without telling its events.
class MirrorScreen {
  public:
    virtual ~MirrorScreen() = default;
    virtual void setVideoSize(int width, int height) = 0;  // the phone started a stream of this size
    virtual void present() = 0;                            // shows, raises and focuses the window
    virtual void close() = 0;  // closes it; its events hear closed() during the call
    virtual void showAwaitingApproval() = 0;
    virtual void fail(const std::string& text) = 0;
    virtual void showNotice(const std::string& text, double seconds) = 0;
    virtual void setControlPaused(bool paused) = 0;
    virtual void setStalled(bool stalled) = 0;
    virtual void connectionLost() = 0;
    virtual void connectionRestored() = 0;
    virtual void retrying() = 0;
    virtual std::shared_ptr<MirrorVideoIn> video() = 0;
};

// Makes mirror windows. `events` is held weakly by the window.
class MirrorScreens {
  public:
    virtual ~MirrorScreens() = default;
    virtual std::shared_ptr<MirrorScreen> open(const std::string& title,
                                               std::weak_ptr<MirrorScreenEvents> events) = 0;
    // Whether this desktop can keep a window out of screen captures and screen sharing.
    virtual bool canHideFromCapture() const = 0;
};

}  // namespace velmora
