#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/mirror/logic/link_quality.h"
#include "app/mirror/logic/mirror_phase.h"

namespace velmora {

// The observable state of one mirror window: what its chrome shows and the two callbacks its buttons use.
// The window creates it and keeps it for its life; a thin Qt adapter turns the notifications into signals.
// Main thread only: every writer and every observer runs there.
class MirrorHUD {
  public:
    using Observer = std::function<void()>;

    const MirrorPhase& phase() const { return machine_.phase; }
    const MirrorPhaseMachine& machine() const { return machine_; }
    std::optional<std::int64_t> latencyMs() const { return latencyMs_; }
    bool controlPaused() const { return controlPaused_; }
    const std::optional<std::string>& notice() const { return notice_; }
    // Lost while the link is down or just back, else the latency's class (also while failed).
    MirrorLinkQuality quality() const;

    // Runs one step of the phase machine (for example `[&](auto& m) { m.connectionLost(now); }`); observers
    // hear of it when the phase changed.
    void drive(const std::function<void(MirrorPhaseMachine&)>& step);
    void setLatencyMs(std::optional<std::int64_t> latencyMs);
    void setControlPaused(bool paused);
    void setNotice(std::optional<std::string> notice);

    // Observers run after each change of a published field (phase, latency, control pause, notice), in the
    // order they subscribed. An observer may unsubscribe itself or others while it runs.
    int subscribe(Observer observer);
    void unsubscribe(int id);

    std::function<void()> onRetry;                     // the state layer's retry button
    std::function<void(const std::string&)> onAction;  // the action bar, with the phone key's name

  private:
    void notify();

    MirrorPhaseMachine machine_;
    std::optional<std::int64_t> latencyMs_;
    bool controlPaused_ = false;
    std::optional<std::string> notice_;
    std::vector<std::pair<int, Observer>> observers_;
    int nextId_ = 1;
};

}  // namespace velmora
