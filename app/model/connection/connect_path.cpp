// The one way the model connects to a phone: the connecting state on main, the attempt on a thread of its
// own that becomes the session's receive loop, the handshake watchdog, and the outcome back on main.
#include "app/model/app_model.h"
#include "app/model/connection/error_text.h"
#include "app/model/connection/handshake_watch.h"
#include "app/model/connection/session_reports.h"
#include "core/discovery/candidate_key.h"
#include "core/errors/cxp_error.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"
#include "core/net/net_info.h"

namespace velmora {

namespace {

// Longer than other notices: the pairing dialog has just closed, and the panel may only be opened later.
constexpr double kPairingNotSavedNoticeSeconds = 60.0;

// The attempt's label as the log names it. The phone hotspot's label and an unknown Bluetooth phone's are
// texts of ours, shown in the user's language and logged in Portuguese; a phone's own name stays as it is.
std::string loggedLabel(const ConnectRequest& request) {
    const auto key = CandidateKey::parse(request.key);
    if (!key) return request.label;
    const char* text = nullptr;
    if (key->kind == CandidateKey::Kind::gateway) text = "phone.hotspot_label";
    if (key->kind == CandidateKey::Kind::ble && request.label == L10n::string("phone.ble_unknown"))
        text = "phone.ble_unknown";
    return text ? L10n::forLog([text] { return L10n::string(text); }) : request.label;
}

}  // namespace

void AppModel::connect(ConnectRequest request) {
    if (shutDown_ || state_.state.kind() != ConnState::Kind::idle) return;
    edit().state = ConnState::connecting(request.label);
    // The line names the interfaces (a system call): it is finished once the attempt is on its way, so
    // reading them never delays the connection.
    const std::string line = "conectando a " + loggedLabel(request) + " via " + request.kind +
                             (request.userInitiated ? " (pedido do usuário)" : "") + " [chave " +
                             request.key + " | ";
    connectingViaUsb_ = request.usbSerial;
    edit().lastError.reset();
    const auto watch = std::make_shared<AttemptWatch>(now());
    connectingWatch_ = watch;
    watchdog_.cancel();
    watchdog_ = after(watchInterval, [watch](AppModel& model) { model.watchHandshake(watch); });
    workers_.launch([weak = weak_from_this(), context = context_, &workers = workers_,
                     request = std::move(request), watch, transports = ports_.transports]() mutable {
        runAttempt(std::move(weak), std::move(context), workers, std::move(request), std::move(watch),
                   std::move(transports));
    });
    VelmoraLog::write(line + NetInfo::describe(gatewayIP_) + "]");
}

// The attempt's thread. It never holds the model: what it needs is in `context`, and what it learns goes to
// main through posts that hold the model weakly. `workers` outlives it (the model joins it first).
void AppModel::runAttempt(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                          AttemptWorkers& workers, ConnectRequest request,
                          std::shared_ptr<AttemptWatch> watch, std::shared_ptr<TransportFactory> transports) {
    const auto onMain = [&](std::function<void(AppModel&)> work) {
        context->main->post([model, work = std::move(work)] {
            if (const auto live = model.lock()) work(*live);
        });
    };
    std::shared_ptr<ConnectableTransport> transport;
    try {
        transport = request.make ? request.make() : nullptr;
        if (!transport) throw CXPError::closed();  // no link of this kind on this computer
        if (!watch->adopt(transport) || !workers.track(transport)) throw CXPError::closed();
        transport->connect(request.connectTimeout);
        const std::string label = transports->label(*transport, request.kind);
        const auto session = openSession(*context, transport, request.userInitiated, request.expected, label);
        watch->opened.store(true);
        // Queued before the loop starts, so main installs the session before anything the loop reports.
        onMain([session, request, label](AppModel& m) { m.sessionOpened(session, request, label); });
        SessionReports reports(model, context, session);
        session->run(reports);
    } catch (...) {
        onMain([failure = Failure::of(std::current_exception()), request](AppModel& m) {
            m.attemptFailed(failure, request);
        });
    }
    watch->finished.store(true);
    if (transport) {
        transport->close();
        workers.untrack(transport.get());
    }
}

// Every 2 s until the session opened or the attempt ended; never closes while a pairing prompt shows.
void AppModel::watchHandshake(const std::shared_ptr<AttemptWatch>& watch) {
    if (watch->opened.load() || watch->finished.load()) return;
    if (HandshakeWatch::shouldClose(now(), watch->started, context_->pairingEndedAt(),
                                    context_->pairingPrompted.load(), HandshakeWatch::limit)) {
        VelmoraLog::write("handshake sem resposta há mais de " +
                          std::to_string(static_cast<std::int64_t>(HandshakeWatch::limit)) + " s: fechando");
        watch->close();
        return;
    }
    watchdog_ = after(watchInterval, [watch](AppModel& model) { model.watchHandshake(watch); });
}

void AppModel::sessionOpened(const std::shared_ptr<LinkSession>& session, const ConnectRequest& request,
                             const std::string& label) {
    if (shutDown_) {
        session->close();
        return;
    }
    setSession(session, request.kind);
    PublishedState& state = edit();
    state.linkKind = request.kind;
    state.bleFast = label == "l2cap";
    state.activeKind = connKindForCandidateKey(request.key);
    activeUsbSerial_ = connectingViaUsb_;
    phoneScreenOn_.reset();
    phoneScreenOffSince_.reset();
    phoneFast_ = false;
    phoneLocks_.reset();
    state.idleDescended = request.kind == "ble" && preferBleUntil_ > now();
    if (state.idleDescended)
        VelmoraLog::write("modo ocioso: reconectado por Bluetooth; só sobe quando a tela do celular acender");
    sessionOpenedAt_ = now();
    sessionKindLabel_ = request.kind + "/" + request.key.substr(0, 4);
    failures_.clear(request.key);
    // A session over the gateway shows that the gateway is this phone's hotspot.
    if (request.key.starts_with("gw:")) learnHotspot(request.key.substr(3), session->peer().id);
    if (connectingViaUsb_) {
        auto known = ports_.settings->stringList("usbKnown").value_or(std::vector<std::string>{});
        if (std::ranges::find(known, *connectingViaUsb_) == known.end()) known.push_back(*connectingViaUsb_);
        ports_.settings->setValue("usbKnown", known);
    }
    if (lostWork_) lostWork_->cancel();
    state.phoneLost = false;
    if (browseError_ && state.lastError == browseError_) state.lastError.reset();  // not the session's
    state.state = ConnState::connected(session->peer().name);
    VelmoraLog::write("conectado a " + session->peer().name + " via " + request.kind +
                      " (novo=" + (session->newlyPaired() ? "true" : "false") + ")");
    state.paired = context_->store->all();
    // The phone now counts this computer as paired; without the file, it would be refused after a restart.
    if (session->peerSaveFailed()) {
        const Peer& peer = session->peer();
        VelmoraLog::write("pareamento com " + peer.name + " (" + peer.id +
                          "): peers.json não foi gravado; o celular terá de parear de novo após reiniciar");
        showNotice(L10n::string("pairing.not_saved.title"),
                   L10n::format("pairing.not_saved.text", {peer.name}), kPairingNotSavedNoticeSeconds);
    }
    startHeartbeat();
    pushNotifFilter();
    send({{"t", "apps.get"}});
}

void AppModel::attemptFailed(const Failure& failure, const ConnectRequest& request) {
    if (shutDown_) return;
    PublishedState& state = edit();
    state.lastError = failure.friendly;
    VelmoraLog::write("falha ao conectar via " + request.kind + ": " + failure.developer);
    state.state = ConnState::idle();
    const auto& cxp = failure.link;
    if (!request.userInitiated || (cxp && cxp->kind() == CXPError::Kind::unexpectedPeer))
        markFailure(request.key);
    if (cxp && cxp->kind() == CXPError::Kind::rejected && cxp->text() == "not_paired") {
        if (lostWork_) lostWork_->cancel();
        state.phoneLost = false;
    } else {
        armLostTimer();
    }
    scheduleReconnect();
}

}  // namespace velmora
