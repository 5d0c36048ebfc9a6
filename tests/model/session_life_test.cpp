// A standing session: the silence watch, the loss and its notice, the reconnect, the watchdog of a hanging
// handshake and the rest after failures, all on the model's fake clock.
#include <gtest/gtest.h>

#include "core/l10n/l10n.h"
#include "core/protocol/control_json.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;

TEST(SessionLife, APhoneSilentPastItsLinksLimitIsClosedAndReconnectedFourSecondsLater) {
    // Table: link, screen, the heartbeat (every 3 s) that finds the silence past the limit, the limit.
    using Row = std::tuple<std::string, bool, int, int>;
    for (const auto& [kind, screenOff, closesAt, limit] :
         {Row{"tcp", false, 12, 9}, Row{"tcp", true, 21, 20}, Row{"ble", false, 21, 20},
          Row{"ble", true, 48, 45}}) {
        SCOPED_TRACE(kind + (screenOff ? " screen off" : " screen on"));
        PhoneConfig config;
        config.afterReady = {
            {Ch::control, encodeJSON({{"t", "status"}, {"battery", 80}, {"screen", !screenOff}})}};
        ModelHarness h(config);
        h.pairBothSides();
        AppModel& model = h.start();
        if (kind == "ble") {
            // Bluetooth first in the order: the cable below is no upgrade, only the way back.
            model.setLinkPrefs(LinkPrefs::move(model.state().linkPrefs, ConnKind::ble, -3)->prefs);
            model.connect({"Nimbo 7", "ble:AA:BB:CC:DD:EE:FF", std::nullopt, "ble", std::nullopt, false, 10,
                           [t = h.transports] { return t->ble("AA:BB:CC:DD:EE:FF"); }});
        }
        h.plugInCable();  // the USB road, and the way back after the loss
        ASSERT_TRUE(h.pumpUntil([&] { return model.state().battery == 80; }));
        h.phone.setSilent(true);
        for (int t = 3; t < closesAt; t += 3) {
            h.advance(3);
            ASSERT_EQ(model.state().state.kind(), Kind::connected) << t << " s";
        }
        h.advance(3);
        ASSERT_TRUE(h.pumpUntil(Kind::idle));
        EXPECT_EQ(model.state().lastError, L10n::string("err.phone_stopped_responding"));
        EXPECT_NE(h.log().find("sem sinal do celular há " + std::to_string(closesAt) + " s (limite " +
                               std::to_string(limit) + " s via " + kind + "): fechando para reconectar"),
                  std::string::npos);
        h.phone.setSilent(false);
        h.advance(3.9);
        EXPECT_EQ(model.state().state.kind(), Kind::idle);
        h.advance(0.1);
        EXPECT_TRUE(h.pumpUntil(Kind::connected));
    }
}

TEST(SessionLife, APhoneThatStaysAwayIsNotedLostAfterFortyFiveSecondsOnce) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    h.hangUp();  // the phone hangs up and refuses from now on
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    h.advanceSettled(44.9);
    EXPECT_FALSE(model.state().phoneLost);
    h.advanceSettled(0.2);
    EXPECT_TRUE(model.state().phoneLost);
    h.advanceSettled(60);
    EXPECT_EQ(h.journal->count("notices.show " + L10n::string("notif.lost.title")), 1);
}

TEST(SessionLife, AHandshakeWithoutAnswerIsCutAfterTwentySeconds) {
    PhoneConfig config;
    config.faults[PhoneStep::auth].stall = [] {};
    ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    h.advance(20);
    EXPECT_EQ(model.state().state.kind(), Kind::connecting);
    h.advance(2);
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    EXPECT_NE(h.log().find("handshake sem resposta há mais de 20 s: fechando"), std::string::npos);
}

TEST(SessionLife, FailuresRestLongerEachTimeAndThePlanRunsAgainWhenTheRestEnds) {
    ModelHarness h;
    h.pairBothSides();
    h.hangUp();  // every attempt is refused
    AppModel& model = h.start();
    const auto attempts = [&] { return h.journal->count("tcp 127.0.0.1:40001"); };
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().lastError.has_value(); }));
    h.advanceSettled(3.9);
    EXPECT_EQ(attempts(), 1);
    h.advanceSettled(0.1);  // the reconnect after 4 s finds the rest just over
    EXPECT_EQ(attempts(), 2);
    h.advanceSettled(8.2);
    EXPECT_EQ(attempts(), 2);
    h.advanceSettled(0.1);  // the second rest (8 s) and 0.3 s
    EXPECT_EQ(attempts(), 3);
    EXPECT_NE(h.log().find("candidato usb:R58N123 em espera por 8 s (falhas seguidas: 2)"),
              std::string::npos);
}

}  // namespace
}  // namespace velmora
