// Moving the live session to a faster link to the same phone: a second session is opened in the background
// and swapped in only once it is authenticated, so the panel never passes through idle.
#include "app/model/app_model.h"
#include "app/model/connection/session_swap.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr double kUpgradeConnectTimeout = 3.0;
constexpr double kUpgradeGuard = 7.0;        // connecting and the whole handshake of one try
constexpr std::size_t kUsbPrefixLength = 4;  // "usb:"

// The addresses remembered for `peerID`; none when the entry is missing or is not a list of texts.
std::vector<std::string> knownAddrsOf(const Settings& settings, const std::string& peerID) {
    const auto all = settings.value("knownAddrs");
    if (!all || !all->is_object()) return {};
    const auto entry = all->find(peerID);
    if (entry == all->end() || !entry->is_array()) return {};
    std::vector<std::string> addresses;
    for (const auto& address : *entry) {
        if (!address.is_string()) return {};
        addresses.push_back(address.get<std::string>());
    }
    return addresses;
}

std::string serialOf(const DiscoveredPhone& phone) {
    return phone.id.size() > kUsbPrefixLength ? phone.id.substr(kUsbPrefixLength) : "";
}

}  // namespace

void AppModel::considerUpgrade() {
    if (!live_ || !autoConnect_ || upgrading_ || descending_ || state_.idleDescended) return;
    if (state_.state.kind() != ConnState::Kind::connected || !state_.activeKind || !session_) return;
    if (state_.mirroring || context_->pairingPrompted.load() || hasTransferWork()) return;

    ConnectionPlanner::UpgradeInput input;
    input.current = *state_.activeKind;
    for (const LinkPref& pref : state_.linkPrefs)
        if (pref.enabled) input.order.push_back(pref.kind);
    input.peerID = session_->peer().id;
    const auto known = ports_.settings->stringList("usbKnown").value_or(std::vector<std::string>{});
    const auto cable = std::ranges::find_if(state_.usbPhones, [&](const DiscoveredPhone& phone) {
        return std::ranges::find(known, serialOf(phone)) != known.end();
    });
    if (cable != state_.usbPhones.end())
        input.usb = PlannerUsb{serialOf(*cable), cable->name, true, cable->endpoint.has_value()};
    for (const DiscoveredPhone& phone : state_.phones)
        if (phone.id == input.peerID && phone.ip) input.dnsSdIPs.push_back(*phone.ip);
    input.knownAddrs = knownAddrsOf(*ports_.settings, input.peerID);

    const auto upgrade = ConnectionPlanner::nextUpgrade(input, upgradeCooldown_, now());
    if (!upgrade) return;
    std::vector<LinkTry> tries = upgradeTries(upgrade->tries);
    if (tries.empty()) return;

    upgrading_ = true;
    std::string keys;
    for (const LinkTry& linkTry : tries)
        keys += (keys.empty() ? "" : ", ") + linkTry.key;
    VelmoraLog::write("tentando subir de " + std::string(rawValue(input.current)) + " para " +
                      std::string(rawValue(upgrade->kind)) + ": " + keys);
    const bool launched = workers_.launch([weak = weak_from_this(), context = context_, &workers = workers_,
                                           transports = ports_.transports, kind = upgrade->kind,
                                           tries = std::move(tries), replaced = session_]() mutable {
        runUpgrade(std::move(weak), std::move(context), workers, std::move(transports), kind,
                   std::move(tries), std::move(replaced));
    });
    if (!launched) upgrading_ = false;
}

