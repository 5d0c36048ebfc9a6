// Pairings whose phone came back under a new identity (the app was reinstalled or its data cleared), and
// forgetting one after the user confirmed.
#include "app/model/app_model.h"
#include "core/l10n/l10n.h"

namespace velmora {

std::vector<StalePair> AppModel::stalePairs() const {
    std::vector<StalePairing::Device> seen;
    for (const DiscoveredPhone& phone : state_.phones)
        if (!phone.id.starts_with("usb:") && !phone.isBle()) seen.push_back({phone.id, phone.name});
    std::vector<std::string> blePrefixes;
    for (const DiscoveredPhone& phone : state_.blePhones)
        if (phone.devicePrefix) blePrefixes.push_back(*phone.devicePrefix);
    std::vector<StalePairing::Device> paired;
    for (const Peer& peer : state_.paired)
        paired.push_back({peer.id, peer.name});
    return StalePairing::find(paired, seen, blePrefixes);
}

// Cancel is the first button and the default; only "forget" removes the pairing. The phone's remembered
// addresses and hotspot stay stored. The peer is copied first: the caller's may live in `paired`, which the
// dialog's event loop and the forget itself replace.
void AppModel::confirmForgetStale(const Peer& peer) {
    const Peer asked = peer;
    const std::size_t choice = ports_.alerts->choose(
        L10n::format("panel.stale.confirm.title", {asked.name}), L10n::string("panel.stale.confirm.text"),
        {L10n::string("common.cancel"), L10n::string("panel.stale.forget")});
    if (choice == 1) forgetPaired(asked.id);  // a failed write is told and logged there
}

}  // namespace velmora
