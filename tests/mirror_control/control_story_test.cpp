// Mirroring control as the user lives it, over loopback against the simulated phone: the start the phone
// is asked for, its answers, the window and the sound the model drives (fakes), closing, errors, a lost
// session and the settings.
#include <gtest/gtest.h>

#include "app/model/features/mirroring/mirror_requests.h"
#include "core/l10n/l10n.h"
#include "core/protocol/control_json.h"
#include "support/fake_mirror.h"

namespace velmora {
namespace {

using nlohmann::json;
using test::Journal;
using test::ModelHarness;

const json kStarted = {{"t", "mirror.started"}, {"width", 1080}, {"height", 2400},
                       {"audio", {{"rate", 48000}, {"channels", 2}}}};

// What the journal holds of the phone's side (its control messages, by type) and of the fakes, in order.
std::vector<std::string> seen(const Journal& journal) {
    std::vector<std::string> out;
    for (const std::string& e : journal.all()) {
        if (e.starts_with("screen.") || e.starts_with("sound.")) out.push_back(e);
        if (!e.starts_with("phone ")) continue;
        const json m = json::parse(e.substr(6));
        const std::string t = m.value("t", "");
        if (t.starts_with("mirror.")) out.push_back(e.substr(6));
    }
    return out;
}
int countOf(const Journal& journal, const std::string& entry) {
    const auto all = seen(journal);
    return static_cast<int>(std::ranges::count(all, entry));
}

struct Rig {
    explicit Rig(PhoneConfig config = {}) : h(std::move(config)) {
        h.pairBothSides();
        ModelPorts ports = h.ports();
        ports.mirrorScreens = screens;
        ports.mirrorSound = sound;
        h.model = AppModel::create(ports, false);
        h.exec->runPending();
        h.plugInCable();
        EXPECT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
    AppModel& model() { return *h.model; }
    bool until(const std::string& entry, int times = 1) {
        return h.pumpUntil([&] { return countOf(*h.journal, entry) >= times; });
    }
    // Everything sent before this has reached the phone (the send queue keeps its order).
    bool drained() {
        const std::string ring = "phone " + json{{"on", !h.model->state().ringing}, {"t", "ring"}}.dump();
        const int rings = h.journal->count(ring);
        h.model->toggleRing();
        return h.pumpUntil([&] { return h.journal->count(ring) > rings; });
    }
    ModelHarness h;
    std::shared_ptr<test::FakeMirrorScreens> screens = std::make_shared<test::FakeMirrorScreens>(h.journal);
    std::shared_ptr<test::FakeMirrorSound> sound = std::make_shared<test::FakeMirrorSound>(h.journal);
};

TEST(MirrorRequests, StartProfilesFollowTheLinkAndTheSoundSettings) {
    struct Case {
        const char* link;
        bool play, mute;
        json expected;
    } cases[] = {
        {"ble", true, true, {{"maxSize", 1024}, {"fps", 1}, {"bitrate", 90000}, {"audio", false}, {"muteDevice", false}}},
        {"tcp", true, true, {{"maxSize", 1600}, {"fps", 60}, {"bitrate", 8000000}, {"audio", true}, {"muteDevice", true}}},
        {"tcp", true, false, {{"maxSize", 1600}, {"fps", 60}, {"bitrate", 8000000}, {"audio", true}, {"muteDevice", false}}},
        {"tcp", false, true, {{"maxSize", 1600}, {"fps", 60}, {"bitrate", 8000000}, {"audio", false}, {"muteDevice", false}}},
    };
    for (const Case& c : cases) {
        json expected = c.expected;
        expected["t"] = "mirror.start";
        EXPECT_EQ(MirrorRequests::start(c.link, c.play, c.mute), expected) << c.link << c.play << c.mute;
    }
}

// Start, picture, sound, then the user closes the window: one stop with the user's "keep", sound off.
TEST(MirrorControlStory, AFullRunEndsWithOneStopWhenTheUserClosesTheWindow) {
    PhoneConfig config;
    config.answer = [](const json& m) {
        return m.value("t", "") == "mirror.start" ? std::vector<json>{kStarted} : std::vector<json>{};
    };
    config.stream = [](const json& m) {  // once the window asked for its key frame
        if (m.value("t", "") != "mirror.keyframe") return std::vector<Frame>{};
        return std::vector<Frame>{{Ch::video, Bytes(40, 1)}, {Ch::audio, Bytes(72, 0)}};
    };
    Rig r(config);
    r.model().setKeepCapture(false);
    r.model().startMirror();
    EXPECT_TRUE(r.model().state().mirroring);
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.sound->packets == 1; }));
    auto screen = r.screens->last.lock();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(r.h.pumpUntil([&] { return screen->videoIn->packets == 1; }));
    const auto steps = seen(*r.h.journal);
    EXPECT_EQ(std::vector<std::string>(steps.begin(), steps.begin() + std::min<std::size_t>(steps.size(), 7)),
              (std::vector<std::string>{
                  R"({"audio":true,"bitrate":8000000,"fps":60,"maxSize":1600,"muteDevice":true,"t":"mirror.start"})",
                  "sound.start 48000 2", "screen.open Celular Simulado", "screen.restored", "screen.size 1080x2400",
                  "screen.present", R"({"t":"mirror.keyframe"})"}))
        << "the title is the connected phone's; there is no capture hint here";
    EXPECT_EQ(r.h.settings->value("mirrorShareHintShown"), std::nullopt);
    EXPECT_FALSE(r.model().state().mirrorCaptureSupported);
    EXPECT_EQ(r.model().state().mirrorCaptureNote, L10n::string("mirror.capture.unsupported"));

