// Whether to connect on our own, to what, and the rest after a failure.
#include <cmath>

#include "app/model/app_model.h"
#include "app/model/connection/connection_planner.h"
#include "core/log/velmora_log.h"
#include "core/transport/tcp_transport.h"

namespace velmora {

namespace {

constexpr std::string_view kUsbPrefix = "usb:";

bool isBleAddress(const std::string& id) {
    if (id.size() != 17) return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
        const char c = id[i];
        const bool ok = i % 3 == 2 ? c == ':' : (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (!ok) return false;
    }
    return true;
}

}  // namespace

PlannerInput AppModel::plannerInput() {
    PlannerInput in;
    for (const LinkPref& pref : state_.linkPrefs)
        if (pref.enabled) in.order.push_back(pref.kind);
    in.preferBle = preferBleUntil_ > now();
    const Settings& settings = *ports_.settings;
    for (const DiscoveredPhone& phone : state_.usbPhones) {
        const std::string serial = phone.id.starts_with(kUsbPrefix) ? phone.id.substr(kUsbPrefix.size()) : "";
        const auto known = settings.stringList("usbKnown").value_or(std::vector<std::string>{});
        in.usb.push_back({serial, phone.name, std::ranges::find(known, serial) != known.end(),
                          phone.endpoint.has_value()});
    }
    for (const DiscoveredPhone& phone : state_.phones) {
        in.wifi.push_back({phone.id, phone.name, phone.ip, netEndpoint(phone).has_value(),
                           context_->store->find(phone.id).has_value(), phone.epKey});
    }
    const auto knownAddrs =
        settings.stringListMap("knownAddrs").value_or(std::map<std::string, std::vector<std::string>>{});
    for (const Peer& peer : state_.paired) {
        const auto it = knownAddrs.find(peer.id);
        in.peers.push_back(
            {peer.id, peer.name, it == knownAddrs.end() ? std::vector<std::string>{} : it->second});
    }
    in.gateway = gatewayIP_;
    in.hasPairedPeers = !state_.paired.empty();
    in.hotspotPeers = hotspotPeers();  // valid entries only, the old key migrated
    for (const DiscoveredPhone& phone : state_.blePhones) {
        if (!phone.bleID) continue;
        const bool paired = phone.devicePrefix && std::ranges::any_of(state_.paired, [&](const Peer& p) {
                                return p.id.starts_with(*phone.devicePrefix);
                            });
        in.ble.push_back({*phone.bleID, phone.name, phone.devicePrefix, paired, phone.bleAlts});
    }
    in.sameSubnet = ports_.sameSubnet;
    return in;
}

void AppModel::maybeAutoConnect() {
    if (!live_ || !autoConnect_) return;
    if (state_.state.kind() != ConnState::Kind::idle) return;
    const auto attempt = ConnectionPlanner::nextAttempt(plannerInput(), failures_, now());
    if (attempt) start(*attempt);
}

void AppModel::markFailure(const std::string& key) {
    const double wait = failures_.markFailure(key, now(), true);
    VelmoraLog::write("candidato " + key + " em espera por " +
                      std::to_string(static_cast<std::int64_t>(wait)) +
                      " s (falhas seguidas: " + std::to_string(failures_.count(key)) + ")");
    // A handle whose time has come is spent (its task ran or is about to, and checks the model itself):
    // only the pending ones are kept for shutdown to cancel.
    std::erase_if(replans_, [now = now()](const auto& replan) { return replan.first <= now; });
    replans_.emplace_back(now() + wait + 0.3,
                          after(wait + 0.3, [](AppModel& model) { model.maybeAutoConnect(); }));
}

std::shared_ptr<ConnectableTransport> AppModel::makeNW(TransportFactory& transports,
                                                       const TcpEndpoint& endpoint) {
    auto transport = transports.tcp(endpoint);
    if (auto* tcp = dynamic_cast<TcpTransport*>(transport.get()))
        tcp->setStateLog([](const std::string& line) { VelmoraLog::write(line); });
    return transport;
}

// Turns a planned attempt into a transport recipe; an attempt whose target has gone since the plan ends
// here silently.
void AppModel::start(const Attempt& attempt) {
    if (attempt.note) VelmoraLog::write(*attempt.note);
    ConnectRequest request{attempt.label,    attempt.key, std::nullopt,           "tcp",
                           attempt.expected, false,       attempt.connectTimeout, nullptr};
    const auto transports = ports_.transports;
    const auto overTcp = [&](TcpEndpoint endpoint) {
        request.make = [transports, endpoint] { return makeNW(*transports, endpoint); };
    };
    if (const auto* usb = std::get_if<PlannedTarget::Usb>(&attempt.target.value)) {
        const auto it = std::ranges::find_if(state_.usbPhones, [&](const DiscoveredPhone& p) {
            return p.id.starts_with(kUsbPrefix) && p.id.substr(kUsbPrefix.size()) == usb->serial;
        });
        if (it == state_.usbPhones.end() || !it->endpoint) return;
        overTcp(*it->endpoint);
        request.usbSerial = usb->serial;
    } else if (const auto* dnsSd = std::get_if<PlannedTarget::DnsSd>(&attempt.target.value)) {
        const auto it = std::ranges::find_if(state_.phones, [&](const DiscoveredPhone& p) {
            return p.id == dnsSd->phoneID && p.epKey == dnsSd->endpointKey;
        });
        if (it == state_.phones.end() || !netEndpoint(*it)) return;
        overTcp(*netEndpoint(*it));
    } else if (const auto* ip = std::get_if<PlannedTarget::Ip>(&attempt.target.value)) {
        overTcp({ip->address, knownPort_});
    } else if (const auto* gateway = std::get_if<PlannedTarget::Gateway>(&attempt.target.value)) {
        overTcp({gateway->address, phonePort});
    } else if (const auto* ble = std::get_if<PlannedTarget::Ble>(&attempt.target.value)) {
        if (!isBleAddress(ble->id)) return;
        request.kind = "ble";
        request.make = [transports, id = ble->id] { return transports->ble(id); };
    }
    connect(std::move(request));
}

}  // namespace velmora
