// Mirroring control over loopback against the simulated phone, with the window and sound as fakes: what
// the phone is asked, what its answers do, closing, errors, a lost session and the settings.
#include <gtest/gtest.h>

#include "core/l10n/l10n.h"
#include "support/fake_mirror.h"

namespace velmora {
namespace {

using nlohmann::json;
using Replies = std::vector<json>;

const json kStarted =
    json::parse(R"({"t":"mirror.started","width":1080,"height":2400,"audio":{"rate":48000,"channels":2}})");

// The phone answers each message type with its list, in order.
PhoneConfig answering(std::map<std::string, Replies> replies) {
    PhoneConfig config;
    config.answer = [replies](const json& m) {
        return replies.contains(m.value("t", "")) ? replies.at(m.value("t", "")) : Replies{};
    };
    return config;
}

struct Rig {
    explicit Rig(PhoneConfig config = {}) : h(std::move(config)) {
        test::connectWithMirror(h, screens, sound);
        EXPECT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
    AppModel& model() { return *h.model; }
    // The fakes' calls and the phone's "mirror.*" messages, in the order the journal got them.
    std::vector<std::string> seen() const {
        std::vector<std::string> out;
        for (const std::string& e : h.journal->all()) {
            const bool phone = e.starts_with("phone {") && e.find("\"t\":\"mirror.") != e.npos;
            if (phone || e.starts_with("screen.") || e.starts_with("sound.")) out.push_back(e);
        }
        return out;
    }
    int count(const std::string& entry) const { return static_cast<int>(std::ranges::count(seen(), entry)); }
    bool until(const std::string& entry) {
        return h.pumpUntil([&] { return count(entry) > 0; });
    }
    // Everything sent before this has reached the phone: the send queue keeps its order.
    bool drained() {
        const std::string ring = "phone " + json{{"on", !model().state().ringing}, {"t", "ring"}}.dump();
        const int before = h.journal->count(ring);
        model().toggleRing();
        return h.pumpUntil([&] { return h.journal->count(ring) > before; });
    }
    test::ModelHarness h;
    std::shared_ptr<test::FakeMirrorScreens> screens = std::make_shared<test::FakeMirrorScreens>(h.journal);
    std::shared_ptr<test::FakeMirrorSound> sound = std::make_shared<test::FakeMirrorSound>(h.journal);
};

// Start, picture and sound, then the user closes the window: one stop with the user's "keep", sound off.
TEST(MirrorControlStory, AFullRunEndsWithOneStopWhenTheUserClosesTheWindow) {
    PhoneConfig config = answering({{"mirror.start", {kStarted}}});
    config.stream = [](const json& m) {  // once the window asked for its key frame
        return m.value("t", "") != "mirror.keyframe"
                   ? std::vector<Frame>{}
                   : std::vector<Frame>{{Ch::video, Bytes(40, 1)}, {Ch::audio, Bytes(72, 0)}};
    };
    Rig r(config);
    r.model().setKeepCapture(false);
    r.model().startMirror();
    EXPECT_TRUE(r.model().state().mirroring);
    auto screen = std::shared_ptr<test::FakeMirrorScreen>();
    ASSERT_TRUE(r.h.pumpUntil([&] {
        screen = r.screens->last.lock();
        return r.sound->packets == 1 && screen && screen->videoIn->packets == 1;
    }));
    EXPECT_EQ(
        r.seen(),
        (std::vector<std::string>{
            R"(phone {"audio":true,"bitrate":8000000,"fps":60,"maxSize":1600,"muteDevice":true,"t":"mirror.start"})",
            "sound.start 48000 2", "screen.open Celular Simulado", "screen.restored", "screen.size 1080x2400",
            "screen.present", R"(phone {"t":"mirror.keyframe"})"}))
        << "titled with the connected phone's name; no capture hint on this desktop";
    EXPECT_TRUE(!r.h.settings->value("mirrorShareHintShown") && !r.model().state().mirrorCaptureSupported &&
                r.model().state().mirrorCaptureNote == L10n::string("mirror.capture.unsupported"));

    screen->close(), screen.reset();  // the user's close box
    ASSERT_TRUE(r.drained());
    EXPECT_TRUE(r.count(R"(phone {"keep":false,"t":"mirror.stop"})") == 1 && r.count("sound.stop") == 1);
    EXPECT_FALSE(r.model().state().mirroring);
    EXPECT_TRUE(r.screens->last.expired()) << "the model let go of the closed window";
}

// The phone starts twice (same window, new size, new key frame request), then stops on its own.
TEST(MirrorControlStory, ThePhonesStopClosesTheWindowAndSendsNothingBack) {
    const json smaller = {{"t", "mirror.started"}, {"width", 720}, {"height", 1600}};
    Rig r(answering({{"mirror.start", {kStarted, smaller, {{"t", "mirror.stopped"}}}}}));
    r.model().startMirror();
    ASSERT_TRUE(r.until("screen.close"));
    ASSERT_TRUE(r.drained());
    EXPECT_TRUE(r.count("screen.open Celular Simulado") == 1 && r.count("screen.size 720x1600") == 1 &&
                r.count(R"(phone {"t":"mirror.keyframe"})") == 2 && !r.model().state().mirroring);
    EXPECT_EQ(r.count("sound.stop"), 2) << "the second start has no sound; the stop stops it again";
    EXPECT_EQ(r.count(R"(phone {"keep":true,"t":"mirror.stop"})"), 0);
}

// Missing sound is a notice, a pending permission waits on screen, any other error fails the window and
// stops the sound that the phone may still be sending; closing the failed window asks nothing more.
TEST(MirrorControlStory, ErrorsShowAsNoticeApprovalOrFailureAndAFailureStopsTheSound) {
    Rig r(answering({{"mirror.start", {kStarted}},
                     {"mirror.keyframe",
                      {{{"t", "mirror.error"}, {"code", "audio_unavailable"}, {"message", "Sem som"}},
                       {{"t", "mirror.error"}, {"code", "permission_pending"}},
                       {{"t", "mirror.error"}, {"code", "encoder_crashed"}, {"message", "Falhou"}}}}}));
    r.model().startMirror();
    ASSERT_TRUE(r.until("sound.start 48000 2"));
    ASSERT_TRUE(r.h.pumpUntil([&] { return !r.model().state().mirroring; }));
    const auto steps = r.seen();
    const std::vector<std::string> tail(steps.end() - 5, steps.end());
    EXPECT_TRUE(tail[0].starts_with("screen.notice ") && tail[0].ends_with(" 6")) << tail[0];
    EXPECT_EQ(std::vector(tail.begin() + 1, tail.begin() + 4),
              (std::vector<std::string>{"screen.awaiting", "screen.present", "sound.stop"}));
    EXPECT_EQ("screen.fail " + r.model().state().lastError.value_or("?"), tail[4]);

    r.screens->last.lock()->close();
    ASSERT_TRUE(r.drained());
    EXPECT_EQ(r.count(R"(phone {"keep":true,"t":"mirror.stop"})"), 0);
}

// Table: a phone that never answers "mirror.start" leaves the run shown as started for 30 s, then it fails
// with its text; a phone that started in time is left alone past the bound.
TEST(MirrorControlStory, AStartThePhoneNeverAnswersFailsAfterThirtySeconds) {
    for (const bool answers : {false, true}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        Rig r(answers ? answering({{"mirror.start", {kStarted}}}) : PhoneConfig{});
        r.model().startMirror();
        if (answers) {
            ASSERT_TRUE(r.until("screen.present"));
        }
        const auto alive = [&](double seconds) {  // the phone answers each heartbeat's ping meanwhile
            for (; seconds > 1e-9; seconds -= AppModel::heartbeatInterval) {
                const double before = r.h.exec->now();
                r.h.advance(std::min(seconds, AppModel::heartbeatInterval));
                const auto session = r.model().liveSession();
                if (seconds >= AppModel::heartbeatInterval) {
                    ASSERT_TRUE(r.h.pumpUntil([&] { return session && session->lastRx() > before; }));
                }
            }
        };
        alive(29.9);
        EXPECT_TRUE(r.model().state().mirroring);
        EXPECT_FALSE(r.model().state().lastError);
        alive(0.2);
        EXPECT_EQ(r.model().state().mirroring, answers);
        EXPECT_EQ(r.model().state().lastError,
                  answers ? std::nullopt : std::optional(L10n::string("mirror.no_answer")));
        EXPECT_EQ(
            r.h.log().find("espelhamento: o celular não respondeu ao pedido em 30 s") != std::string::npos,
            !answers);
        EXPECT_EQ(r.model().state().state.kind(), ConnState::Kind::connected) << "only the run failed";
    }
}

// A stop right after the start follows it to the phone; the phone's late "permission pending" opens nothing.
TEST(MirrorControlStory, AQuickStopFollowsItsStartAndALateApprovalOpensNoWindow) {
    Rig r(answering({{"mirror.stop", {{{"t", "mirror.error"}, {"code", "permission_pending"}}}}}));
    r.model().startMirror();
    r.model().stopMirror();
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.model().state().lastError.has_value(); }));
    auto steps = r.seen();
    std::erase_if(steps, [](const std::string& s) { return !s.starts_with("phone "); });
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_TRUE(steps[0].find("\"mirror.start\"") != std::string::npos &&
                steps[1] == R"(phone {"keep":true,"t":"mirror.stop"})");
    EXPECT_EQ(r.h.journal->count("screen.open"), 0);
}