    screen->close();  // the user's close box
    screen.reset();
    ASSERT_TRUE(r.drained());
    EXPECT_EQ(countOf(*r.h.journal, R"({"keep":false,"t":"mirror.stop"})"), 1);
    EXPECT_FALSE(r.model().state().mirroring);
    EXPECT_EQ(countOf(*r.h.journal, "sound.stop"), 1);
    EXPECT_TRUE(r.screens->last.expired()) << "the model let go of the closed window";
}

// The phone starts twice (same window, new size, new key frame request), then stops on its own.
TEST(MirrorControlStory, ThePhonesStopClosesTheWindowAndSendsNothingBack) {
    PhoneConfig config;
    auto keyframes = std::make_shared<std::atomic<int>>(0);
    config.answer = [keyframes](const json& m) {
        const std::string t = m.value("t", "");
        if (t == "mirror.start") return std::vector<json>{kStarted};
        if (t != "mirror.keyframe") return std::vector<json>{};
        if (++*keyframes == 1) return std::vector<json>{{{"t", "mirror.started"}, {"width", 720}, {"height", 1600}}};
        return std::vector<json>{{{"t", "mirror.stopped"}}};
    };
    Rig r(config);
    r.model().startMirror();
    ASSERT_TRUE(r.until("screen.close"));
    ASSERT_TRUE(r.drained());
    const auto steps = seen(*r.h.journal);
    EXPECT_EQ(std::ranges::count_if(steps, [](auto& s) { return s.starts_with("screen.open"); }), 1);
    EXPECT_EQ(countOf(*r.h.journal, "screen.size 720x1600"), 1);
    EXPECT_EQ(countOf(*r.h.journal, "sound.stop"), 2) << "the second start has no sound; the stop stops it";
    EXPECT_EQ(countOf(*r.h.journal, R"({"t":"mirror.keyframe"})"), 2);
    EXPECT_EQ(std::ranges::count_if(steps, [](auto& s) { return s.find("mirror.stop\"") != std::string::npos; }), 0);
    EXPECT_FALSE(r.model().state().mirroring);
}