// Where each planned try connects: an address on the phone's port, or a cable phone's forward. Targets
// that cannot be reached this way are dropped.
std::vector<AppModel::LinkTry> AppModel::upgradeTries(
    const std::vector<ConnectionPlanner::UpgradeTry>& planned) const {
    std::vector<LinkTry> tries;
    for (const ConnectionPlanner::UpgradeTry& p : planned) {
        if (const auto* ip = std::get_if<PlannedTarget::Ip>(&p.target.value)) {
            tries.push_back({p.key, {ip->address, knownPort_}});
        } else if (const auto* usb = std::get_if<PlannedTarget::Usb>(&p.target.value)) {
            const auto phone = std::ranges::find_if(
                state_.usbPhones, [&](const DiscoveredPhone& q) { return serialOf(q) == usb->serial; });
            if (phone != state_.usbPhones.end() && phone->endpoint)
                tries.push_back({p.key, *phone->endpoint});
        }
    }
    return tries;
}

// The worker: each try in order until one gives an authenticated session, whose receive loop this thread
// then runs. It never holds the model; what it learns goes to main.
void AppModel::runUpgrade(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                          AttemptWorkers& workers, std::shared_ptr<TransportFactory> transports,
                          ConnKind kind, std::vector<LinkTry> tries, std::shared_ptr<LinkSession> replaced) {
    const auto onMain = [&](std::function<void(AppModel&)> work) {
        context->main->post([model, work = std::move(work)] {
            if (const auto live = model.lock()) work(*live);
        });
    };
    BesideSession opened;
    bool finished = false;  // the last failure's step on main ended the upgrade
    for (std::size_t i = 0; i < tries.size(); ++i) {
        try {
            std::shared_ptr<ConnectableTransport> transport = makeNW(*transports, tries[i].endpoint);
            opened = openBeside(*context, workers, *transports, transport, kUpgradeConnectTimeout,
                                kUpgradeGuard, replaced->peer().id, "tcp");
            opened.key = tries[i].key;
            break;
        } catch (...) {
            // A failure is logged and its address rested in one step on main, and the last one also ends the
            // upgrade there: whoever reads the line finds the rest in force and the model free to plan.
            finished = i + 1 == tries.size();
            onMain([key = tries[i].key, developer = Failure::of(std::current_exception()).developer,
                    last = finished, replaced, kind](AppModel& m) {
                VelmoraLog::write("subida falhou em " + key + ": " + developer);
                m.upgradeCooldown_[key] = m.now() + ConnectionPlanner::upgradeCooldownSeconds;
                if (last) m.upgradeFinished({}, replaced, kind);
            });
        }
    }
    if (!finished)
        onMain([opened, replaced, kind](AppModel& m) { m.upgradeFinished(opened, replaced, kind); });
    if (opened.session) runBeside(std::move(model), context, workers, opened);
}

void AppModel::upgradeFinished(BesideSession opened, std::shared_ptr<LinkSession> replaced, ConnKind kind) {
    upgrading_ = false;
    const auto& fresh = opened.session;
    if (shutDown_) {
        if (fresh) fresh->close();
        return;
    }
    if (!fresh) {
        flushWake();
        return;
    }
    switch (SessionSwap::verdict(session_ && session_ == replaced, state_.mirroring, hasTransferWork())) {
        case SessionSwap::Verdict::discardStale:
            fresh->close();
            flushWake();
            return;
        case SessionSwap::Verdict::discardBusy:
            VelmoraLog::write(
                "subida cancelada: espelhamento ou transferência começou durante a troca; mantendo a "
                "sessão " +
                replaced->transportKind());
            fresh->close();
            flushWake();
            return;
        case SessionSwap::Verdict::commit:
            break;
    }
    VelmoraLog::write("subindo para " + std::string(rawValue(kind)) + " (" + opened.key +
                      "); encerrando a conexão anterior");
    PublishedState& state = edit();
    state.linkKind = "tcp";
    state.bleFast = false;
    state.activeKind = kind;
    const bool cable = opened.key.starts_with("usb:");
    activeUsbSerial_ = cable ? std::optional(opened.key.substr(kUsbPrefixLength)) : std::nullopt;
    sessionOpenedAt_ = now();
    sessionKindLabel_ = "tcp/" + opened.key.substr(0, kUsbPrefixLength);
    swapIn(fresh, replaced);
    flushWake();
}

}  // namespace velmora
