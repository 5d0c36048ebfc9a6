// The phone's control messages as the user sees them: the panel's state after "status", "pong", "caps"
// and "error", the phone's control pause of one session, ring, and the link speed test end to end, all
// over loopback against the simulated phone on the model's fake clock.
#include <gtest/gtest.h>

#include <semaphore>

#include "core/l10n/l10n.h"
#include "core/protocol/control_json.h"
#include "support/model_harness.h"
#include "support/session_language.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;
using nlohmann::json;

std::vector<Frame> controls(const std::vector<json>& messages) {
    std::vector<Frame> frames;
    for (const json& m : messages)
        frames.push_back({Ch::control, encodeJSON(m)});
    return frames;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Moves the fake clock while the link stays alive: each heartbeat's ping is answered before the next.
void talk(ModelHarness& h, double seconds) {
    for (; seconds >= AppModel::heartbeatInterval; seconds -= AppModel::heartbeatInterval) {
        const double before = h.exec->now();
        h.advance(AppModel::heartbeatInterval);  // one tick, one ping, within this step
        const auto session = h.model->liveSession();
        ASSERT_TRUE(h.pumpUntil([&] { return session && session->lastRx() > before; }));
    }
    h.advance(seconds);
}

TEST(SessionFeatureStory, StatusPongCapsAndAPhoneErrorReachThePanel) {
    PhoneConfig config;
    config.afterReady = controls({{{"t", "status"}, {"battery", 64}, {"charging", true}},
                                  {{"t", "caps"}, {"appVersion", "3.1.0"}, {"appBuild", 310}},
                                  {{"t", "error"}, {"message", "Sem espaço no celular"}}});
    ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().lastError.has_value(); }));
    EXPECT_EQ(model.state().battery, 64);
    EXPECT_TRUE(model.state().charging);
    EXPECT_EQ(model.state().phoneAppVersion, "3.1.0");
    EXPECT_EQ(model.state().phoneAppBuild, 310);
    EXPECT_EQ(model.state().lastError, "Sem espaço no celular");
    EXPECT_EQ(model.state().panelNotice, (PanelNotice{"Sem espaço no celular", std::nullopt}));
    EXPECT_NE(h.log().find("celular com o Velmora 3.1.0 (build 310); este computador: "), std::string::npos);

    h.advance(AppModel::heartbeatInterval);  // a ping; its pong gives the round trip
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().rttMs.has_value(); }));
    EXPECT_NE(h.log().find("latência (ida e volta) "), std::string::npos);
    h.advance(5.9 - AppModel::heartbeatInterval);
    EXPECT_TRUE(model.state().panelNotice) << "shown for 6 s";
    h.advance(0.1);
    EXPECT_FALSE(model.state().panelNotice);
    EXPECT_EQ(model.state().lastError, "Sem espaço no celular");
}

TEST(SessionFeatureStory, ThePhonesControlPauseBelongsToItsSessionAndAStaleOneIsIgnored) {
    // Each session pauses the control twice as soon as it stands, then tells its version: the version is
    // dispatched after both pauses (one receive thread, main in arrival order), so once the panel shows it
    // nothing of that session's is still on its way.
    PhoneConfig config;
    config.afterReady = controls({{{"t", "input.paused"}},
                                  {{"t", "input.paused"}},
                                  {{"t", "caps"}, {"appVersion", "3.1.0"}, {"appBuild", 310}}});
    ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phoneAppVersion.has_value(); }));
    EXPECT_TRUE(model.state().phoneControlPaused);
    const auto first = model.liveSession();
    first->close();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    EXPECT_FALSE(model.state().phoneControlPaused) << "the pause ended with its session";
    EXPECT_EQ(count(h.log(), "controle: o celular pausou o controle"), 1U);

    h.advanceSettled(AppModel::reconnectDelay + 0.5);
    ASSERT_TRUE(h.pumpUntil([&] {
        return model.liveSession() && model.liveSession() != first && model.state().phoneAppVersion;
    }));
    EXPECT_TRUE(model.state().phoneControlPaused);
    // The old session's word, also once it is gone: a message posted before its end names it by serial.
    model.handleOffer(first->serial(), {"10.9.9.9"}, 40000);
    model.reportsFor(first)->didReceiveControl(*first, {{"t", "input.resumed"}});
    h.exec->runPending();
    EXPECT_TRUE(model.state().phoneControlPaused);
    EXPECT_EQ(h.log().find("liberou"), std::string::npos);
    EXPECT_EQ(h.log().find("net.offer do celular: 10.9.9.9"), std::string::npos);
    const auto second = model.liveSession();
    model.reportsFor(second)->didReceiveControl(*second, {{"t", "input.resumed"}});
    h.exec->runPending();
    EXPECT_FALSE(model.state().phoneControlPaused);
    EXPECT_NE(h.log().find("controle: o celular liberou o controle de novo"), std::string::npos);
}

