#include "app/shell/phones/phone_row_rules.h"

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

void removeAll(std::string& text, const std::string& part) {
    if (part.empty()) return;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
}

std::string badgeOf(const DiscoveredPhone& phone) {
    if (isCablePhone(phone)) return "USB";
    return phone.isBle() ? "BT" : "WI-FI";
}

std::string pairMenuEntry() {
    return L10n::string("ref.android.pair_new_mac");
}

void setSubtitle(PhoneRowView& row, const PhoneRowInput& in, bool cable, Readiness ready) {
    if (cable) {
        row.subtitle =
            in.listedPaired ? L10n::string("panel.phone.sub.usb") : L10n::string("panel.phone.sub.usb_new");
        return;
    }
    switch (ready) {
        case Readiness::direct:
            row.subtitle =
                in.phone.isBle() ? L10n::string("panel.phone.sub.ble") : L10n::string("panel.phone.sub.wifi");
            return;
        case Readiness::ready:
            row.subtitle = L10n::string("panel.phone.sub.ready");
            row.subtitleTone = TextTone::ok;
            return;
        case Readiness::waiting:
            row.subtitle = L10n::format("panel.phone.sub.waiting", {pairMenuEntry()});
            return;
        case Readiness::silent:
            row.subtitle = L10n::format("panel.phone.sub.old_app", {pairMenuEntry()});
            row.subtitleTone = TextTone::warn;
            return;
    }
}

}  // namespace

bool isCablePhone(const DiscoveredPhone& phone) {
    return phone.id.starts_with("usb:");
}

Readiness readiness(bool pairedNow, bool cable, std::optional<bool> pairFlag) {
    if (pairedNow || cable) return Readiness::direct;
    if (!pairFlag) return Readiness::silent;
    return *pairFlag ? Readiness::ready : Readiness::waiting;
}

std::string withoutLinkSuffixes(const std::string& name) {
    std::string title = name;
    removeAll(title, L10n::string("phone.suffix.usb"));
    removeAll(title, L10n::string("phone.suffix.ble"));
    return title;
}

PhoneRowView phoneRowView(const PhoneRowInput& in) {
    const bool cable = isCablePhone(in.phone);
    const Readiness ready = readiness(in.pairedNow, cable, in.pairFlag);
    PhoneRowView row;
    row.phone = in.phone;
    row.title = withoutLinkSuffixes(in.phone.name);
    row.badge = badgeOf(in.phone);
    setSubtitle(row, in, cable, ready);
    row.pairedGlyph = in.listedPaired;
    if (in.listedPaired)
        row.buttonLabel = L10n::string("panel.phone.connect");
    else
        row.buttonLabel = cable ? L10n::string("panel.phone.connect_pair") : L10n::string("panel.phone.pair");
    row.primaryButton = in.listedPaired && in.primary;
    row.enabled = ready != Readiness::waiting;
    if (ready == Readiness::waiting)
        row.tooltip = L10n::format("panel.phone.pair_disabled.help", {pairMenuEntry()});
    if (in.listedPaired)
        row.accessibleLabel = L10n::format("a11y.phone.connect_to", {row.title});
    else if (cable)
        row.accessibleLabel = L10n::format("a11y.phone.connect_pair_with", {row.title});
    else
        row.accessibleLabel = L10n::format("a11y.phone.pair_with", {row.title});
    return row;
}

}  // namespace velmora
