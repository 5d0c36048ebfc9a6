// The cable and Bluetooth phone lists, and what the rest asks of a discovered phone: is it paired, does it
// ask to be paired.
#include <algorithm>

#include "app/model/app_model.h"
#include "core/discovery/pairing_beacon.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr std::string_view kUsbPrefix = "usb:";
constexpr std::string_view kBlePrefix = "ble:";

// A Bluetooth phone's id prefix; an empty one would match every id, so it counts as none.
std::optional<std::string> prefixOf(const DiscoveredPhone& phone) {
    if (phone.devicePrefix && !phone.devicePrefix->empty()) return phone.devicePrefix;
    return std::nullopt;
}

// Whether q is another sighting of `phone`: the same id, or a Bluetooth and a network sighting (no cable
// phone) whose prefix starts the network id.
bool sameSighting(const DiscoveredPhone& phone, const DiscoveredPhone& q) {
    if (q.id == phone.id) return true;
    if (q.id.starts_with(kUsbPrefix) || phone.id.starts_with(kUsbPrefix)) return false;
    if (q.isBle() == phone.isBle()) return false;
    const DiscoveredPhone& ble = q.isBle() ? q : phone;
    const DiscoveredPhone& net = q.isBle() ? phone : q;
    const auto prefix = prefixOf(ble);
    return prefix && net.id.starts_with(*prefix);
}

}  // namespace

void AppModel::setInstallerCandidates(std::vector<std::string> serials) {
    installerSerials_ = std::move(serials);
    applyUsbPhones();
}

// The bridge's list without the phones the installer offers to set up. While the cable kind is off nothing
// refills the list: a poll in flight or an installer change lands here and is dropped.
void AppModel::applyUsbPhones() {
    if (!enabled(ConnKind::usb)) {
        rawUsbPhones_.clear();
        if (!state_.usbPhones.empty()) edit().usbPhones.clear();
        return;
    }
    std::vector<DiscoveredPhone> shown;
    for (const DiscoveredPhone& phone : rawUsbPhones_) {
        const std::string serial = phone.id.starts_with(kUsbPrefix) ? phone.id.substr(kUsbPrefix.size()) : "";
        if (std::ranges::find(installerSerials_, serial) == installerSerials_.end()) shown.push_back(phone);
    }
    if (shown.size() != state_.usbPhones.size())
        VelmoraLog::write("celulares por cabo: " + std::to_string(shown.size()));
    // Whole values: a new forward port or name must reach the list, or connections go to a stale port.
    if (shown != state_.usbPhones) edit().usbPhones = std::move(shown);
}

void AppModel::applyBlePhones(std::vector<BlePhone> phones) {
    if (!enabled(ConnKind::ble)) return;  // a list still under way when the kind went off
    if (phones.size() != state_.blePhones.size())
        VelmoraLog::write("celulares por Bluetooth: " + std::to_string(phones.size()));
    const std::vector<Peer> stored = context_->store->all();
    std::vector<DiscoveredPhone> mapped;
    for (BlePhone& b : phones) {
        DiscoveredPhone phone;
        phone.id = std::string(kBlePrefix) + b.id;
        phone.bleID = b.id;
        phone.devicePrefix = b.devicePrefix;
        phone.pairFlag = b.pairFlag;
        phone.bleAlts = std::move(b.alternates);
        const auto prefix = prefixOf(phone);
        const auto owner = std::ranges::find_if(
            stored, [&](const Peer& peer) { return prefix && peer.id.starts_with(*prefix); });
        phone.name = owner != stored.end() ? owner->name + L10n::string("phone.suffix.ble")
                                           : L10n::string("phone.ble_unknown");
        mapped.push_back(std::move(phone));
    }
    if (mapped != state_.blePhones) edit().blePhones = std::move(mapped);
    logPairFlags();
    maybeAutoConnect();
}

bool AppModel::isPaired(const DiscoveredPhone& phone) const {
    if (!phone.isBle()) return context_->store->find(phone.id).has_value();
    const auto prefix = prefixOf(phone);
    if (!prefix) return false;
    return std::ranges::any_of(context_->store->all(),
                               [&](const Peer& peer) { return peer.id.starts_with(*prefix); });
}

std::optional<bool> AppModel::pairFlag(const DiscoveredPhone& phone) const {
    std::vector<std::optional<bool>> flags;
    for (const auto* list : {&state_.phones, &state_.blePhones})
        for (const DiscoveredPhone& q : *list)
            if (sameSighting(phone, q)) flags.push_back(q.pairFlag);
    return PairingBeacon::merge(flags);
}

// One line per phone whose pairing window changed since the last look.
void AppModel::logPairFlags() {
    std::map<std::string, std::string> now;
    for (const auto* list : {&state_.phones, &state_.blePhones}) {
        for (const DiscoveredPhone& phone : *list) {
            const auto flag = pairFlag(phone);
            const std::string text = flag ? (*flag ? "aberta" : "fechada") : "sem-bandeira";
            std::string key;
            if (!phone.isBle())
                key = "wifi:" + phone.id.substr(0, 8);
            else if (phone.devicePrefix)
                key = "ble:" + phone.devicePrefix->substr(0, 8);
            else
                key = "ble:" + phone.id.substr(kBlePrefix.size(), 8);
            now[key] = text;
        }
    }
    for (const auto& [key, text] : now) {
        const auto it = lastPairLog_.find(key);
        if (it == lastPairLog_.end() || it->second != text)
            VelmoraLog::write("janela de pareamento do celular (" + key + "): " + text);
    }
    lastPairLog_ = std::move(now);
}

}  // namespace velmora
