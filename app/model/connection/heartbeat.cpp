// While a session stands: silence watch, pings, and the periodic upgrade and idle checks.
#include <chrono>

#include "app/model/app_model.h"
#include "app/model/connection/idle_policy.h"
#include "app/model/features/notif_filter.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

// Past this much silence the mirror shows the picture as stalled.
constexpr double kMirrorStall = 5.0;
// Pings go a little before their interval, so a tick never just misses one.
constexpr double kPingSlack = 0.5;
constexpr std::int64_t kUpgradeEvery = 10;  // ticks

std::int64_t wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void AppModel::startHeartbeat() {
    heartbeat_.cancel();
    lastPingAt_ = 0;
    heartbeat_ = after(heartbeatInterval, [](AppModel& model) { model.heartbeatTick(); });
}

void AppModel::heartbeatTick() {
    heartbeat_ = after(heartbeatInterval, [](AppModel& model) { model.heartbeatTick(); });
    if (!session_) return;
    const std::string kind = session_->transportKind();
    const bool bluetooth = kind == "ble" || kind == "l2cap";
    const bool screenOff = phoneScreenOn_ == false;
    const double limit = IdlePolicy::silenceLimit(bluetooth, screenOff);
    const double silence = now() - session_->lastRx();
    setMirrorStalled(silence > kMirrorStall && state_.mirroring);
    if (silence > limit) {
        edit().lastError = L10n::string("err.phone_stopped_responding");
        VelmoraLog::write("sem sinal do celular há " + std::to_string(static_cast<std::int64_t>(silence)) +
                          " s (limite " + std::to_string(static_cast<std::int64_t>(limit)) + " s via " +
                          kind + "): fechando para reconectar");
        session_->close();
        return;
    }
    if (now() - lastPingAt_ >= IdlePolicy::pingInterval(bluetooth, screenOff) - kPingSlack) {
        lastPingAt_ = now();
        send({{"t", "ping"}, {"ts", wallMs()}});
    }
    if (++upgradeTick_ % kUpgradeEvery == 0) considerUpgrade();
    evaluateIdle();
}

// On "tessel.send", to the session standing now; a send error is dropped (the silence watch sees a dead
// link).
void AppModel::send(nlohmann::json message) {
    if (!session_ || !sendQueue_) return;
    sendQueue_->post([session = session_, message = std::move(message)] {
        try {
            session->sendControl(message);
        } catch (const std::exception&) {
        }
    });
}

void AppModel::pushNotifFilter() {
    if (!session_ || state_.state.kind() != ConnState::Kind::connected) return;
    send(NotifFilter::message(*ports_.settings));
}

}  // namespace velmora
