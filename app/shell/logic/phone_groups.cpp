#include "app/shell/logic/phone_groups.h"

#include <algorithm>
#include <set>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

void removeAll(std::string& text, std::string_view needle) {
    if (needle.empty()) return;  // an empty needle would match forever
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at))
        text.erase(at, needle.size());
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool paired(const PanelInputs& in, const DiscoveredPhone& phone) {
    return in.isPaired && in.isPaired(phone);
}

// A cable phone counts as known when it connected over a cable before, or a stored peer has its name.
bool knownCablePhone(const PanelInputs& in, const DiscoveredPhone& phone, const std::string& stripped) {
    constexpr std::string_view usbPrefix = "usb:";
    if (startsWith(phone.id, usbPrefix)) {
        const auto serial = std::string_view(phone.id).substr(usbPrefix.size());
        if (std::find(in.usbKnown.begin(), in.usbKnown.end(), serial) != in.usbKnown.end()) return true;
    }
    return std::any_of(in.state.paired.begin(), in.state.paired.end(),
                       [&](const Peer& peer) { return peer.name == stripped; });
}

}  // namespace

std::string stripLinkSuffixes(std::string_view name, std::string_view usbSuffix, std::string_view bleSuffix) {
    std::string out(name);
    removeAll(out, usbSuffix);
    removeAll(out, bleSuffix);
    return out;
}

std::vector<PhoneGroup> phoneGroups(const PanelInputs& in, std::string_view usbSuffix,
                                    std::string_view bleSuffix) {
    const auto& s = in.state;
    std::vector<DiscoveredPhone> cable = s.usbPhones;
    std::set<std::string> seen, folded;
    std::vector<PhoneGroup> groups;
    const auto strip = [&](const DiscoveredPhone& p) {
        return stripLinkSuffixes(p.name, usbSuffix, bleSuffix);
    };

    for (const auto& phone : s.phones) {
        if (!seen.insert(phone.id).second) continue;
        for (const auto& ble : s.blePhones)
            if (ble.devicePrefix && startsWith(phone.id, *ble.devicePrefix)) folded.insert(ble.id);
        const bool isPaired = paired(in, phone);
        if (isPaired) {
            const auto twin = std::find_if(cable.begin(), cable.end(),
                                           [&](const DiscoveredPhone& t) { return strip(t) == phone.name; });
            if (twin != cable.end()) {
                groups.push_back({phone.id, *twin, true});
                cable.erase(twin);
                continue;
            }
        }
        groups.push_back({phone.id, phone, isPaired});
    }
    for (const auto& phone : cable)
        groups.push_back({phone.id, phone, knownCablePhone(in, phone, strip(phone))});
    for (const auto& phone : s.blePhones)
        if (!folded.count(phone.id)) groups.push_back({phone.id, phone, paired(in, phone)});

    std::stable_sort(groups.begin(), groups.end(),
                     [](const PhoneGroup& a, const PhoneGroup& b) { return a.paired && !b.paired; });
    return groups;
}

std::vector<PhoneGroup> phoneGroups(const PanelInputs& in) {
    return phoneGroups(in, L10n::string("phone.suffix.usb"), L10n::string("phone.suffix.ble"));
}

}  // namespace velmora
