// Mirroring control: the start and stop asked of the phone, and what its answers do to the window and the
// sound.
#include "app/model/app_model.h"
#include "app/model/features/mirroring/mirror_requests.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

// A phone that takes the request answers "mirror.started", or "mirror.error" (also while its user is asked to
// allow the capture); one that says nothing at all would otherwise leave the run shown as started for good.
constexpr double kStartAnswerWait = 30.0;

}  // namespace

void AppModel::startMirror() {
    if (!session_) return;
    if (state_.idleDescended) {
        // The link idles on Bluetooth: wake it first, then start at full rate.
        edit().transferText = L10n::string("transfer.preparing");
        const auto unprepare = [weak = weak_from_this()] {
            const auto model = weak.lock();
            if (model) model->edit().transferText.reset();
            return model;
        };
        afterWake(
            [unprepare] {
                if (const auto model = unprepare()) model->startMirror();
            },
            [unprepare] { unprepare(); });
        return;
    }
    PublishedState& state = edit();
    state.mirroring = true;
    state.lastError.reset();
    if (state_.linkKind == "ble")
        VelmoraLog::write("espelhamento lento (1 quadro/s, 1024 px) pelo Bluetooth");
    // Through the send queue whatever the link, so that a quick stop never overtakes its start.
    sendMirror(session_, MirrorRequests::start(state_.linkKind, state_.playAudio, state_.muteDevice));
    awaitMirrorAnswer();
}

void AppModel::awaitMirrorAnswer() {
    mirror_->startWait.cancel();
    mirror_->startWait = after(kStartAnswerWait, [](AppModel& model) {
        if (!model.state_.mirroring) return;
        VelmoraLog::write("espelhamento: o celular não respondeu ao pedido em " +
                          std::to_string(static_cast<int>(kStartAnswerWait)) + " s");
        model.mirrorError(L10n::string("mirror.no_answer"), std::nullopt);
    });
}

void AppModel::mirrorAnswered() {
    mirror_->startWait.cancel();
}

void AppModel::stopMirror() {
    if (mirror_->stopping) return;
    mirror_->stopping = true;
    mirrorAnswered();
    if (session_) sendMirror(session_, MirrorRequests::stop(state_.keepCapture));
    if (const auto window = mirror_->window) window->close();  // its closed() finds us stopping
    edit().mirroring = false;
    mirror_->audioFormat.reset();
    if (ports_.mirrorSound) ports_.mirrorSound->stop();
    mirror_->stopping = false;
}

void AppModel::mirrorStarted(MirrorStart start) {
    mirrorAnswered();
    edit().lastError.reset();
    mirror_->audioFormat = start.audio;
    if (ports_.mirrorSound) {
        if (start.audio && state_.playAudio)
            ports_.mirrorSound->start(start.audio->rate, static_cast<int>(start.audio->channels));
        else
            ports_.mirrorSound->stop();
    }
    showMirror(start.width, start.height);
}

void AppModel::mirrorStopped() {
    mirrorAnswered();
    edit().mirroring = false;
    mirror_->audioFormat.reset();
    if (ports_.mirrorSound) ports_.mirrorSound->stop();
    if (const auto window = mirror_->window) window->close();  // not mirroring: nothing is sent
}

void AppModel::mirrorError(std::string text, std::optional<std::string> code) {
    mirrorAnswered();
    edit().lastError = text;
    if (code == "audio_unavailable") {
        if (mirror_->window) mirror_->window->showNotice(text, 6.0);
        return;
    }
    if (code == "permission_pending") {
        if (!state_.mirroring) return;
        const auto window = ensureMirrorWindow();
        if (!window) return;
        window->showAwaitingApproval();
        window->present();
        return;
    }
    edit().mirroring = false;
    // The phone may still be sending its sound; with the run failed nothing would ever stop it.
    mirror_->audioFormat.reset();
    if (ports_.mirrorSound) ports_.mirrorSound->stop();
    if (mirror_->window) mirror_->window->fail(text);
}

void AppModel::showMirrorNotice(const std::string& text, double seconds) {
    if (mirror_->window) mirror_->window->showNotice(text, seconds);
}

void AppModel::setMirrorControlPaused(bool paused) {
    if (mirror_->window) mirror_->window->setControlPaused(paused);
}

void AppModel::mirrorSessionEnded(bool waitForReconnect) {
    mirrorAnswered();
    edit().mirroring = false;
    mirror_->audioFormat.reset();
    if (ports_.mirrorSound) ports_.mirrorSound->stop();
    const auto window = mirror_->window;
    if (!window) return;
    if (waitForReconnect)
        window->connectionLost();
    else
        window->close();
}

void AppModel::setMirrorStalled(bool stalled) {
    if (mirror_->window) mirror_->window->setStalled(stalled);
}

void AppModel::mirrorShutdown() {
    mirrorAnswered();
    setMirrorWindow(nullptr);
    mirror_->audioFormat.reset();
    if (ports_.mirrorSound) ports_.mirrorSound->stop();
}

void AppModel::requestKeyframe() {
    sendMirror(session_, MirrorRequests::keyframe());
}

// On "tessel.send", to the session taken now; a send error is dropped.
void AppModel::sendMirror(std::shared_ptr<LinkSession> session, nlohmann::json message) {
    if (!session || !sendQueue_) return;
    sendQueue_->post([session = std::move(session), message = std::move(message)] {
        try {
            session->sendControl(message);
        } catch (const std::exception&) {
        }
    });
}

}  // namespace velmora
