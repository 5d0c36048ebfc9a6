#pragma once

#include <functional>

#include <nlohmann/json.hpp>

#include "app/mirror/logic/input_messages.h"
#include "app/mirror/logic/scheduler.h"

namespace velmora {

// A point over the mirror view in its own coordinates: points, origin at the bottom left, y growing upwards.
// The Qt view converts its top-left positions (y = height - y_qt).
struct ViewPoint {
    double x = 0;
    double y = 0;
};

// How the view reads a scroll event. A wheel without phases gives `wheel`; a precise source without phases
// (touchpads under X11) gives `changed` for every event, and the engine ends that gesture itself after a
// quiet time.
enum class ScrollPhase { began, changed, ended, wheel };

// Turns mouse and trackpad gestures over the mirror view into the phone's touch messages: a click becomes a
// tap at the press point, a held press a long press, a drag past the slop a touch stream (down, move, up), a
// precise scroll a synthetic vertical finger drag, and a wheel event one short swipe.
//
// Main thread only: mouse, scroll and timer calls all arrive on the thread that owns the engine. The
// engine cancels its pending timers when it is destroyed, so a timer never reaches a closed view's engine.
class PointerEngine {
  public:
    struct Config {
        double slop = 6.0;                  // view points a press must move (strictly more) to become a drag
        double longPress = 0.45;            // seconds a press is held unmoved to become a long press
        double scrollStartFraction = 0.03;  // of the view height: gained scroll travel that starts the drag
        double scrollGain = 1.5;            // finger travel per scrolled point
        double wheelStep = 0.12;    // shortest swipe per wheel event, as a fraction of the screen height
        double scrollQuiet = 0.15;  // seconds without events that end a scroll that has no phases
    };
    struct ViewSize {
        double width = 360;
        double height = 780;
    };
    using Emit = std::function<void(const nlohmann::json&)>;

    explicit PointerEngine(Scheduler& scheduler);
    ~PointerEngine();
    PointerEngine(const PointerEngine&) = delete;
    PointerEngine& operator=(const PointerEngine&) = delete;

    Config config;
    ViewSize size;  // the view writes it at creation and on every resize
    Emit deliver;   // where finished messages go, in order

    void mouseDown(ViewPoint p);
    void mouseDragged(ViewPoint p);
    void mouseUp(ViewPoint p);
    // `dy` is the platform's vertical delta unchanged: points when `precise`, wheel lines otherwise, positive
    // when content scrolls down.
    void scroll(ScrollPhase phase, double dy, ViewPoint at, bool precise);

    bool isDragging() const { return click_ == Click::dragging; }
    // Points outside the view land on its nearest edge; a view of no size still gives values in 0...1.
    PhonePoint norm(ViewPoint p) const;

  private:
    enum class Click { idle, pressed, dragging, longFired };
    enum class Stroke { idle, arming, active };

    void send(const nlohmann::json& message);
    void cancelLongPress();
    void longPressFired(ViewPoint origin);
    void beginScroll(double dy, ViewPoint at);
    void advanceScroll();
    void endScroll();
    void armQuietTimer();
    void cancelQuietTimer();
    PhonePoint fingerAt(double accum) const;

    Scheduler& scheduler_;
    Click click_ = Click::idle;
    ViewPoint origin_;      // the press point while pressed
    PhonePoint lastTouch_;  // where the dragging finger was last reported
    Scheduler::Cancel cancelLong_;

    Stroke stroke_ = Stroke::idle;
    PhonePoint start_;        // where the synthetic finger goes (or went) down
    double accum_ = 0;        // the gesture's summed deltas, in view points
    PhonePoint finger_;       // where the synthetic finger was last reported
    bool phaseless_ = false;  // the gesture began without `began`: only the quiet timer ends it
    Scheduler::Cancel cancelQuiet_;
};

}  // namespace velmora
