#include "app/mirror/control/qt_mirror_screens.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <mutex>

namespace velmora {
namespace {

// The window's port: forwards to the model's events while the adapter stands. Owned by its window.
struct Bridge final : MirrorWindowPort {
    explicit Bridge(std::weak_ptr<MirrorScreenEvents> e) : events(std::move(e)) {}
    void input(const nlohmann::json& message) override {
        if (const auto e = events.lock()) e->input(message);
    }
    void retry() override {
        if (const auto e = events.lock()) e->retry();
    }
    void closed() override {
        if (const auto e = events.lock()) e->closed();
    }
    std::optional<MirrorLinkInfo> linkInfo() override {
        const auto e = events.lock();
        if (!e) return std::nullopt;
        const MirrorLinkStatus s = e->linkStatus();
        return MirrorLinkInfo{s.rttMs, s.transport, s.controlPaused};
    }
    std::optional<std::string> pasteText() override {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard || !clipboard->mimeData() || !clipboard->mimeData()->hasText()) return std::nullopt;
        return clipboard->text().toStdString();
    }
    std::weak_ptr<MirrorScreenEvents> events;
};

// The receive thread's way to the window's feeder; cut (after any feed in progress) when the adapter goes.
class VideoIn final : public MirrorVideoIn {
  public:
    explicit VideoIn(H264Feeder* feeder) : feeder_(feeder) {}
    void feed(ByteView packet) override {
        std::lock_guard guard(mutex_);
        if (feeder_) feeder_->feed(packet);
    }
    void detach() {
        std::lock_guard guard(mutex_);
        feeder_ = nullptr;
    }

  private:
    std::mutex mutex_;  // guards feeder_
    H264Feeder* feeder_;
};

class QtMirrorScreen final : public MirrorScreen {
  public:
    QtMirrorScreen(const std::string& title, std::weak_ptr<MirrorScreenEvents> events, Executor& executor,
                   Settings* settings, MirrorWindow::Options options)
        : bridge_(new Bridge(events)),
          window_(new MirrorWindow(QString::fromStdString(title), *bridge_, executor, settings, options)),
          video_(std::make_shared<VideoIn>(&window_->feeder())) {
        QObject::connect(window_, &QObject::destroyed, [bridge = bridge_] { delete bridge; });
        window_->feeder().onNeedKeyframe = [events] {
            if (const auto e = events.lock()) e->keyframeNeeded();
        };
    }
    ~QtMirrorScreen() override {
        video_->detach();
        bridge_->events.reset();
        window_->hide();
        window_->deleteLater();
    }

    void setVideoSize(int width, int height) override { window_->setVideoSize(width, height); }
    void present() override {
        window_->show();
        window_->raise();
        window_->activateWindow();
        window_->focusView();
    }
    void close() override { window_->close(); }
    void showAwaitingApproval() override { window_->showAwaitingApproval(); }
    void fail(const std::string& text) override { window_->fail(text); }
    void showNotice(const std::string& text, double seconds) override { window_->showNotice(text, seconds); }
    void setControlPaused(bool paused) override { window_->hud().setControlPaused(paused); }
    void setStalled(bool stalled) override { window_->setStalled(stalled); }
    void connectionLost() override { window_->connectionLost(); }
    void connectionRestored() override { window_->connectionRestored(); }
    void retrying() override { window_->retrying(); }
    std::shared_ptr<MirrorVideoIn> video() override { return video_; }

    MirrorWindow& window() { return *window_; }

  private:
    Bridge* bridge_;
    MirrorWindow* window_;
    std::shared_ptr<VideoIn> video_;
};

}  // namespace

std::shared_ptr<MirrorScreen> QtMirrorScreens::open(const std::string& title,
                                                    std::weak_ptr<MirrorScreenEvents> events) {
    return std::make_shared<QtMirrorScreen>(title, std::move(events), executor_, settings_, options_);
}

}  // namespace velmora
