// Mirroring end to end on the real window and decoder (offscreen): the simulated phone answers the start
// and streams H.264 encoded here with libx264 and PCM over loopback; the picture goes live, a click reaches
// the phone as input, the stop closes the window and the sound, and a phone that goes away mid-stream
// leaves the window reconnecting.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "app/mirror/control/qt_mirror_screens.h"
#include "app/mirror/window/mirror_view.h"
#include "core/protocol/control_json.h"
#include "mirror/h264_stream.h"
#include "support/fake_mirror.h"

namespace velmora {
namespace {

using nlohmann::json;
using test::ModelHarness;

// The phone journals the type of each input message it gets as "input <t>".
PhoneConfig streamingPhone(std::shared_ptr<test::Journal> inputs) {
    static const auto video = testing::encodeH264(320, 720, 12, 12);
    PhoneConfig config;
    config.answer = [](const json& m) {
        return m.value("t", "") != "mirror.start" ? std::vector<json>{} : std::vector{json::parse(R"(
            {"t":"mirror.started","width":320,"height":720,"audio":{"rate":48000,"channels":2}})")};
    };
    config.stream = [](const json& m) {
        std::vector<Frame> records;
        if (m.value("t", "") != "mirror.keyframe") return records;
        for (const auto& packet : video)  // PCM: the header, then 800 stereo frames
            records.insert(records.end(),
                           {{Ch::video, packet.bytes}, {Ch::audio, Bytes(8 + 800 * 2 * 2, 0)}});
        return records;
    };
    config.onRecord = [inputs](const Frame& f) {
        if (f.channel == Ch::input) inputs->add("input " + json::parse(f.payload).value("t", ""));
        return std::vector<json>{};
    };
    return config;
}

MirrorWindow* shownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<MirrorWindow*>(widget); window && window->isVisible()) return window;
    return nullptr;
}

struct Rig {
    Rig() : h(streamingPhone(inputs)) {
        test::connectWithMirror(h,
                                std::make_shared<QtMirrorScreens>(
                                    *h.exec, h.settings.get(),
                                    MirrorWindow::Options{.remembersFrame = false, .heightLimit = 10000}),
                                sound);
        EXPECT_TRUE(pump([&] { return h.model->state().state.kind() == ConnState::Kind::connected; }));
    }
    bool pump(const std::function<bool()>& done) {
        return h.pumpUntil([&] { return QApplication::processEvents(), done(); });
    }
    // Mirroring runs and the phone's picture is painted live.
    MirrorWindow* live() {
        h.model->startMirror();
        MirrorWindow* window = nullptr;
        const bool ok = pump([&] {
            return (window = shownWindow()) && (window->view().repaint(), window->view().hasPicture()) &&
                   window->hud().phase().kind() == MirrorPhase::Kind::live;
        });
        return ok ? window : nullptr;
    }
    std::shared_ptr<test::Journal> inputs = std::make_shared<test::Journal>();
    ModelHarness h;
    std::shared_ptr<test::FakeMirrorSound> sound = std::make_shared<test::FakeMirrorSound>(h.journal);
};

TEST(MirrorEndToEnd, PictureSoundInputAndStopThenAPhoneThatGoesAwayMidStream) {
    Rig r;
    MirrorWindow* window = r.live();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->windowTitle() == "Celular Simulado" &&
                r.h.journal->count("sound.start 48000 2") == 1);
    ASSERT_TRUE(r.pump([&] { return r.sound->packets >= 12; })) << r.sound->packets;
    QTest::mouseClick(&window->view(), Qt::LeftButton, {}, window->view().rect().center());
    ASSERT_TRUE(r.pump([&] { return r.inputs->count("input in.tap") == 1; }));

    r.h.model->stopMirror();
    ASSERT_TRUE(r.pump([&] { return r.h.journal->count(R"(phone {"keep":true,"t":"mirror.stop"})") == 1; }));
    EXPECT_TRUE(!shownWindow() && r.h.journal->count("sound.stop") == 1 && !r.h.model->state().mirroring);

    window = r.live();  // again, and the phone goes away in the middle
    ASSERT_TRUE(window);
    r.h.hangUp();
    ASSERT_TRUE(r.pump([&] { return window->hud().phase().kind() == MirrorPhase::Kind::reconnecting; }));
    EXPECT_TRUE(shownWindow() == window && !r.h.model->state().mirroring) << "the window waits for the phone";
}

}  // namespace
}  // namespace velmora