// The phone's errors: missing sound is a notice, a pending permission waits on screen, any other error
// fails the window and stops the sound that the phone may still be sending.
TEST(MirrorControlStory, ErrorsShowAsNoticeApprovalOrFailureAndAFailureStopsTheSound) {
    PhoneConfig config;
    config.answer = [](const json& m) {
        const std::string t = m.value("t", "");
        if (t == "mirror.start") return std::vector<json>{kStarted};
        if (t != "mirror.keyframe") return std::vector<json>{};
        return std::vector<json>{{{"t", "mirror.error"}, {"code", "audio_unavailable"}, {"message", "Sem som"}},
                                 {{"t", "mirror.error"}, {"code", "permission_pending"}, {"message", "Aguarde"}},
                                 {{"t", "mirror.error"}, {"code", "encoder_crashed"}, {"message", "Falhou"}}};
    };
    Rig r(config);
    r.model().startMirror();
    ASSERT_TRUE(r.h.pumpUntil([&] { return !r.model().state().mirroring; }));
    auto steps = seen(*r.h.journal);
    const auto from = std::ranges::find(steps, R"({"t":"mirror.keyframe"})");
    ASSERT_NE(from, steps.end());
    const std::vector<std::string> after(from + 1, steps.end());
    ASSERT_EQ(after.size(), 5u);
    EXPECT_TRUE(after[0].starts_with("screen.notice ") && after[0].ends_with(" 6")) << after[0];
    EXPECT_EQ(after[1], "screen.awaiting");
    EXPECT_EQ(after[2], "screen.present");
    EXPECT_EQ(after[3], "sound.stop");
    EXPECT_TRUE(after[4].starts_with("screen.fail ")) << after[4];
    EXPECT_EQ(r.model().state().lastError, after[4].substr(12));

    r.screens->last.lock()->close();  // closing the failed window asks nothing more of the phone
    ASSERT_TRUE(r.drained());
    EXPECT_EQ(r.h.journal->count("phone " + json{{"keep", true}, {"t", "mirror.stop"}}.dump()), 0);
}

TEST(MirrorControlStory, APendingPermissionAfterTheUserStoppedOpensNoWindow) {
    PhoneConfig config;
    config.answer = [](const json& m) {
        if (m.value("t", "") != "mirror.stop") return std::vector<json>{};
        return std::vector<json>{{{"t", "mirror.error"}, {"code", "permission_pending"}}};
    };
    Rig r(config);
    r.model().startMirror();
    r.model().stopMirror();  // at once: the start still travels, and must not overtake this stop
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.model().state().lastError.has_value(); }));
    auto steps = seen(*r.h.journal);
    std::erase_if(steps, [](const std::string& s) { return !s.starts_with("{"); });  // the phone's only
    ASSERT_GE(steps.size(), 2u);
    EXPECT_TRUE(steps[0].find("\"mirror.start\"") != std::string::npos) << steps[0];
    EXPECT_EQ(steps[1], R"({"keep":true,"t":"mirror.stop"})");
    EXPECT_EQ(r.h.journal->count("screen.open"), 0);
}

// A lost session keeps the window waiting; the reconnect restores it.
TEST(MirrorControlStory, ALostSessionLeavesTheWindowWaitingUntilTheLinkIsBack) {
    PhoneConfig config;
    config.answer = [](const json& m) {
        return m.value("t", "") == "mirror.start" ? std::vector<json>{kStarted} : std::vector<json>{};
    };
    Rig r(config);
    r.model().startMirror();
    ASSERT_TRUE(r.until("screen.present"));
    const int restored = countOf(*r.h.journal, "screen.restored");
    r.model().liveSession()->close();
    ASSERT_TRUE(r.until("screen.lost"));
    EXPECT_FALSE(r.model().state().mirroring);
    r.h.advanceSettled(AppModel::reconnectDelay + 1);
    ASSERT_TRUE(r.h.pumpUntil(ConnState::Kind::connected));
    EXPECT_EQ(countOf(*r.h.journal, "screen.restored"), restored + 1);
}

TEST(MirrorControlStory, SettingsPersistAndSoundIsDroppedWhileOff) {
    Rig r;
    r.model().setPlayAudio(false);
    r.model().setMuteDevice(false);
    r.model().setKeepCapture(false);
    r.model().setAllowMirrorCapture(true);
    for (const char* key : {"playAudio", "muteDevice", "keepCapture"})
        EXPECT_EQ(r.h.settings->boolean(key), false) << key;
    EXPECT_EQ(r.h.settings->boolean("allowMirrorCapture"), true);
    r.model().mirrorAudio(Bytes(20, 0));
    r.model().mirrorVideo(Bytes(20, 0));  // no window: dropped
    EXPECT_EQ(r.sound->packets, 0);
    r.model().setPlayAudio(true);  // no stream with sound: nothing starts
    EXPECT_EQ(r.h.journal->count("sound.start 48000 2"), 0);
    r.model().mirrorAudio(Bytes(20, 0));
    EXPECT_EQ(r.sound->packets, 1);

    const auto again = AppModel::create(r.h.ports(), true);
    EXPECT_FALSE(again->state().muteDevice);
    EXPECT_FALSE(again->state().keepCapture);
    EXPECT_TRUE(again->state().allowMirrorCapture);
}

}  // namespace
}  // namespace velmora
