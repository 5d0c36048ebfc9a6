#include "app/mirror/logic/mirror_hud.h"

#include <algorithm>

namespace velmora {

MirrorLinkQuality MirrorHUD::quality() const {
    using enum MirrorPhase::Kind;
    const auto kind = phase().kind();
    const bool lost = kind == reconnecting || kind == unresponsive || kind == restored;
    return LinkQuality::classify(latencyMs_, lost);
}

void MirrorHUD::drive(const std::function<void(MirrorPhaseMachine&)>& step) {
    const MirrorPhase before = machine_.phase;
    step(machine_);
    if (machine_.phase != before) notify();
}

void MirrorHUD::setLatencyMs(std::optional<std::int64_t> latencyMs) {
    if (latencyMs == latencyMs_) return;
    latencyMs_ = latencyMs;
    notify();
}

void MirrorHUD::setControlPaused(bool paused) {
    if (paused == controlPaused_) return;
    controlPaused_ = paused;
    notify();
}

void MirrorHUD::setNotice(std::optional<std::string> notice) {
    if (notice == notice_) return;
    notice_ = std::move(notice);
    notify();
}

int MirrorHUD::subscribe(Observer observer) {
    observers_.emplace_back(nextId_, std::move(observer));
    return nextId_++;
}

void MirrorHUD::unsubscribe(int id) {
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void MirrorHUD::notify() {
    // A copy, so that observers may subscribe or unsubscribe while the list is walked; one removed during
    // this round is not called any more.
    const auto round = observers_;
    for (const auto& [id, observer] : round) {
        const bool still = std::any_of(observers_.begin(), observers_.end(),
                                       [id = id](const auto& entry) { return entry.first == id; });
        if (still && observer) observer();
    }
}

}  // namespace velmora
