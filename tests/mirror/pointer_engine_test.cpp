#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "app/mirror/logic/pointer_engine.h"

namespace velmora {
namespace {

using nlohmann::json;

// Timers run only when the test moves the fake time past them; a cancelled timer never runs.
class FakeScheduler final : public Scheduler {
  public:
    Cancel schedule(double seconds, std::function<void()> action) override {
        const int id = next_++;
        timers_.emplace(id, Timer{now_ + seconds, std::move(action)});
        return [this, id] { timers_.erase(id); };
    }
    void advance(double seconds) {
        now_ += seconds;
        for (auto it = timers_.begin(); it != timers_.end();) {
            if (it->second.due > now_) {
                ++it;
                continue;
            }
            auto action = std::move(it->second.action);
            timers_.erase(it);
            action();
            it = timers_.begin();
        }
    }
    std::size_t pending() const { return timers_.size(); }

  private:
    struct Timer {
        double due;
        std::function<void()> action;
    };
    double now_ = 0;
    int next_ = 0;
    std::map<int, Timer> timers_;
};

// A 100 × 200 view, so that view points divide into round fractions.
struct Rig {
    FakeScheduler timers;
    std::unique_ptr<PointerEngine> engine = std::make_unique<PointerEngine>(timers);
    std::vector<json> sent;
    Rig() {
        engine->size = {100, 200};
        engine->emit = [this](const json& m) { sent.push_back(m); };
    }
    std::vector<json> take() { return std::exchange(sent, {}); }
};

json touch(const char* phase, double x, double y) {
    return {{"t", "in.touch"}, {"phase", phase}, {"x", x}, {"y", y}};
}
json at(const char* t, double x, double y) {
    return {{"t", t}, {"x", x}, {"y", y}};
}

// Messages equal but for the last bits of their coordinates.
void expectSent(const std::vector<json>& got, const std::vector<json>& want) {
    ASSERT_EQ(got.size(), want.size()) << json(got).dump();
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].size(), want[i].size()) << got[i].dump();
        for (const auto& [key, value] : want[i].items()) {
            if (value.is_number_float()) {
                EXPECT_NEAR(got[i].at(key).get<double>(), value.get<double>(), 1e-9) << got[i].dump();
            } else {
                EXPECT_EQ(got[i].at(key), value) << got[i].dump();
            }
        }
    }
}

TEST(PointerEngine, ClicksHoldsAndDrags) {
    Rig r;
    r.engine->mouseDown({50, 100});
    r.timers.advance(0.44);
    r.engine->mouseDragged({56, 100});  // exactly the slop: still a tap candidate
    r.engine->mouseUp({56, 100});
    expectSent(r.take(), std::vector{at("in.tap", 0.5, 0.5)});  // at the press point
    EXPECT_EQ(r.timers.pending(), 0u);

    r.engine->mouseDown({0, 200});
    r.timers.advance(0.45);
    r.engine->mouseDragged({90, 10});  // nothing after a long press
    r.engine->mouseUp({90, 10});
    expectSent(r.take(), std::vector{at("in.long", 0, 0)});

    r.engine->mouseDown({10, 20});
    r.engine->mouseDragged({16.01, 20});
    EXPECT_TRUE(r.engine->isDragging());
    r.engine->mouseDragged({-30, -5});  // outside the view: the nearest edge
    r.timers.advance(1);                // the long press was cancelled at the drag
    r.engine->mouseUp({200, 400});
    expectSent(r.take(), (std::vector{touch("down", 0.1, 0.9), touch("move", 0.1601, 0.9),
                                      touch("move", 0, 1), touch("up", 1, 0)}));
}

TEST(PointerEngine, APressDuringADragLiftsTheOldFingerFirst) {
    Rig r;
    r.engine->mouseDown({10, 20});
    r.engine->mouseDragged({30, 40});
    r.take();
    r.engine->mouseDown({50, 100});  // the release of the drag never arrived
    r.engine->mouseUp({50, 100});
    expectSent(r.take(), (std::vector{touch("up", 0.3, 0.8), at("in.tap", 0.5, 0.5)}));
}

