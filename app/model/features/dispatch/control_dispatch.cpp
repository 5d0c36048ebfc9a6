// The phone's control messages: read on the session's receive thread, the bounded work done there, and
// everything that touches published state handed to main in arrival order.
#include <chrono>

#include "app/model/app_model.h"
#include "app/model/app_version.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

namespace E = ControlEvent;

constexpr std::int64_t kPongLogEvery = 12;
constexpr double kErrorNoticeSeconds = 6.0;

double wallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

}  // namespace

std::shared_ptr<LinkSession> AppModel::currentSession() const {
    std::lock_guard lock(liveLock_);
    return liveForReceive_;
}

// Posted work that runs only while the model has not shut down.
// Wrapped once (not through post()): it runs for every message the phone sends.
void AppModel::onMainLive(std::function<void(AppModel&)> work) {
    ports_.main->post([weak = weak_from_this(), work = std::move(work)] {
        const auto model = weak.lock();
        if (model && !model->shutDown_) work(*model);
    });
}

void AppModel::dispatchControl(LinkSession& session, const nlohmann::json& message) {
    auto event = parseControl(message, wallMs());
    if (!event) return;
    const std::uint64_t from = session.serial();
    const auto linkKind = [this] {
        std::lock_guard lock(liveLock_);
        return liveLinkKind_;
    };
    std::visit(
        Overloaded{
            [&](E::Status& e) { onMainLive([from, s = e.status](AppModel& m) { m.phoneStatus(from, s); }); },
            [&](E::Pong& e) {
                if (++pongCount_ % kPongLogEvery == 1)
                    VelmoraLog::write("latência (ida e volta) " + std::to_string(e.rttMs) + " ms via " +
                                      linkKind());
                onMainLive([rtt = e.rttMs](AppModel& m) { m.edit().rttMs = rtt; });
            },
            [&](E::BenchChunk& e) { speedTest_.count(e.bytes); },
            [&](E::BenchEnd&) {
                const auto result = speedTest_.finish(ports_.main->now());
                if (!result) return;
                const bool bluetooth = linkKind() == "ble";
                const std::string text = speedTestText(bluetooth, *result);
                const std::string logged = L10n::forLog([&] { return speedTestText(bluetooth, *result); });
                VelmoraLog::write("medição: " + logged + "; recebidos " + std::to_string(result->bytes) +
                                  " bytes");
                onMainLive([text](AppModel& m) { m.edit().benchText = text; });
            },
            [&](E::NetOffer& e) {
                onMainLive([from, o = std::move(e.offer)](AppModel& m) {
                    m.handleOffer(from, o.ips, static_cast<std::uint16_t>(o.port));
                });
            },
            [&](E::Diag& e) {
                onMainLive([e = std::move(e)](AppModel& m) {
                    m.finishDiagnostics(L10n::string("diag.phone_block.header") + "\n" + e.infoBlock + "\n" +
                                        L10n::string("diag.phone_block.log_header") + "\n" + e.logBlock);
                });
            },
            [&](E::Control& e) {
                onMainLive([from, n = e.notice](AppModel& m) { m.phoneControl(from, n); });
            },
            [&](E::Caps& e) {
                VelmoraLog::write("celular com o Velmora " + e.version.value_or("antigo") + " (build " +
                                  std::to_string(e.build) + "); este computador: " + AppVersion::version() +
                                  " (build " + std::to_string(AppVersion::build()) + ")");
                onMainLive([e = std::move(e)](AppModel& m) {
                    PublishedState& state = m.edit();
                    state.phoneAppVersion = e.version;
                    state.phoneAppBuild = e.build;
                });
            },
            [&](E::Apps& e) {
                onMainLive([a = std::move(e.apps)](AppModel& m) mutable { m.mergePhoneApps(std::move(a)); });
            },
            [&](E::NotifPost&) { postNotification(session, message); },
            [&](E::NotifRemove& e) { removeNotification(e.key); },
            [&](E::ClipSet& e) {
                if (!clipLimiter_.allow()) {
                    if (clipLog_.shouldLog("clip"))
                        VelmoraLog::write(
                            "área de transferência: o celular passou de 30 cópias por minuto; "
                            "descartando o excesso");
                    return;
                }
                onMainLive([t = std::move(e.text)](AppModel& m) mutable { m.writeClipboard(std::move(t)); });
            },
            [&](E::FileOffer&) { receiveOffer(session, message); },
            [&](E::FileAccept& e) { fileAccepted(e.tid); },
            [&](E::FileReject& e) { fileRejected(e.tid); },
            [&](E::FileDone& e) { fileDone(e.tid, e.ok); },
            [&](E::MirrorStarted& e) {
                if (!e.start) {
                    VelmoraLog::write("mirror.started com dimensões inválidas");
                    return;
                }
                onMainLive([s = *e.start](AppModel& m) { m.mirrorStarted(s); });
            },
            [&](E::MirrorStopped&) { onMainLive([](AppModel& m) { m.mirrorStopped(); }); },
            [&](E::MirrorError& e) {
                onMainLive([e = std::move(e)](AppModel& m) { m.mirrorError(e.text, e.code); });
            },
            [&](E::PhoneError& e) { onMainLive([t = std::move(e.text)](AppModel& m) { m.phoneError(t); }); },
        },
        *event);
}

// Only the live session's notices count; the published flag is assigned even when it did not change.
void AppModel::phoneControl(std::uint64_t from, PhoneControlNotice notice) {
    if (!isLive(from)) return;
    const bool changed = controlPause_.apply(notice);
    edit().phoneControlPaused = controlPause_.paused;
    if (changed) {
        VelmoraLog::write(notice == PhoneControlNotice::paused
                              ? "controle: o celular pausou o controle"
                              : "controle: o celular liberou o controle de novo");
    }
    setMirrorControlPaused(controlPause_.paused);
}

// The phone's error: the panel's last error, and a notice for a few seconds on the panel and the mirror.
void AppModel::phoneError(std::string text) {
    edit().lastError = text;
    showNotice(text, kErrorNoticeSeconds);
    showMirrorNotice(text, kErrorNoticeSeconds);
}

}  // namespace velmora
