// While the phone's screen stays off and nothing happens on the link, the live TCP session moves down to
// Bluetooth: a Bluetooth session to the same phone is opened in the background and swapped in.
#include "app/model/app_model.h"
#include "app/model/connection/idle_policy.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr double kBluetoothConnectTimeout = 10.0;
constexpr double kDescentGuard = 25.0;  // the Bluetooth connection and the whole handshake
constexpr int kPoweredOn = 5;

bool overBluetooth(const std::string& transportKind) {
    return transportKind == "ble" || transportKind == "l2cap";
}

}  // namespace

void AppModel::evaluateIdle() {
    if (!live_ || !autoConnect_ || state_.state.kind() != ConnState::Kind::connected || !session_) return;
    const std::string kind = session_->transportKind();
    if (overBluetooth(kind)) return;
    const bool transferring = hasTransferWork();
    // The phone as the Bluetooth scan sees it: the prefix it advertises starts its device id.
    const std::string& peerID = session_->peer().id;
    const auto target = std::ranges::find_if(state_.blePhones, [&](const DiscoveredPhone& phone) {
        return phone.bleID && phone.devicePrefix && !phone.devicePrefix->empty() &&
               peerID.starts_with(*phone.devicePrefix);
    });
    const bool found = target != state_.blePhones.end();

    IdlePolicy::DescendInputs in;
    in.tcpSession = true;
    in.cable = state_.activeKind == ConnKind::usb &&
               (!activeUsbSerial_ || !IdlePolicy::isWirelessAdb(*activeUsbSerial_));
    in.phoneReportsScreen = phoneScreenOn_.has_value();
    if (phoneScreenOffSince_) in.phoneScreenOffFor = now() - *phoneScreenOffSince_;
    in.phoneFast = phoneFast_;
    in.mirroring = state_.mirroring;
    in.transferring = transferring;
    in.busy = upgrading_ || descending_ || context_->pairingPrompted.load();
    in.bluetoothAllowed = enabled(ConnKind::ble);
    in.bluetoothReady = state_.bluetoothState == kPoweredOn && found;
    in.cooldown = descendCooldownUntil_ > now();
    const IdlePolicy::Decision decision = IdlePolicy::descend(in);

    const std::string note =
        decision.descends() ? "descendo para o Bluetooth"
                            : "mantendo " + kind + ": " + std::string(IdlePolicy::rawValue(*decision.stay));
    if (note != idleNote_) {
        idleNote_ = note;
        if (decision.stay != IdlePolicy::Stay::screenOn) VelmoraLog::write("modo ocioso: " + note);
    }
    if (decision.descends() && found) runDescend(*target->bleID, session_);
}

void AppModel::runDescend(const std::string& bleID, std::shared_ptr<LinkSession> replaced) {
    descending_ = true;
    const auto offFor = phoneScreenOffSince_ ? static_cast<std::int64_t>(now() - *phoneScreenOffSince_) : 0;
    VelmoraLog::write("modo ocioso: abrindo sessão Bluetooth antes de fechar a " + replaced->transportKind() +
                      " (tela do celular apagada há " + std::to_string(offFor) + " s)");
    const bool launched =
        workers_.launch([weak = weak_from_this(), context = context_, &workers = workers_,
                         transports = ports_.transports, bleID, replaced = std::move(replaced)]() mutable {
            descendOnWorker(std::move(weak), std::move(context), workers, std::move(transports),
                            std::move(bleID), std::move(replaced));
        });
    if (!launched) descending_ = false;
}

// The worker: the Bluetooth link and the handshake, then the new session's receive loop after a win.
void AppModel::descendOnWorker(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                               AttemptWorkers& workers, std::shared_ptr<TransportFactory> transports,
                               std::string bleID, std::shared_ptr<LinkSession> replaced) {
    const auto onMain = [&](std::function<void(AppModel&)> work) {
        context->main->post([model, work = std::move(work)] {
            if (const auto live = model.lock()) work(*live);
        });
    };
    BesideSession opened;
    try {
        // Closing the transport also cancels the central's open of that peripheral.
        opened = openBeside(*context, workers, *transports, transports->ble(bleID), kBluetoothConnectTimeout,
                            kDescentGuard, replaced->peer().id, "ble");
    } catch (...) {
        const Failure failure = Failure::of(std::current_exception());
        // Logged on main with the rest it sets: whoever reads the line finds the rest counted from then.
        onMain([line = "modo ocioso: a sessão Bluetooth não abriu (" + failure.developer + "); mantendo " +
                       replaced->transportKind()](AppModel& m) {
            VelmoraLog::write(line);
            m.descendCooldownUntil_ = m.now() + IdlePolicy::retryCooldown;
        });
    }
    onMain([opened, replaced](AppModel& m) { m.descentFinished(opened, replaced); });
    if (opened.session) runBeside(std::move(model), context, workers, opened);
}

void AppModel::descentFinished(BesideSession opened, std::shared_ptr<LinkSession> replaced) {
    descending_ = false;
    const auto& fresh = opened.session;
    if (!fresh) return;
    if (shutDown_) {
        fresh->close();
        return;
    }
    // The swap rule, with the phone's own activity added: it may have woken while Bluetooth opened.
    if (!session_ || session_ != replaced || state_.mirroring || hasTransferWork() ||
        phoneScreenOn_ != false || phoneFast_) {
        VelmoraLog::write(
            "modo ocioso: o celular voltou a ser usado (ou algo começou) durante a troca; ficando em " +
            replaced->transportKind());
        fresh->close();
        return;
    }
    VelmoraLog::write("modo ocioso: descendo para Bluetooth (" + opened.kind + "); encerrando a sessão " +
                      replaced->transportKind());
    PublishedState& state = edit();
    state.linkKind = "ble";
    state.bleFast = opened.kind == "l2cap";
    state.activeKind = ConnKind::ble;
    activeUsbSerial_.reset();
    state.idleDescended = true;
    sessionOpenedAt_ = now();
    sessionKindLabel_ = "ble/ocioso";
    swapIn(fresh, replaced);
}

}  // namespace velmora