TEST(PointerEngine, TrackpadScrollsBecomeAFingerDrag) {
    Rig r;  // H = 200: the drag starts at 6 points of gained travel, 4 of scrolling
    r.engine->scroll(ScrollPhase::began, 2, {0, 200}, true);
    r.engine->scroll(ScrollPhase::changed, 1.9, {0, 200}, true);
    EXPECT_TRUE(r.take().empty());
    r.engine->scroll(ScrollPhase::changed, 0.1, {0, 200}, true);
    r.engine->scroll(ScrollPhase::changed, 1000, {0, 200}, true);
    r.engine->scroll(ScrollPhase::ended, 50, {0, 200}, true);  // the ending delta is not added
    expectSent(r.take(), (std::vector{touch("down", 0.12, 0.25), touch("move", 0.12, 0.28),
                                      touch("move", 0.12, 0.97), touch("up", 0.12, 0.97)}));
    // Under the threshold nothing is sent, not even at the end; `changed` alone starts from the pointer.
    r.engine->scroll(ScrollPhase::changed, -3, {100, 0}, true);
    r.engine->scroll(ScrollPhase::ended, 0, {100, 0}, true);
    r.engine->scroll(ScrollPhase::began, -4, {100, 0}, true);
    expectSent(r.take(), (std::vector{touch("down", 0.88, 0.75), touch("move", 0.88, 0.72)}));
    // A new gesture while the finger is down lifts it where it last was.
    r.engine->scroll(ScrollPhase::began, 0, {50, 100}, true);
    expectSent(r.take(), std::vector{touch("up", 0.88, 0.72)});
}

TEST(PointerEngine, AScrollWithoutPhasesEndsAfterAQuietTime) {
    Rig r;
    r.engine->scroll(ScrollPhase::changed, 4, {50, 100}, true);
    r.timers.advance(0.1);
    r.engine->scroll(ScrollPhase::changed, 4, {50, 100}, true);
    r.timers.advance(0.1);  // each event restarts the quiet time
    expectSent(r.take(),
               (std::vector{touch("down", 0.5, 0.5), touch("move", 0.5, 0.53), touch("move", 0.5, 0.56)}));
    r.timers.advance(0.06);
    expectSent(r.take(), std::vector{touch("up", 0.5, 0.56)});
    // A gesture with phases waits for its end however long it rests.
    r.engine->scroll(ScrollPhase::began, 4, {50, 100}, true);
    r.timers.advance(10);
    EXPECT_EQ(r.take().size(), 2u);
    EXPECT_EQ(r.timers.pending(), 0u);
}

TEST(PointerEngine, EachWheelEventIsOneSwipe) {
    struct Case {
        double dy;
        bool precise;
        ViewPoint at;
        double x, y1, y2;
    };
    for (const Case& c : {Case{0, true, {50, 100}, 0.5, 0.5, 0.62},       // at least wheelStep, downwards
                          Case{-30, true, {50, 100}, 0.5, 0.5, 0.35},     // precise: points
                          Case{-3, false, {50, 100}, 0.5, 0.5, 0.35},     // lines: ×10
                          Case{9000, false, {50, 100}, 0.5, 0.5, 0.9},    // capped at 0.4
                          Case{9000, true, {0, 0}, 0.12, 0.75, 0.95}}) {  // y2 stays inside 0.05...0.95
        Rig r;
        r.engine->scroll(ScrollPhase::wheel, c.dy, c.at, c.precise);
        const json want = {{"t", "in.swipe"}, {"x1", c.x},  {"y1", c.y1},
                           {"x2", c.x},       {"y2", c.y2}, {"ms", 140}};
        expectSent(r.take(), std::vector{want});
    }
}

TEST(PointerEngine, ANullSizedViewAndAClosedViewStaySafe) {
    Rig r;
    r.engine->size = {0, 0};
    EXPECT_EQ(r.engine->norm({-1, -1}), (PhonePoint{0, 1}));
    EXPECT_EQ(r.engine->norm({0.5, 1}), (PhonePoint{0.5, 0}));
    r.engine->mouseDown({0, 0});
    r.engine->scroll(ScrollPhase::changed, 4, {0, 0}, true);
    r.engine.reset();  // pending timers are cancelled with the engine
    EXPECT_EQ(r.timers.pending(), 0u);
    r.timers.advance(1);
}

}  // namespace
}  // namespace velmora
