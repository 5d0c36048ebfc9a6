#include "app/mirror/logic/mirror_phase.h"

#include <utility>

#include "app/mirror/logic/mirror_loss.h"

namespace velmora {

using enum MirrorPhase::Kind;

MirrorPhase MirrorPhase::failed(std::string text) {
    MirrorPhase phase(Kind::failed);
    phase.text_ = std::move(text);
    return phase;
}

void MirrorPhaseMachine::firstPicture() {
    gotFrame = true;
    if (phase.kind() == loading || phase.kind() == awaitingApproval) phase = live;
}

void MirrorPhaseMachine::setStalled(bool stalled, double now) {
    if (stalled) {
        if (phase.kind() != live && phase.kind() != loading) return;
        phase = reconnecting;
        softStall = true;
        lostSince = now;
        return;
    }
    if (!softStall) return;
    phase = gotFrame ? live : loading;
    softStall = false;
    lostSince.reset();
}

void MirrorPhaseMachine::connectionLost(double now) {
    if (phase.kind() != unresponsive) phase = reconnecting;
    softStall = false;
    // A loss that follows a stall keeps counting from the start of the stall.
    if (!lostSince) lostSince = now;
}

void MirrorPhaseMachine::tick(double now) {
    if (phase.kind() == reconnecting && lostSince && now - *lostSince >= MirrorLoss::unresponsiveAfter) {
        phase = unresponsive;
    }
}

void MirrorPhaseMachine::connectionRestored() {
    // During a soft stall the session never closed: only the heartbeat's all-clear ends it.
    if (softStall || (phase.kind() != reconnecting && phase.kind() != unresponsive)) return;
    phase = restored;
    lostSince.reset();
}

void MirrorPhaseMachine::retrying() {
    streamStarted();
}

void MirrorPhaseMachine::streamStarted() {
    phase = loading;
    gotFrame = false;
    softStall = false;
    lostSince.reset();
}

void MirrorPhaseMachine::showAwaitingApproval() {
    if (gotFrame || (phase.kind() != loading && phase.kind() != failed)) return;
    phase = awaitingApproval;
}

void MirrorPhaseMachine::fail(std::string text) {
    phase = MirrorPhase::failed(std::move(text));
    // A failure ends any stall: once mirroring has stopped the heartbeat reports "not stalled", which must
    // not turn the failure back into a loading or live picture before the user has read it.
    softStall = false;
    lostSince.reset();
}

}  // namespace velmora
