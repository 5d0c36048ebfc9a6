#include "app/shell/prefs/logic/prefs_rules.h"

#include <algorithm>

namespace velmora::prefs {

SummaryCounts summaryCounts(const std::vector<LinkPref>& prefs, const std::vector<PhoneApp>& apps,
                            const NotifFilter& filter) {
    const auto kinds = std::ranges::count_if(prefs, [](const LinkPref& pref) { return pref.enabled; });
    return {static_cast<int>(kinds), countOn(apps, filter)};
}

bool keepOneHolds(const std::vector<LinkPref>& prefs, std::size_t index) {
    if (index >= prefs.size() || !prefs[index].enabled) return false;
    return std::ranges::count_if(prefs, [](const LinkPref& pref) { return pref.enabled; }) < 2;
}

std::optional<ConnKind> droppedKind(const QStringList& texts) {
    if (texts.isEmpty()) return std::nullopt;
    return connKindFromRaw(texts.first().toStdString());
}

LinkPreset bluetoothOnlyPreset() {
    return {
        {{ConnKind::ble, true}, {ConnKind::usb, false}, {ConnKind::wifi, false}, {ConnKind::hotspot, false}},
        "conexões: só Bluetooth"};
}

LinkPreset automaticPreset() {
    return {{{ConnKind::usb, true}, {ConnKind::wifi, true}, {ConnKind::hotspot, true}, {ConnKind::ble, true}},
            "conexões: automático (cabo > Wi-Fi > hotspot > Bluetooth)"};
}

}  // namespace velmora::prefs
