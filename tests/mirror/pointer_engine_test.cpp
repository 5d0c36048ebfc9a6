#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>

#include "app/mirror/logic/pointer_engine.h"
#include "core/exec/manual_executor.h"

namespace velmora {
namespace {

using nlohmann::json;

// A 100 × 200 view, so that view points divide into round fractions; coordinates are compared to 1e-9.
struct Rig {
    ManualExecutor clock{0};
    ExecutorScheduler timers{clock};
    std::unique_ptr<PointerEngine> engine = std::make_unique<PointerEngine>(timers);
    std::vector<json> sent;
    Rig() {
        engine->size = {100, 200};
        engine->deliver = [this](json m) {
            for (json& v : m)
                if (v.is_number_float()) v = std::round(v.get<double>() * 1e9) / 1e9;
            sent.push_back(m);
        };
    }
    std::vector<json> take() { return std::exchange(sent, {}); }
};

json touch(const char* phase, double x, double y) {
    return {{"t", "in.touch"}, {"phase", phase}, {"x", x}, {"y", y}};
}
json at(const char* t, double x, double y) {
    return {{"t", t}, {"x", x}, {"y", y}};
}

TEST(PointerEngine, ClicksHoldsAndDragsLeaveNoFingerDown) {
    Rig r;
    r.engine->mouseDown({50, 100});
    r.clock.advance(0.44);
    r.engine->mouseDragged({56, 100});  // exactly the slop: still a tap candidate
    r.engine->mouseUp({56, 100});
    r.clock.advance(1);
    EXPECT_EQ(r.take(), std::vector{at("in.tap", 0.5, 0.5)});  // at the press point, and no long press

    r.engine->mouseDown({0, 200});
    r.clock.advance(0.45);
    r.engine->mouseDragged({90, 10});  // nothing after a long press
    r.engine->mouseUp({90, 10});
    EXPECT_EQ(r.take(), std::vector{at("in.long", 0, 0)});

    r.engine->mouseDown({10, 20});
    r.engine->mouseDragged({16.01, 20});
    r.engine->mouseDragged({-30, -5});  // outside the view: the nearest edge
    r.clock.advance(1);                 // the long press was cancelled at the drag
    r.engine->mouseDown({50, 100});     // the release never arrived: the old finger is lifted first
    r.engine->mouseDragged({200, 400});
    r.engine->mouseUp({200, 400});
    EXPECT_EQ(r.take(), (std::vector{touch("down", 0.1, 0.9), touch("move", 0.1601, 0.9), touch("move", 0, 1),
                                     touch("up", 0, 1), touch("down", 0.5, 0.5), touch("move", 1, 0),
                                     touch("up", 1, 0)}));
}

TEST(PointerEngine, TrackpadScrollsBecomeAFingerDrag) {
    Rig r;  // H = 200: the drag starts at 6 points of gained travel, 4 of scrolling
    r.engine->scroll(ScrollPhase::began, 2, {0, 200}, true);
    r.engine->scroll(ScrollPhase::changed, 1.9, {0, 200}, true);
    EXPECT_TRUE(r.take().empty());
    r.engine->scroll(ScrollPhase::changed, 0.1, {0, 200}, true);
    r.engine->scroll(ScrollPhase::changed, 1000, {0, 200}, true);
    r.engine->scroll(ScrollPhase::ended, 50, {0, 200}, true);  // the ending delta is not added
    EXPECT_EQ(r.take(), (std::vector{touch("down", 0.12, 0.25), touch("move", 0.12, 0.28),
                                     touch("move", 0.12, 0.97), touch("up", 0.12, 0.97)}));
    // Under the threshold nothing is sent, not even at the end; `changed` alone starts from the pointer.
    r.engine->scroll(ScrollPhase::changed, -3, {100, 0}, true);
    r.engine->scroll(ScrollPhase::ended, 0, {100, 0}, true);
    r.engine->scroll(ScrollPhase::began, -4, {100, 0}, true);
    EXPECT_EQ(r.take(), (std::vector{touch("down", 0.88, 0.75), touch("move", 0.88, 0.72)}));
    // A new gesture while the finger is down lifts it where it last was.
    r.engine->scroll(ScrollPhase::began, 0, {50, 100}, true);
    EXPECT_EQ(r.take(), std::vector{touch("up", 0.88, 0.72)});
}

TEST(PointerEngine, AScrollWithoutPhasesEndsAfterAQuietTime) {
    Rig r;
    r.engine->scroll(ScrollPhase::changed, 4, {50, 100}, true);
    r.clock.advance(0.1);
    r.engine->scroll(ScrollPhase::changed, 4, {50, 100}, true);
    r.clock.advance(0.1);  // each event restarts the quiet time
    EXPECT_EQ(r.take(),
              (std::vector{touch("down", 0.5, 0.5), touch("move", 0.5, 0.53), touch("move", 0.5, 0.56)}));
    r.clock.advance(0.06);
    EXPECT_EQ(r.take(), std::vector{touch("up", 0.5, 0.56)});
    // A gesture with phases waits for its end however long it rests.
    r.engine->scroll(ScrollPhase::began, 4, {50, 100}, true);
    r.clock.advance(10);
    EXPECT_EQ(r.take().size(), 2u);
}

TEST(PointerEngine, EachWheelEventIsOneSwipe) {
    // dy, precise, pointer, then x, y1 and y2 of the swipe
    const std::tuple<double, bool, ViewPoint, double, double, double> table[] = {
        {0, true, {50, 100}, 0.5, 0.5, 0.62},     // at least wheelStep, downwards
        {-30, true, {50, 100}, 0.5, 0.5, 0.35},   // precise: points
        {-3, false, {50, 100}, 0.5, 0.5, 0.35},   // lines: ×10
        {9000, false, {50, 100}, 0.5, 0.5, 0.9},  // capped at 0.4
        {9000, true, {0, 0}, 0.12, 0.75, 0.95}};  // y2 stays inside 0.05...0.95
    for (const auto& [dy, precise, pointer, x, y1, y2] : table) {
        Rig r;
        r.engine->scroll(ScrollPhase::wheel, dy, pointer, precise);
        const auto sent = r.take();
        EXPECT_EQ(sent, std::vector<json>(
                            {{{"t", "in.swipe"}, {"x1", x}, {"y1", y1}, {"x2", x}, {"y2", y2}, {"ms", 140}}}))
            << dy;
        EXPECT_TRUE(sent.at(0).at("ms").is_number_integer());
    }
}

TEST(PointerEngine, ANullSizedViewAndAClosedViewStaySafe) {
    Rig r;
    r.engine->size = {0, 0};
    EXPECT_EQ(r.engine->norm({-1, -1}), (PhonePoint{0, 1}));
    EXPECT_EQ(r.engine->norm({0.5, 1}), (PhonePoint{0.5, 0}));
    r.engine->mouseDown({0, 0});
    r.engine->scroll(ScrollPhase::changed, 4, {0, 0}, true);
    r.take();
    r.engine.reset();  // its pending timers go with it (ASan sees a use after free otherwise)
    r.clock.advance(1);
    EXPECT_TRUE(r.sent.empty());
}

}  // namespace
}  // namespace velmora
