// The mirror window as the model sees it: made and wired on first use, shown on "mirror.started", told of
// the connection coming back, and forgotten when it closes.
#include "app/model/app_model.h"
#include "app/model/features/mirroring/mirror_requests.h"
#include "core/l10n/l10n.h"

namespace velmora {

// The window's calls back into the model. Holds the model weakly and knows its own window, so that the
// events of a window the model has already let go of do nothing.
class MirrorEvents final : public MirrorScreenEvents {
  public:
    explicit MirrorEvents(std::weak_ptr<AppModel> model) : model_(std::move(model)) {}
    void bind(const MirrorScreen* window) { window_ = window; }

    void input(const nlohmann::json& message) override {
        const auto model = current();
        if (!model || !model->session_ || !model->sendQueue_) return;
        model->sendQueue_->post([session = model->session_, message] {
            try {
                session->sendInput(message);
            } catch (const std::exception&) {
            }
        });
    }
    void retry() override {
        if (const auto model = current()) model->retryMirror(window_);
    }
    void closed() override {
        if (const auto model = current()) model->mirrorWindowClosed(window_);
    }
    MirrorLinkStatus linkStatus() override {
        const auto model = current();
        return model ? model->mirrorLinkStatus() : MirrorLinkStatus{};
    }
    // From the feeding thread: the send is asked for on main, where the session is read.
    void keyframeNeeded() override {
        const auto model = model_.lock();
        if (!model) return;
        model->ports_.main->post([weak = model_] {
            const auto live = weak.lock();
            if (live && !live->shutDown_) live->requestKeyframe();
        });
    }

  private:
    std::shared_ptr<AppModel> current() const {
        auto model = model_.lock();
        if (!model || model->mirror_->window.get() != window_) return nullptr;
        return model;
    }
    const std::weak_ptr<AppModel> model_;
    const MirrorScreen* window_ = nullptr;
};

std::shared_ptr<MirrorScreen> AppModel::ensureMirrorWindow() {
    if (mirror_->window) return mirror_->window;
    if (!ports_.mirrorScreens) return nullptr;
    const std::string title = state_.state.kind() == ConnState::Kind::connected
                                  ? state_.state.label()
                                  : L10n::string("phone.generic_name");
    auto events = std::make_shared<MirrorEvents>(weak_from_this());
    auto window = ports_.mirrorScreens->open(title, events);
    if (!window) return nullptr;
    events->bind(window.get());
    mirror_->events = std::move(events);
    setMirrorWindow(window);
    watchConnectionForMirror();
    // Only where the desktop can really keep the window out of captures is the user told that it does.
    if (ports_.mirrorScreens->canHideFromCapture() && !state_.allowMirrorCapture &&
        !ports_.settings->boolean("mirrorShareHintShown").value_or(false)) {
        ports_.settings->setValue("mirrorShareHintShown", true);
        window->showNotice(L10n::string("mirror.notice.share_hidden"), 12.0);
    }
    return window;
}

// The window and its video path change together, the latter under the feeder lock.
void AppModel::setMirrorWindow(std::shared_ptr<MirrorScreen> window) {
    auto video = window ? window->video() : nullptr;
    {
        std::lock_guard guard(mirror_->feederLock);
        mirror_->videoFeeder = std::move(video);
    }
    mirror_->window = std::move(window);
    if (!mirror_->window) {
        mirror_->events.reset();
        mirror_->stateWatch.reset();
    }
}

// Each return to connected while the window is open restores its picture's state.
void AppModel::watchConnectionForMirror() {
    mirror_->watchedKind = state_.state.kind();
    if (mirror_->watchedKind == ConnState::Kind::connected) mirror_->window->connectionRestored();
    mirror_->stateWatch = observe([weak = weak_from_this()] {
        const auto model = weak.lock();
        if (!model || !model->mirror_->window) return;
        const auto kind = model->state_.state.kind();
        const bool back = kind == ConnState::Kind::connected && model->mirror_->watchedKind != kind;
        model->mirror_->watchedKind = kind;
        if (back) model->mirror_->window->connectionRestored();
    });
}

void AppModel::showMirror(std::int64_t width, std::int64_t height) {
    const auto window = ensureMirrorWindow();
    if (window) {
        window->setVideoSize(static_cast<int>(width), static_cast<int>(height));
        window->present();
    }
    edit().mirroring = true;
    requestKeyframe();
}

void AppModel::mirrorWindowClosed(const MirrorScreen* window) {
    if (mirror_->window.get() != window) return;
    const bool was = state_.mirroring;
    const auto keep = mirror_->window;  // lives until its own close() has returned
    setMirrorWindow(nullptr);
    if (was) stopMirror();
}

void AppModel::retryMirror(const MirrorScreen* window) {
    if (!session_ || state_.state.kind() != ConnState::Kind::connected) return;
    startMirror();
    if (state_.mirroring && mirror_->window.get() == window) mirror_->window->retrying();
}

MirrorLinkStatus AppModel::mirrorLinkStatus() const {
    return {state_.rttMs, transportTitle(state_), state_.phoneControlPaused};
}

void AppModel::mirrorVideo(ByteView packet) {
    std::shared_ptr<MirrorVideoIn> feeder;
    {
        std::lock_guard guard(mirror_->feederLock);
        feeder = mirror_->videoFeeder;
    }
    if (feeder) feeder->feed(packet);
}

void AppModel::mirrorAudio(ByteView packet) {
    if (mirror_->playAudio.load() && ports_.mirrorSound) ports_.mirrorSound->feed(packet);
}

}  // namespace velmora
