// The default gateway, the phones' hotspots ("hotspotPeers": gateway -> phone id) and the addresses each
// phone offered ("knownAddrs": phone id -> addresses, newest first), and the phone's "net.offer".
#include <algorithm>

#include "app/model/app_model.h"
#include "core/discovery/device_id.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"
#include "core/net/default_gateway.h"
#include "core/net/ipv4.h"
#include "core/net/net_info.h"

namespace velmora {

namespace {

constexpr std::size_t kMaxHotspots = 16;
constexpr std::size_t kMaxAddrsPerPhone = 6;

bool isQuad(const std::string& text) {
    return IPv4::value(text).has_value();
}

// An entry of "hotspotPeers" that means something: a dotted quad to a device id.
bool validHotspot(const std::pair<const std::string, std::string>& entry) {
    return isQuad(entry.first) && Discovery::isDeviceID(entry.second);
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : ", ") + part;
    return out;
}

// Interfaces that never share a network with the phone: loopback, tunnels, containers, bridges.
bool isVirtual(const std::string& entry) {
    static constexpr std::string_view kPrefixes[] = {"lo",     "utun", "tun",   "wg",
                                                     "docker", "veth", "virbr", "br-"};
    return std::ranges::any_of(kPrefixes, [&](std::string_view p) { return entry.starts_with(p); });
}

}  // namespace

// Reads the gateway on a worker; a change forgets every failure, since targets that failed on the old
// network may work on this one.
void AppModel::refreshGateway() {
    const auto read = ports_.defaultGateway ? ports_.defaultGateway : [] { return DefaultGateway::read(); };
    (void)workers_.launch([weak = weak_from_this(), main = ports_.main, read] {
        auto gateway = read();
        main->post([weak, gateway = std::move(gateway)] {
            const auto model = weak.lock();
            if (!model || model->shutDown_ || gateway == model->gatewayIP_) return;
            model->gatewayIP_ = gateway;
            // Targets that failed or were tried as upgrades on the old network may work on the new one.
            model->failures_.removeAll();
            model->upgradeCooldown_.clear();
            VelmoraLog::write("gateway padrão do computador: " + gateway.value_or("nenhum") +
                              " | rede: " + NetInfo::describe(gateway));
            model->maybeAutoConnect();
        });
    });
}

std::map<std::string, std::string> AppModel::hotspotPeers() {
    Settings& settings = *ports_.settings;
    auto peers = settings.stringMap("hotspotPeers").value_or(std::map<std::string, std::string>{});
    if (const auto legacy = settings.stringList("knownHotspotGateways")) {
        const std::vector<Peer> paired = context_->store->all();
        if (paired.size() == 1) {
            for (const std::string& entry : *legacy)
                if (entry.starts_with("gw:") && isQuad(entry.substr(3)))
                    peers[entry.substr(3)] = paired[0].id;
            settings.setValue("hotspotPeers", peers);
        }
        settings.remove("knownHotspotGateways");
    }
    std::erase_if(peers, [](const auto& entry) { return !validHotspot(entry); });
    return peers;
}

// At most 16 valid entries, always with `keep`: phones no longer paired go first, then the rest in order.
void AppModel::setHotspotPeers(const std::map<std::string, std::string>& peers, const std::string& keep) {
    std::map<std::string, std::string> kept = peers;
    std::erase_if(kept, [](const auto& entry) { return !validHotspot(entry); });
    const std::vector<Peer> paired = context_->store->all();
    const auto isPairedID = [&](const std::string& id) {
        return std::ranges::any_of(paired, [&](const Peer& p) { return p.id == id; });
    };
    for (const bool dropPaired : {false, true}) {
        for (auto it = kept.begin(); it != kept.end() && kept.size() > kMaxHotspots;) {
            if (it->first != keep && (dropPaired || !isPairedID(it->second)))
                it = kept.erase(it);
            else
                ++it;
        }
    }
    ports_.settings->setValue("hotspotPeers", kept);
}

void AppModel::learnHotspot(const std::string& gateway, const std::string& peer) {
    if (!isQuad(gateway)) return;
    auto peers = hotspotPeers();
    if (const auto it = peers.find(gateway); it != peers.end() && it->second == peer) return;
    peers[gateway] = peer;
    setHotspotPeers(peers, gateway);
    VelmoraLog::write("hotspot conhecido: o gateway " + gateway + " é um celular pareado");
}

void AppModel::rememberAddrs(const std::string& peer, const std::vector<std::string>& ips) {
    auto stored = ports_.settings->stringListMap("knownAddrs")
                      .value_or(std::map<std::string, std::vector<std::string>>{});
    std::vector<std::string> merged = ips;
    if (const auto it = stored.find(peer); it != stored.end())
        for (const std::string& old : it->second)
            if (std::ranges::find(ips, old) == ips.end()) merged.push_back(old);
    if (merged.size() > kMaxAddrsPerPhone) merged.resize(kMaxAddrsPerPhone);
    if (const auto it = stored.find(peer); it != stored.end() && it->second == merged) return;
    stored[peer] = std::move(merged);
    ports_.settings->setValue("knownAddrs", stored);
}

void AppModel::handleOffer(std::uint64_t from, const std::vector<std::string>& ips, std::uint16_t port) {
    if (!isLive(from)) return;
    const std::string addresses = joined(ips);
    VelmoraLog::write("net.offer do celular: " + addresses + " porta " + std::to_string(port));
    knownPort_ = port;
    const std::string peer = session_->peer().id;
    rememberAddrs(peer, ips);
    if (gatewayIP_ && std::ranges::find(ips, *gatewayIP_) != ips.end()) learnHotspot(*gatewayIP_, peer);
    const bool near = ips.empty() || std::ranges::any_of(ips, [&](const std::string& ip) {
                          return ports_.sameSubnet ? ports_.sameSubnet(ip) : NetInfo::sameSubnet(ip);
                      });
    if (near) {
        if (state_.networkHint) edit().networkHint.reset();
    } else {
        std::vector<std::string> ours;
        for (std::string& entry : ports_.interfaces ? ports_.interfaces() : NetInfo::ipv4Interfaces())
            if (!isVirtual(entry)) ours.push_back(std::move(entry));
        const std::string mac = joined(ours);
        edit().networkHint =
            L10n::format("panel.network_hint.text",
                         {addresses, mac.empty() ? L10n::string("panel.network_hint.none") : mac});
        VelmoraLog::write("redes diferentes: celular " + addresses + " | computador " + mac);
    }
    considerUpgrade();
}

}  // namespace velmora
