#include <gtest/gtest.h>

#include <functional>

#include "app/model/ble_freshness.h"
#include "app/model/handshake_watch.h"
#include "app/model/idle_policy.h"

namespace velmora {
namespace {

using IdlePolicy::Stay;

// The reason to stay, or "descend", when every condition favours a descent (the screen off for exactly
// 60 s) except those `spoil` changes.
std::string_view decide(const std::function<void(IdlePolicy::DescendInputs&)>& spoil) {
    IdlePolicy::DescendInputs in;
    in.tcpSession = in.phoneReportsScreen = in.bluetoothAllowed = in.bluetoothReady = true;
    in.phoneScreenOffFor = 60;
    spoil(in);
    const auto decision = IdlePolicy::descend(in);
    return decision.stay ? IdlePolicy::rawValue(*decision.stay) : "descend";
}

TEST(IdlePolicy, TheFirstRuleThatHoldsDecides) {
    using IdlePolicy::rawValue;
    EXPECT_EQ(decide([](auto&) {}), "descend");
    EXPECT_EQ(decide([](auto& in) { in.tcpSession = false, in.cable = true; }), rawValue(Stay::notTcp));
    EXPECT_EQ(decide([](auto& in) { in.cable = true, in.phoneReportsScreen = false; }),
              rawValue(Stay::cable));
    EXPECT_EQ(decide([](auto& in) { in.phoneReportsScreen = false, in.phoneScreenOffFor.reset(); }),
              rawValue(Stay::oldPhone));
    EXPECT_EQ(decide([](auto& in) { in.phoneScreenOffFor.reset(), in.mirroring = true; }),
              rawValue(Stay::screenOn));
    EXPECT_EQ(decide([](auto& in) { in.transferring = true, in.busy = true; }), rawValue(Stay::fastActivity));
    EXPECT_EQ(decide([](auto& in) { in.busy = true, in.phoneScreenOffFor = 1; }), rawValue(Stay::busy));
    EXPECT_EQ(decide([](auto& in) { in.phoneScreenOffFor = 59.9, in.bluetoothAllowed = false; }),
              rawValue(Stay::notIdleLongEnough));
    EXPECT_EQ(decide([](auto& in) { in.bluetoothAllowed = false; }), rawValue(Stay::bluetoothOff));
    EXPECT_EQ(decide([](auto& in) { in.bluetoothReady = false, in.cooldown = true; }),
              rawValue(Stay::bluetoothUnavailable));
    EXPECT_EQ(decide([](auto& in) { in.cooldown = true; }), rawValue(Stay::cooldown));
}

TEST(HandshakeWatch, ClosesOnlyPastTheLimitSinceTheLaterOfStartAndLastPrompt) {
    constexpr double now = 1000;
    const std::tuple<const char*, double, std::optional<double>, bool, bool> rows[] = {
        {"30 s in, prompt showing", now - 30, std::nullopt, true, false},
        {"exactly 20 s in", now - 20, std::nullopt, false, false},
        {"20.001 s in", now - 20.001, std::nullopt, false, true},
        {"prompt ended exactly 20 s ago", now - 60, now - 20, false, false},
        {"prompt ended 20.001 s ago", now - 60, now - 20.001, false, true},
        {"a prompt end before the start does not count", now - 30, now - 40, false, true},
    };
    for (const auto& [name, startedAt, pairingEndedAt, prompted, close] : rows)
        EXPECT_EQ(
            HandshakeWatch::shouldClose(now, startedAt, pairingEndedAt, prompted, HandshakeWatch::limit),
            close)
            << name;
}

TEST(BleFreshness, SightingsFromBeforeADropInTheLastMinuteAreHidden) {
    constexpr double t = 500;
    BleFreshness fresh;
    fresh.noteDisconnect("A", t - 100);
    fresh.noteDisconnect("A", t);                  // a later drop replaces the earlier one
    EXPECT_FALSE(fresh.isUsable("A", t, t + 30));  // seen at the very moment of the drop: not after it
    EXPECT_TRUE(fresh.isUsable("A", t + 0.001, t + 1));
    EXPECT_FALSE(fresh.isUsable("A", t - 1, t + 60));  // exactly 60 s: the drop still counts
    EXPECT_TRUE(fresh.isUsable("A", t - 1, t + 60.001));
    EXPECT_TRUE(fresh.isUsable("B", t - 100, t));  // never dropped
    fresh.noteDisconnect("C", t + 10);
    fresh.prune(t + 60);
    EXPECT_EQ(fresh.droppedAt.size(), 2u);
    fresh.prune(t + 60.001);
    EXPECT_EQ(fresh.droppedAt.size(), 1u);
    EXPECT_TRUE(fresh.droppedAt.contains("C"));
}

}  // namespace
}  // namespace velmora