TEST(SessionFeatureStory, RingBothWaysAndSpeedTestsThatEndTimedOutOrCutShort) {
    const test::SessionLanguage english("en_US.UTF-8");  // the user reads English; the log stays Portuguese
    std::counting_semaphore<> release{0};
    std::atomic<int> benchStarts{0};
    PhoneConfig config;  // answers its first speed test when the test lets it: 16 full chunks, then the end
    config.answer = [&](const json& m) {
        std::vector<json> replies;
        if (m["t"] != "bench.start" || ++benchStarts > 1) return replies;
        if (!release.try_acquire_for(std::chrono::minutes(1))) return replies;
        for (int i = 0; i < 16; ++i)
            replies.push_back({{"t", "bench.chunk"}, {"d", std::string(4096, 'Q')}});
        replies.push_back({{"t", "bench.end"}});
        return replies;
    };
    ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));

    model.toggleRing();
    model.toggleRing();
    EXPECT_FALSE(model.state().ringing);
    EXPECT_NE(h.journal->waitFor("phone {\"on\":true,\"t\":\"ring\"}"), "");
    EXPECT_NE(h.journal->waitFor("phone {\"on\":false,\"t\":\"ring\"}"), "");

    model.runBench();  // at 0 s
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.running"));
    EXPECT_NE(h.journal->waitFor("phone {\"bytes\":2000000,\"t\":\"bench.start\"}"), "");
    model.runBench();  // a run is on: nothing more is asked
    h.advance(1.5);
    release.release();  // 48 KiB arrive in 1.5 s
    ASSERT_TRUE(h.pumpUntil(
        [&] { return model.state().benchText == "32.0 KiB/s (0.25 Mbit/s) over Wi-Fi/cable in 1.500 s"; }));
    EXPECT_NE(
        h.log().find("medição: 32,0 KiB/s (0,25 Mbit/s) via Wi-Fi/cabo em 1,500 s; recebidos 49152 bytes"),
        std::string::npos)
        << h.log();
    EXPECT_EQ(benchStarts.load(), 1);

    talk(h, 8.5);
    model.runBench();  // at 10 s; the phone never answers this one
    ASSERT_TRUE(h.pumpUntil([&] { return benchStarts.load() == 2; }));
    talk(h, 30.5);  // the first run's time-out has passed: it ends nothing
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.running"));
    talk(h, 10);  // 40 s after the second run started
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.unfinished"));

    model.runBench();  // and the link drops under a third: it says so at once, and after the reconnect
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.running"));
    ASSERT_TRUE(h.pumpUntil([&] { return benchStarts.load() == 3; }));
    model.liveSession()->close();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.unfinished"));
    h.advance(AppModel::reconnectDelay);
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    talk(h, SpeedTest::timeout);  // the dropped run's time-out finds nothing to end
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.unfinished"));
    model.runBench();  // a new session measures afresh
    EXPECT_EQ(model.state().benchText, L10n::string("prefs.bench.running"));
}

}  // namespace
}  // namespace velmora
