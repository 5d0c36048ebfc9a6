#include <algorithm>

#include "app/model/connection/connection_planner.h"

namespace velmora::ConnectionPlanner {
namespace {

constexpr std::size_t kMaxAddressTries = 3;

std::vector<UpgradeTry> rawTries(ConnKind kind, const UpgradeInput& in) {
    std::vector<UpgradeTry> tries;
    switch (kind) {
        case ConnKind::usb:
            if (in.usb && in.usb->known && in.usb->hasEndpoint) {
                tries.push_back(
                    {CandidateKey::usb(in.usb->serial).text(), PlannedTarget::usb(in.usb->serial)});
            }
            break;
        case ConnKind::wifi: {
            // Where the phone is seen now first, then where it was; no subnet test, since the live session
            // already tells that the phone is near.
            std::vector<std::string> addresses = in.dnsSdIPs;
            for (const auto& a : in.knownAddrs) {
                if (std::find(in.dnsSdIPs.begin(), in.dnsSdIPs.end(), a) == in.dnsSdIPs.end()) {
                    addresses.push_back(a);
                }
            }
            if (addresses.size() > kMaxAddressTries) addresses.resize(kMaxAddressTries);
            for (const auto& a : addresses)
                tries.push_back({CandidateKey::net(in.peerID, a).text(), PlannedTarget::ip(a)});
            break;
        }
        case ConnKind::hotspot:
        case ConnKind::ble:
            break;
    }
    return tries;
}

}  // namespace

std::optional<Upgrade> nextUpgrade(const UpgradeInput& input,
                                   const std::map<std::string, double, std::less<>>& cooldown, double now) {
    auto current = std::find(input.order.begin(), input.order.end(), input.current);
    if (current == input.order.end()) return std::nullopt;
    for (auto kind = input.order.begin(); kind != current; ++kind) {
        std::vector<UpgradeTry> tries = rawTries(*kind, input);
        std::erase_if(tries, [&](const UpgradeTry& t) {
            auto deadline = cooldown.find(t.key);
            return deadline != cooldown.end() && deadline->second >= now;
        });
        if (!tries.empty()) return Upgrade{*kind, std::move(tries)};
    }
    return std::nullopt;
}

}  // namespace velmora::ConnectionPlanner
