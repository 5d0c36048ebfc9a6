#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace velmora {

// What the mirroring control tells the window about the link once a second.
struct MirrorLinkInfo {
    std::optional<std::int64_t> rttMs;     // the round trip, when measured
    std::optional<std::string> transport;  // the link's display name, for the tooltip
    bool controlPaused = false;            // the phone has paused remote control
};

// How a mirror window reaches the rest of the application: the phone's input messages go out, the state
// layer's retry and the window's closing come back, and the window asks for the link's state and the
// clipboard's text. All calls come on the main thread.
class MirrorWindowPort {
  public:
    virtual ~MirrorWindowPort() = default;
    // One input message for the phone's input channel, in the order the user made them.
    virtual void input(const nlohmann::json& message) = 0;
    // The user asked for a new start (the state layer's retry or restart button).
    virtual void retry() = 0;
    // The window has closed; it may be destroyed from the next turn of the event loop.
    virtual void closed() = 0;
    // The link's state for the 1 s tick; none when there is nothing to tell.
    virtual std::optional<MirrorLinkInfo> linkInfo() = 0;
    // The clipboard's plain text for a paste; none when it holds no text.
    virtual std::optional<std::string> pasteText() = 0;
};

}  // namespace velmora
