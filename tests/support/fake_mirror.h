#pragma once

// The mirroring control's ports as fakes that journal what the model asks of them ("screen.<call>",
// "sound.<call>"); a test plays the window's side (the user closing it) through close().

#include <atomic>
#include <memory>

#include "app/model/ports/mirror_screen.h"
#include "app/model/ports/mirror_sound.h"
#include "support/model_harness.h"

namespace velmora::test {

struct FakeVideoIn final : MirrorVideoIn {
    void feed(ByteView) override { ++packets; }
    std::atomic<int> packets{0};
};

struct FakeMirrorScreen final : MirrorScreen {
    FakeMirrorScreen(std::shared_ptr<Journal> j, std::weak_ptr<MirrorScreenEvents> e)
        : events(std::move(e)), journal(std::move(j)) {}
    void setVideoSize(int w, int h) override { note("size " + std::to_string(w) + "x" + std::to_string(h)); }
    void present() override { note("present"); }
    void close() override {
        note("close");
        if (const auto e = std::exchange(events, {}).lock()) e->closed();
    }
    void showAwaitingApproval() override { note("awaiting"); }
    void fail(const std::string& text) override { note("fail " + text); }
    void showNotice(const std::string& text, double s) override {
        note("notice " + text + " " + std::to_string(int(s)));
    }
    void setControlPaused(bool paused) override { note(paused ? "paused" : "resumed"); }
    void setStalled(bool) override {}
    void connectionLost() override { note("lost"); }
    void connectionRestored() override { note("restored"); }
    void retrying() override { note("retrying"); }
    std::shared_ptr<MirrorVideoIn> video() override { return videoIn; }
    void note(const std::string& call) { journal->add("screen." + call); }

    std::weak_ptr<MirrorScreenEvents> events;
    std::shared_ptr<Journal> journal;
    std::shared_ptr<FakeVideoIn> videoIn = std::make_shared<FakeVideoIn>();
};

struct FakeMirrorScreens final : MirrorScreens {
    explicit FakeMirrorScreens(std::shared_ptr<Journal> j) : journal(std::move(j)) {}
    std::shared_ptr<MirrorScreen> open(const std::string& title,
                                       std::weak_ptr<MirrorScreenEvents> e) override {
        journal->add("screen.open " + title);
        auto screen = std::make_shared<FakeMirrorScreen>(journal, std::move(e));
        last = screen;
        return screen;
    }
    bool canHideFromCapture() const override { return false; }
    std::shared_ptr<Journal> journal;
    std::weak_ptr<FakeMirrorScreen> last;  // the window the model holds, while it does
};

struct FakeMirrorSound final : MirrorSound {
    explicit FakeMirrorSound(std::shared_ptr<Journal> j) : journal(std::move(j)) {}
    void start(double rate, int ch) override {
        journal->add("sound.start " + std::to_string(int(rate)) + " " + std::to_string(ch));
    }
    void stop() override { journal->add("sound.stop"); }
    void feed(ByteView) override { ++packets; }
    std::shared_ptr<Journal> journal;
    std::atomic<int> packets{0};
};

// The model of `h` with these mirroring ports, connected to the phone over the cable.
inline void connectWithMirror(ModelHarness& h, std::shared_ptr<MirrorScreens> screens,
                              std::shared_ptr<MirrorSound> sound) {
    h.pairBothSides();
    ModelPorts ports = h.ports();
    ports.mirrorScreens = std::move(screens);
    ports.mirrorSound = std::move(sound);
    h.model = AppModel::create(ports, false);
    h.exec->runPending();
    h.plugInCable();
}

}  // namespace velmora::test
