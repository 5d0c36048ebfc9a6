#include <gtest/gtest.h>

#include "app/mirror/logic/mirror_geometry.h"
#include "app/mirror/logic/mirror_hud.h"

namespace velmora {
namespace {

TEST(MirrorGeometry, SizesRoundHalvesAwayFromZero) {
    const auto phone = *MirrorGeometry::make(1080, 2340);
    const auto square = *MirrorGeometry::make(1, 1);
    EXPECT_EQ(phone.contentHeight(300), 688);
    EXPECT_EQ(phone.contentHeight(231), 539);  // 474.5 rounds up, not to the even 474
    EXPECT_EQ(square.contentWidth(64.5), 13);  // 0.5 → 1
    EXPECT_EQ(square.contentWidth(63.5), 11);  // -0.5 → -1
    EXPECT_EQ(phone.minContentHeight(), 515);
    EXPECT_EQ(MirrorGeometry::make(1920, 1080)->fit(900, 400), (MirrorSize{609, 400}));
    const std::tuple<double, double, MirrorSize> fits[] = {
        {300, 10000, {300, 688}}, {100, 10000, {220, 515}}, {300, 600, {259, 599}}, {300, 400, {220, 515}}};
    for (const auto& [width, maxHeight, want] : fits)
        EXPECT_EQ(phone.fit(width, maxHeight), want) << width;
    EXPECT_GE(phone.fit(1e300, 1e300).width, 220);  // ends where a point no longer changes the width
    EXPECT_EQ(phone.snapped({400, 688}, {300, 688}, 10000), (MirrorSize{400, 905}));  // width led
    EXPECT_EQ(phone.snapped({300, 900}, {300, 688}, 10000), (MirrorSize{398, 900}));  // height led
    EXPECT_EQ(phone.snapped({330, 760}, {300, 688}, 10000), (MirrorSize{333, 760}));  // 0.100 < 0.105
    EXPECT_EQ(phone.snapped({330, 500}, {300, 500}, 10000).width, 330);               // tie: width leads
    EXPECT_EQ(MirrorGeometry::videoRect({10, 40}), (MirrorRect{6, 58, 0, 0}));
    EXPECT_EQ(MirrorGeometry::videoRect({300, 688}), (MirrorRect{6, 58, 288, 624}));
    EXPECT_FALSE(MirrorGeometry::make(0, 2340) || MirrorGeometry::make(1080, -1));
}

using enum MirrorPhase::Kind;

// Stories of one window: each step drives the machine at a time, and the phase after it is checked.
struct Step {
    const char* what;
    std::function<void(MirrorPhaseMachine&, double)> run;
    double at;
    MirrorPhase want;
};

void play(const std::vector<Step>& steps) {
    MirrorPhaseMachine m;
    for (const Step& s : steps) {
        s.run(m, s.at);
        EXPECT_EQ(m.phase, s.want) << s.what << " at " << s.at;
    }
}

const auto picture = [](MirrorPhaseMachine& m, double) { m.firstPicture(); };
const auto stall = [](MirrorPhaseMachine& m, double t) { m.setStalled(true, t); };
const auto flowing = [](MirrorPhaseMachine& m, double t) { m.setStalled(false, t); };
const auto lost = [](MirrorPhaseMachine& m, double t) { m.connectionLost(t); };
const auto tick = [](MirrorPhaseMachine& m, double t) { m.tick(t); };
const auto restored_ = [](MirrorPhaseMachine& m, double) { m.connectionRestored(); };
const auto stream = [](MirrorPhaseMachine& m, double) { m.streamStarted(); };
const auto approval = [](MirrorPhaseMachine& m, double) { m.showAwaitingApproval(); };
const auto failure = [](MirrorPhaseMachine& m, double) { m.fail("encoder"); };

TEST(MirrorPhaseMachine, Stories) {
    play({{"approval before a picture", approval, 0, awaitingApproval},
          {"stall does not apply", stall, 1, awaitingApproval},
          {"nor its end", flowing, 2, awaitingApproval},
          {"picture", picture, 3, live},
          {"approval after a picture", approval, 4, live},
          {"stall", stall, 10, reconnecting},
          {"a restored connection does not end a stall", restored_, 11, reconnecting},
          {"a picture does not either", picture, 12, reconnecting},
          {"session closes: counted from the stall", lost, 15, reconnecting},
          {"9.9 s", tick, 19.9, reconnecting},
          {"10 s", tick, 20, unresponsive},
          {"loss keeps unresponsive", lost, 21, unresponsive},
          {"back", restored_, 22, restored},
          {"a picture leaves restored alone", picture, 23, restored},
          {"new stream", stream, 24, loading},
          {"approval works again", approval, 25, awaitingApproval}});
    play({{"stall while loading", stall, 0, reconnecting},
          {"data again: no picture yet", flowing, 1, loading},
          {"failure", failure, 2, MirrorPhase::failed("encoder")},
          {"loss from failed", lost, 3, reconnecting}});
    // A failure during a stall ends the stall: the heartbeat's all-clear after mirroring stopped keeps it.
    play({{"picture", picture, 0, live},
          {"stall", stall, 1, reconnecting},
          {"failure", failure, 2, MirrorPhase::failed("encoder")},
          {"all-clear", flowing, 3, MirrorPhase::failed("encoder")},
          {"new stream", stream, 4, loading}});
    EXPECT_NE(MirrorPhase::failed("a"), MirrorPhase::failed("b"));
}

TEST(MirrorHUD, NotifiesOnChangesAndDerivesLinkQuality) {
    MirrorHUD hud;
    EXPECT_EQ(hud.phase(), loading);
    EXPECT_EQ(hud.quality(), MirrorLinkQuality::unknown);
    int heard = 0;
    const int id = hud.subscribe([&] { ++heard; });
    hud.setLatencyMs(151);
    hud.setLatencyMs(151);  // unchanged: silent
    EXPECT_EQ(hud.quality(), MirrorLinkQuality::slow);
    EXPECT_EQ(LinkQuality::classify(150, false), MirrorLinkQuality::good);
    EXPECT_EQ(LinkQuality::classify(-5, false), MirrorLinkQuality::good);
    hud.drive([](auto& m) { m.firstPicture(); });
    hud.drive([](auto& m) { m.firstPicture(); });  // unchanged phase: silent
    hud.drive([](auto& m) { m.fail("x"); });
    hud.setLatencyMs(40);
    EXPECT_EQ(hud.quality(), MirrorLinkQuality::good);  // failed still shows the latency's class
    hud.drive([](auto& m) { m.connectionLost(0); });
    hud.drive([](auto& m) { m.connectionRestored(); });
    EXPECT_EQ(hud.quality(), MirrorLinkQuality::lost);
    hud.setNotice("copiado");
    hud.setControlPaused(true);
    EXPECT_EQ(heard, 8);
    // An observer that removes a later one during a round: the removed one is not called any more.
    hud.unsubscribe(id);
    int second = 0;
    hud.subscribe([&] { hud.unsubscribe(second); });
    second = hud.subscribe([&] { ++heard; });
    hud.setControlPaused(false);
    EXPECT_EQ(heard, 8);
}

}  // namespace
}  // namespace velmora
