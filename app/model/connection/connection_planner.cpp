#include "app/model/connection/connection_planner.h"

#include <algorithm>

#include "core/l10n/l10n.h"

namespace velmora::ConnectionPlanner {
namespace {

// Seconds for the transport to connect, per target. An advertised service without an address may still
// have to be resolved; Bluetooth connects slowly.
constexpr double kUsbTimeout = 4;
constexpr double kDnsSdTimeout = 4;
constexpr double kDnsSdUnresolvedTimeout = 8;
constexpr double kRememberedTimeout = 3;
constexpr double kHotspotTimeout = 2;
constexpr double kBleTimeout = 10;

// Same-subnet addresses are worth a few tries; of the rest only the newest, since another subnet is
// usually a network we have left.
constexpr std::size_t kMaxRememberedTries = 3;

struct Walk {
    const PlannerInput& in;
    const FailureBook& failures;
    double now;

    bool rests(const std::string& key) const { return failures.cooling(key, now); }
    bool near(const std::string& address) const { return in.sameSubnet && in.sameSubnet(address); }

    std::optional<Attempt> usb() const {
        auto phone = std::find_if(in.usb.begin(), in.usb.end(), [](const PlannerUsb& u) { return u.known; });
        if (phone == in.usb.end() || !phone->hasEndpoint) return std::nullopt;
        std::string key = CandidateKey::usb(phone->serial).text();
        if (rests(key)) return std::nullopt;
        return Attempt{ConnKind::usb, key,         phone->name,
                       std::nullopt,  kUsbTimeout, PlannedTarget::usb(phone->serial),
                       std::nullopt};
    }

    std::optional<Attempt> wifi() const {
        if (auto a = advertised()) return a;
        return remembered();
    }

    std::optional<Attempt> advertised() const {
        for (const auto& phone : in.wifi) {
            if (!phone.paired || !phone.hasEndpoint) continue;
            std::string key = phone.failureKey();
            if (rests(key)) continue;
            double timeout = phone.ip ? kDnsSdTimeout : kDnsSdUnresolvedTimeout;
            return Attempt{ConnKind::wifi, key,     phone.name,
                           phone.id,       timeout, PlannedTarget::dnsSd(phone.id, phone.endpointKey),
                           std::nullopt};
        }
        return std::nullopt;
    }

    std::optional<Attempt> remembered() const {
        for (const auto& peer : in.peers) {
            // A phone the browser sees is reached through its service, never at an old address.
            bool seen = std::any_of(in.wifi.begin(), in.wifi.end(),
                                    [&](const PlannerPhone& p) { return p.id == peer.id; });
            if (seen) continue;
            for (const auto& address : rememberedCandidates(peer)) {
                const CandidateKey candidate = near(address) ? CandidateKey::net(peer.id, address)
                                                             : CandidateKey::netFar(peer.id, address);
                std::string key = candidate.text();
                if (rests(key)) continue;
                return Attempt{ConnKind::wifi,
                               key,
                               peer.name,
                               peer.id,
                               kRememberedTimeout,
                               PlannedTarget::ip(address),
                               "sem mDNS para " + peer.name + ": tentando o último IP conhecido " + address};
            }
        }
        return std::nullopt;
    }

    // The same-subnet addresses in stored order, then the first other one; at most three.
    std::vector<std::string> rememberedCandidates(const PlannerPeer& peer) const {
        std::vector<std::string> candidates;
        std::optional<std::string> far;
        for (const auto& address : peer.knownAddrs) {
            if (near(address)) {
                candidates.push_back(address);
            } else if (!far) {
                far = address;
            }
        }
        if (far) candidates.push_back(*far);
        if (candidates.size() > kMaxRememberedTries) candidates.resize(kMaxRememberedTries);
        return candidates;
    }

    std::optional<Attempt> hotspot() const {
        if (!in.gateway || in.hotspotPeers.empty()) return std::nullopt;
        auto mapped = in.hotspotPeers.find(*in.gateway);
        if (mapped == in.hotspotPeers.end()) return std::nullopt;
        const std::string& phoneID = mapped->second;
        bool isPeer = std::any_of(in.peers.begin(), in.peers.end(),
                                  [&](const PlannerPeer& p) { return p.id == phoneID; });
        if (!isPeer) return std::nullopt;
        // While a paired phone is seen on the local network we are not on its hotspot in any useful way.
        bool pairedSeen =
            std::any_of(in.wifi.begin(), in.wifi.end(), [](const PlannerPhone& p) { return p.paired; });
        if (pairedSeen) return std::nullopt;
        std::string key = CandidateKey::gateway(*in.gateway).text();
        if (rests(key)) return std::nullopt;
        return Attempt{ConnKind::hotspot,
                       key,
                       L10n::string("phone.hotspot_label"),
                       phoneID,
                       kHotspotTimeout,
                       PlannedTarget::gateway(*in.gateway),
                       std::nullopt};
    }

    std::optional<Attempt> ble() const {
        for (const auto& phone : in.ble) {
            if (!phone.paired) continue;
            std::vector<std::string> ids{phone.id};
            ids.insert(ids.end(), phone.altIDs.begin(), phone.altIDs.end());
            for (const auto& id : ids) {
                std::string key = CandidateKey::ble(id).text();
                if (rests(key)) continue;
                return Attempt{ConnKind::ble,      key,         phone.name,
                               phone.devicePrefix, kBleTimeout, PlannedTarget::ble(id),
                               std::nullopt};
            }
        }
        return std::nullopt;
    }

    std::optional<Attempt> step(ConnKind kind) const {
        switch (kind) {
            case ConnKind::usb:
                return usb();
            case ConnKind::wifi:
                return wifi();
            case ConnKind::hotspot:
                return hotspot();
            case ConnKind::ble:
                return ble();
        }
        return std::nullopt;
    }
};

std::vector<ConnKind> walkOrder(const PlannerInput& in) {
    std::vector<ConnKind> order = in.order;
    if (!in.preferBle) return order;
    auto first = std::find(order.begin(), order.end(), ConnKind::ble);
    if (first != order.end()) std::rotate(order.begin(), first, first + 1);
    return order;
}

}  // namespace

std::optional<Attempt> nextAttempt(const PlannerInput& input, const FailureBook& failures, double now) {
    Walk walk{input, failures, now};
    for (ConnKind kind : walkOrder(input)) {
        if (auto attempt = walk.step(kind)) return attempt;
    }
    return std::nullopt;
}

}  // namespace velmora::ConnectionPlanner
