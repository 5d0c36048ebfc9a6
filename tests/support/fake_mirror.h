#pragma once

// The mirroring control's ports as fakes: windows and a sound player that journal what the model asks of
// them ("screen.<call>", "sound.<call>"), and let a test play the window's side (the user closing it, its
// retry button, the decoder asking for a key frame).

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

class FakeMirrorScreen final : public MirrorScreen {
  public:
    FakeMirrorScreen(std::shared_ptr<Journal> journal, std::weak_ptr<MirrorScreenEvents> events)
        : events(std::move(events)), journal_(std::move(journal)) {}
    void setVideoSize(int w, int h) override { note("size " + std::to_string(w) + "x" + std::to_string(h)); }
    void present() override { note("present"); }
    void close() override {
        note("close");
        if (closed_) return;
        closed_ = true;
        if (const auto e = events.lock()) e->closed();
    }
    void showAwaitingApproval() override { note("awaiting"); }
    void fail(const std::string& text) override { note("fail " + text); }
    void showNotice(const std::string& text, double seconds) override {
        note("notice " + text + " " + std::to_string(static_cast<int>(seconds)));
    }
    void setControlPaused(bool paused) override { note(paused ? "paused" : "resumed"); }
    void setStalled(bool stalled) override {
        if (stalled) note("stalled");
    }
    void connectionLost() override { note("lost"); }
    void connectionRestored() override { note("restored"); }
    void retrying() override { note("retrying"); }
    std::shared_ptr<MirrorVideoIn> video() override { return videoIn; }

    std::weak_ptr<MirrorScreenEvents> events;
    std::shared_ptr<FakeVideoIn> videoIn = std::make_shared<FakeVideoIn>();

  private:
    void note(const std::string& call) { journal_->add("screen." + call); }
    std::shared_ptr<Journal> journal_;
    bool closed_ = false;
};

struct FakeMirrorScreens final : MirrorScreens {
    explicit FakeMirrorScreens(std::shared_ptr<Journal> j) : journal(std::move(j)) {}
    std::shared_ptr<MirrorScreen> open(const std::string& title,
                                       std::weak_ptr<MirrorScreenEvents> events) override {
        journal->add("screen.open " + title);
        auto screen = std::make_shared<FakeMirrorScreen>(journal, std::move(events));
        last = screen;
        return screen;
    }
    bool canHideFromCapture() const override { return hides; }
    std::shared_ptr<Journal> journal;
    std::weak_ptr<FakeMirrorScreen> last;  // the window the model holds, while it does
    bool hides = false;
};

struct FakeMirrorSound final : MirrorSound {
    explicit FakeMirrorSound(std::shared_ptr<Journal> j) : journal(std::move(j)) {}
    void start(double rate, int channels) override {
        journal->add("sound.start " + std::to_string(static_cast<int>(rate)) + " " + std::to_string(channels));
    }
    void stop() override { journal->add("sound.stop"); }
    void feed(ByteView) override { ++packets; }
    std::shared_ptr<Journal> journal;
    std::atomic<int> packets{0};
};

}  // namespace velmora::test
