#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "app/model/connection/conn_state.h"
#include "app/model/observers.h"
#include "app/model/ports/mirror_screen.h"
#include "core/exec/executor.h"
#include "core/protocol/inbound.h"

namespace velmora {

// The mirroring feature's own state inside the model. Main executor only, except `feederLock` with
// `videoFeeder`, and `playAudio`, which the receive thread reads.
struct MirrorControl {
    std::shared_ptr<MirrorScreen> window;             // the one mirror window, while it is open
    std::shared_ptr<MirrorScreenEvents> events;       // the window's link back to the model
    std::optional<Inbound::AudioFormat> audioFormat;  // of the running stream, from "mirror.started"
    bool stopping = false;                            // re-entry guard of stopMirror()
    Subscription stateWatch;                          // connection state, while a window is open
    ConnState::Kind watchedKind = ConnState::Kind::idle;
    TimerHandle startWait;              // bounds the wait for the phone's answer to the last "mirror.start"
    std::atomic<bool> playAudio{true};  // copy of the published flag for the receive thread

    std::mutex feederLock;  // guards videoFeeder only; never held while feeding
    std::shared_ptr<MirrorVideoIn> videoFeeder;
};

}  // namespace velmora
