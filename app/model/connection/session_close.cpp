// The end of a session: teardown in a fixed order, the loss notice, the reconnect, and the user's
// disconnect.
#include "app/model/app_model.h"
#include "app/model/connection/error_text.h"
#include "app/model/connection/idle_policy.h"
#include "app/model/connection/session_reports.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

std::unique_ptr<SessionDelegate> AppModel::reportsFor(std::shared_ptr<LinkSession> session) {
    return std::make_unique<SessionReports>(weak_from_this(), context_, std::move(session));
}

// The phone's control pause belongs to one session and ends with it; so does a speed test, which then says
// it did not finish rather than go on showing itself at work.
void AppModel::setSession(std::shared_ptr<LinkSession> session, std::string linkKind) {
    if (session != session_ && controlPause_.paused) {
        controlPause_.reset();
        edit().phoneControlPaused = false;
    }
    if (!session && speedTest_.clear()) edit().benchText = L10n::string("prefs.bench.unfinished");
    session_ = std::move(session);
    std::lock_guard lock(liveLock_);
    liveForReceive_ = session_;
    liveLinkKind_ = std::move(linkKind);
}

void AppModel::sessionClosed(const std::shared_ptr<LinkSession>& closed,
                             const std::optional<Failure>& error) {
    // Only the live session's end tears down. Any other (a background session that was discarded, or one
    // replaced by a better link) is only logged, also when no session is live: tearing down then would
    // publish idle over an attempt in flight and could start a second one beside it.
    if (closed != session_) {
        VelmoraLog::write("conexão anterior encerrada (trocada por uma melhor)");
        switchingLink_ = false;
        return;
    }
    if (closed) rememberLostPeer(*closed);
    const bool wasMirroring = state_.mirroring;
    std::string line = "sessão encerrada";
    line += error ? ": " + error->developer : std::string(" sem erro");
    if (sessionOpenedAt_) {
        line += " (durou " + std::to_string(static_cast<std::int64_t>(now() - *sessionOpenedAt_)) +
                " s via " + sessionKindLabel_ + ")";
    }
    VelmoraLog::write(line);
    sessionOpenedAt_.reset();
    PublishedState& state = edit();
    if (state.idleDescended && !switchingLink_)
        preferBleUntil_ = now() + IdlePolicy::preferBluetoothAfterIdleDrop;
    state.idleDescended = false;
    descending_ = false;
    dropWakeWaiters();
    phoneScreenOn_.reset();
    phoneScreenOffSince_.reset();
    phoneLocks_.reset();
    idleNote_.reset();
    activeUsbSerial_.reset();
    phoneFast_ = false;
    state.rttMs.reset();
    setSession(nullptr);
    state.state = ConnState::idle();
    heartbeat_.cancel();
    state.linkKind = "tcp";
    state.bleFast = false;
    state.activeKind.reset();
    state.phoneAppVersion.reset();
    state.phoneAppBuild.reset();
    state.networkHint.reset();
    state.battery.reset();
    endTransfers();
    mirrorSessionEnded(wasMirroring && autoConnect_);
    ports_.features->sessionEnded(wasMirroring && autoConnect_);
    if (switchingLink_) {
        switchingLink_ = false;
        state.lastError.reset();
        if (lostWork_) lostWork_->cancel();
        scheduleReconnect();
        return;
    }
    if (error) state.lastError = error->friendly;
    armLostTimer();
    scheduleReconnect();
}

void AppModel::armLostTimer() {
    if (!autoConnect_) return;
    if (lostWork_ && !lostWork_->isCancelled()) return;
    lostWork_ = after(lostDelay, [](AppModel& model) {
        if (!model.autoConnect_ || model.state_.state.kind() != ConnState::Kind::idle) return;
        model.edit().phoneLost = true;
        model.notifyLocal(L10n::string("notif.lost.title"), L10n::string("notif.lost.body"));
    });
}

void AppModel::scheduleReconnect() {
    reconnectWork_.cancel();
    if (!autoConnect_) return;
    reconnectWork_ = after(reconnectDelay, [](AppModel& model) { model.maybeAutoConnect(); });
}

void AppModel::switchLink() {
    autoConnect_ = true;
    if (session_) session_->close();
}

void AppModel::disconnect() {
    autoConnect_ = false;
    if (lostWork_) lostWork_->cancel();
    edit().phoneLost = false;
    if (session_) session_->close();
}

}  // namespace velmora
