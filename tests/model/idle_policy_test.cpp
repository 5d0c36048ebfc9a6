#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/model/handshake_watch.h"
#include "app/model/idle_policy.h"
#include "app/model/session_swap.h"

namespace velmora {
namespace {

using IdlePolicy::Decision;
using IdlePolicy::DescendInputs;
using IdlePolicy::Stay;

// Every condition in favour of a descent; each row spoils some of them.
DescendInputs favourable() {
    DescendInputs in;
    in.tcpSession = true;
    in.cable = false;
    in.phoneReportsScreen = true;
    in.phoneScreenOffFor = 90;
    in.bluetoothAllowed = true;
    in.bluetoothReady = true;
    return in;
}

TEST(IdlePolicy, TheFirstRuleThatHoldsDecides) {
    struct Row {
        const char* name;
        std::function<void(DescendInputs&)> spoil;
        Decision expected;
    };
    const Row rows[] = {
        {"everything favourable", [](auto&) {}, Decision::descend()},
        {"not TCP, whatever else",
         [](auto& in) {
             in.tcpSession = false;
             in.cable = true;
             in.phoneReportsScreen = false;
         },
         Decision::staying(Stay::notTcp)},
        {"a cable with the screen off for 10 minutes",
         [](auto& in) {
             in.cable = true;
             in.phoneScreenOffFor = 600;
             in.phoneReportsScreen = false;
         },
         Decision::staying(Stay::cable)},
        {"an old phone that never reports its screen",
         [](auto& in) {
             in.phoneReportsScreen = false;
             in.phoneScreenOffFor.reset();
         },
         Decision::staying(Stay::oldPhone)},
        {"screen on while mirroring: the screen rule comes first",
         [](auto& in) {
             in.phoneScreenOffFor.reset();
             in.mirroring = true;
         },
         Decision::staying(Stay::screenOn)},
        {"the phone asks for the fast link", [](auto& in) { in.phoneFast = true; },
         Decision::staying(Stay::fastActivity)},
        {"mirroring", [](auto& in) { in.mirroring = true; }, Decision::staying(Stay::fastActivity)},
        {"transferring, and busy too",
         [](auto& in) {
             in.transferring = true;
             in.busy = true;
         },
         Decision::staying(Stay::fastActivity)},
        {"busy, screen off only briefly",
         [](auto& in) {
             in.busy = true;
             in.phoneScreenOffFor = 1;
         },
         Decision::staying(Stay::busy)},
        {"off for 59.9 s with Bluetooth switched off",
         [](auto& in) {
             in.phoneScreenOffFor = 59.9;
             in.bluetoothAllowed = false;
         },
         Decision::staying(Stay::notIdleLongEnough)},
        {"off for exactly 60 s with Bluetooth switched off",
         [](auto& in) {
             in.phoneScreenOffFor = 60;
             in.bluetoothAllowed = false;
         },
         Decision::staying(Stay::bluetoothOff)},
        {"off for exactly 60 s", [](auto& in) { in.phoneScreenOffFor = 60; }, Decision::descend()},
        {"Bluetooth allowed but not ready, and a recent failure",
         [](auto& in) {
             in.bluetoothReady = false;
             in.cooldown = true;
         },
         Decision::staying(Stay::bluetoothUnavailable)},
        {"a recent failed descent", [](auto& in) { in.cooldown = true; }, Decision::staying(Stay::cooldown)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DescendInputs in = favourable();
        row.spoil(in);
        Decision got = IdlePolicy::descend(in);
        EXPECT_EQ(got, row.expected) << (got.stay ? IdlePolicy::rawValue(*got.stay) : "descend");
    }
}

TEST(IdlePolicy, ReasonTextsMapBackToTheirReasonAndNothingElseDoes) {
    for (Stay reason :
         {Stay::notTcp, Stay::cable, Stay::oldPhone, Stay::screenOn, Stay::notIdleLongEnough,
          Stay::fastActivity, Stay::busy, Stay::bluetoothOff, Stay::bluetoothUnavailable, Stay::cooldown}) {
        EXPECT_EQ(IdlePolicy::stayFromRaw(IdlePolicy::rawValue(reason)), reason)
            << IdlePolicy::rawValue(reason);
    }
    EXPECT_EQ(IdlePolicy::stayFromRaw("tela do celular acesa"), Stay::screenOn);
    for (const char* other : {"", "tela do celular acesa ", "Tela do celular acesa", "descend"}) {
        EXPECT_FALSE(IdlePolicy::stayFromRaw(other)) << other;
    }
}

TEST(IdlePolicy, PingIntervalAndSilenceLimitByLinkAndScreen) {
    struct Row {
        bool bluetooth, screenOff;
        double ping, silence;
    };
    const Row rows[] = {
        {false, false, 3, 9},
        {false, true, 3, 20},
        {true, false, 3, 20},
        {true, true, 15, 45},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.bluetooth ? "ble" : "tcp") + (r.screenOff ? " off" : " on"));
        EXPECT_EQ(IdlePolicy::pingInterval(r.bluetooth, r.screenOff), r.ping);
        EXPECT_EQ(IdlePolicy::silenceLimit(r.bluetooth, r.screenOff), r.silence);
    }
}

TEST(IdlePolicy, WirelessAdbSerialsAreNotCables) {
    const std::pair<const char*, bool> rows[] = {
        {"R58N123ABCD", false},
        {"", false},
        {"adb-R58N123-AbCdEf._adb-tls-connect._tcp", true},
        {"adb-R58N123-AbCdEf._adb._tcp", true},
        {"192.168.1.20:5555", true},
        {"_adb-tls-connect", false},  // the marker needs its dots
    };
    for (const auto& [serial, wireless] : rows)
        EXPECT_EQ(IdlePolicy::isWirelessAdb(serial), wireless) << serial;
}

TEST(SessionSwap, StaleBeforeBusyBeforeCommit) {
    using SessionSwap::Verdict;
    struct Row {
        bool oldStillCurrent, mirroring, transferring;
        Verdict verdict;
    };
    const Row rows[] = {
        {false, true, true, Verdict::discardStale}, {false, false, false, Verdict::discardStale},
        {true, true, false, Verdict::discardBusy},  {true, false, true, Verdict::discardBusy},
        {true, false, false, Verdict::commit},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SessionSwap::verdict(r.oldStillCurrent, r.mirroring, r.transferring), r.verdict)
            << r.oldStillCurrent << r.mirroring << r.transferring;
    }
}

TEST(HandshakeWatch, ClosesOnlyPastTheLimitSinceTheLaterOfStartAndLastPrompt) {
    constexpr double now = 1000;
    struct Row {
        const char* name;
        double startedAt;
        std::optional<double> pairingEndedAt;
        bool prompted;
        bool close;
    };
    const Row rows[] = {
        {"30 s in, prompt ended 5 s ago", now - 30, now - 5, false, false},
        {"30 s in, prompt showing", now - 30, std::nullopt, true, false},
        {"exactly 20 s in", now - 20, std::nullopt, false, false},
        {"20.001 s in", now - 20.001, std::nullopt, false, true},
        {"prompt ended exactly 20 s ago", now - 60, now - 20, false, false},
        {"prompt ended 21 s ago", now - 60, now - 21, false, true},
        {"a prompt end before the start does not count", now - 30, now - 40, false, true},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(HandshakeWatch::shouldClose(now, r.startedAt, r.pairingEndedAt, r.prompted,
                                              HandshakeWatch::limit),
                  r.close)
            << r.name;
    }
}

}  // namespace
}  // namespace velmora
