#include "app/mirror/logic/pointer_engine.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {
namespace {

// The upper bound applies last, so a range given upside down yields its upper end.
double clampTo(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}

double unit(double v) {
    if (v <= 0) return 0;
    return v > 1 ? 1 : v;
}

// The synthetic finger starts in the middle band of the screen, so that its travel has room both ways.
PhonePoint middleBand(PhonePoint p) {
    return {clampTo(p.x, 0.12, 0.88), clampTo(p.y, 0.25, 0.75)};
}

}  // namespace

PointerEngine::PointerEngine(Scheduler& scheduler) : scheduler_(scheduler) {}

PointerEngine::~PointerEngine() {
    cancelLongPress();
    cancelQuietTimer();
}

PhonePoint PointerEngine::norm(ViewPoint p) const {
    return {unit(p.x / std::max(1.0, size.width)), 1 - unit(p.y / std::max(1.0, size.height))};
}

void PointerEngine::send(const nlohmann::json& message) {
    if (deliver) deliver(message);
}

void PointerEngine::cancelLongPress() {
    if (cancelLong_) std::exchange(cancelLong_, nullptr)();
}

void PointerEngine::mouseDown(ViewPoint p) {
    cancelLongPress();
    // A drag whose release never arrived would leave the phone's finger down for good: lift it first.
    if (click_ == Click::dragging) send(InputMessage::touch("up", lastTouch_));
    click_ = Click::pressed;
    origin_ = p;
    cancelLong_ = scheduler_.schedule(config.longPress, [this, p] { longPressFired(p); });
}

void PointerEngine::longPressFired(ViewPoint origin) {
    cancelLong_ = nullptr;
    if (click_ != Click::pressed || origin_.x != origin.x || origin_.y != origin.y) return;
    send(InputMessage::longPress(norm(origin)));
    click_ = Click::longFired;
}

void PointerEngine::mouseDragged(ViewPoint p) {
    if (click_ == Click::dragging) {
        lastTouch_ = norm(p);
        send(InputMessage::touch("move", lastTouch_));
        return;
    }
    if (click_ != Click::pressed) return;  // nothing after a long press
    if (std::hypot(p.x - origin_.x, p.y - origin_.y) <= config.slop) return;
    cancelLongPress();
    send(InputMessage::touch("down", norm(origin_)));
    lastTouch_ = norm(p);
    send(InputMessage::touch("move", lastTouch_));
    click_ = Click::dragging;
}

void PointerEngine::mouseUp(ViewPoint p) {
    cancelLongPress();
    if (click_ == Click::pressed) send(InputMessage::tap(norm(origin_)));  // where it was pressed
    if (click_ == Click::dragging) send(InputMessage::touch("up", norm(p)));
    click_ = Click::idle;
}

void PointerEngine::scroll(ScrollPhase phase, double dy, ViewPoint at, bool precise) {
    switch (phase) {
        case ScrollPhase::began:
            cancelQuietTimer();
            phaseless_ = false;
            beginScroll(dy, at);
            advanceScroll();
            return;
        case ScrollPhase::changed:
            if (stroke_ == Stroke::idle) {
                phaseless_ = true;
                beginScroll(dy, at);
            } else {
                accum_ += dy;
            }
            if (phaseless_) armQuietTimer();
            advanceScroll();
            return;
        case ScrollPhase::ended:
            endScroll();
            return;
        case ScrollPhase::wheel:
            break;
    }
    const double height = std::max(1.0, size.height);
    const PhonePoint from = middleBand(norm(at));
    const double length = clampTo(std::abs(dy) * (precise ? 1 : 10) / height, config.wheelStep, 0.4);
    const double step = dy < 0 ? -length : length;
    send(InputMessage::swipe(from, {from.x, clampTo(from.y + step, 0.05, 0.95)}));
}

void PointerEngine::beginScroll(double dy, ViewPoint at) {
    // A gesture that begins while another still holds the finger down would leave that finger stuck.
    if (stroke_ == Stroke::active) send(InputMessage::touch("up", finger_));
    stroke_ = Stroke::arming;
    start_ = middleBand(norm(at));
    accum_ = dy;
}

PhonePoint PointerEngine::fingerAt(double accum) const {
    const double height = std::max(1.0, size.height);
    return {start_.x, clampTo(start_.y + accum * config.scrollGain / height, 0.03, 0.97)};
}

void PointerEngine::advanceScroll() {
    if (stroke_ == Stroke::idle) return;
    if (stroke_ == Stroke::arming) {
        const double height = std::max(1.0, size.height);
        if (std::abs(accum_ * config.scrollGain) < config.scrollStartFraction * height) return;
        send(InputMessage::touch("down", start_));
        stroke_ = Stroke::active;
    }
    finger_ = fingerAt(accum_);
    send(InputMessage::touch("move", finger_));
}

void PointerEngine::endScroll() {
    cancelQuietTimer();
    // The delta of the ending event is not added: the finger lifts where it was last moved to.
    if (stroke_ == Stroke::active) send(InputMessage::touch("up", fingerAt(accum_)));
    stroke_ = Stroke::idle;
    phaseless_ = false;
}

void PointerEngine::armQuietTimer() {
    cancelQuietTimer();
    cancelQuiet_ = scheduler_.schedule(config.scrollQuiet, [this] {
        cancelQuiet_ = nullptr;
        endScroll();
    });
}

void PointerEngine::cancelQuietTimer() {
    if (cancelQuiet_) std::exchange(cancelQuiet_, nullptr)();
}

}  // namespace velmora