// The settings persist and sound is dropped while off; then a lost session leaves the window waiting.
TEST(MirrorControlStory, SettingsPersistAndALostSessionLeavesTheWindowWaitingUntilTheLinkIsBack) {
    Rig r(answering({{"mirror.start", {kStarted}}}));
    r.model().setPlayAudio(false), r.model().setMuteDevice(false), r.model().setAllowMirrorCapture(true);
    r.model().mirrorAudio(Bytes(20, 0));
    r.model().setPlayAudio(true);  // without a stream that has sound nothing starts
    r.model().mirrorAudio(Bytes(20, 0));
    EXPECT_TRUE(r.sound->packets == 1 && r.count("sound.start 48000 2") == 0) << r.sound->packets;
    r.model().startMirror();
    ASSERT_TRUE(r.until("screen.present"));
    r.model().liveSession()->close();
    ASSERT_TRUE(r.until("screen.lost") && !r.model().state().mirroring);
    r.h.advanceSettled(AppModel::reconnectDelay + 1);
    ASSERT_TRUE(r.h.pumpUntil(ConnState::Kind::connected));
    EXPECT_EQ(r.count("screen.restored"), 2) << "once when opened, once when the link came back";
    const auto again = AppModel::create(r.h.ports(), true);
    EXPECT_TRUE(again->state().playAudio && !again->state().muteDevice && again->state().allowMirrorCapture);
}

}  // namespace
}  // namespace velmora
