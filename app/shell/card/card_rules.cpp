#include "app/shell/card/card_rules.h"

#include "app/model/app_version.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

CardNotice::Extra updateExtra(const CardFacts& facts) {
    using Phase = InstallStatus::Phase;
    switch (facts.install.phase) {
        case Phase::installing:
            return CardNotice::Extra::installing;
        case Phase::success:
            return CardNotice::Extra::installDone;
        case Phase::failed:
            return CardNotice::Extra::installFailed;
        case Phase::idle:
            break;
    }
    return facts.cablePhone ? CardNotice::Extra::updateButton : CardNotice::Extra::plugHint;
}

std::vector<CardNotice> notices(const PublishedState& s, const CardFacts& facts, bool ble) {
    using Kind = CardNotice::Kind;
    using Extra = CardNotice::Extra;
    std::vector<CardNotice> out;
    if (facts.phoneNeedsUpdate) {
        const std::string version = s.phoneAppVersion
                                        ? L10n::format("panel.update.version", {*s.phoneAppVersion})
                                        : L10n::string("panel.update.old_version");
        out.push_back({Kind::warn, L10n::string("panel.update.title"),
                       L10n::format("panel.update.text", {version, AppVersion::version()}),
                       updateExtra(facts),
                       facts.install.phase == InstallStatus::Phase::failed ? facts.install.failure.message()
                                                                           : std::string()});
    }
    if (s.phoneControlPaused)
        out.push_back({Kind::warn,
                       L10n::string("panel.control_paused.title"),
                       L10n::format("panel.control_paused.text", {L10n::string("ref.android.control_allow")}),
                       Extra::none,
                       {}});
    if (s.networkHint && ble)
        out.push_back(
            {Kind::info, L10n::string("panel.network_diff.title"), *s.networkHint, Extra::none, {}});
    if (s.idleDescended)
        out.push_back(
            {Kind::info, L10n::string("panel.idle.title"), L10n::string("panel.idle.text"), Extra::none, {}});
    else if (ble)
        out.push_back({Kind::warn,
                       L10n::string("panel.ble_slow.title"),
                       L10n::string("panel.ble_slow.text"),
                       facts.fastLinkAvailable ? Extra::switchLink : Extra::none,
                       {}});
    return out;
}

}  // namespace

CardValues cardValues(const PublishedState& s, const CardFacts& facts) {
    CardValues v;
    const bool ble = s.linkKind == "ble";
    const bool connected = s.state.kind() == ConnState::Kind::connected;
    v.name = connected && !s.state.label().empty() ? s.state.label() : L10n::string("phone.generic_name");

    const std::string transport = transportTitle(s);
    v.linkLine = s.rttMs ? L10n::format("panel.transport.rtt", {transport, *s.rttMs}) : transport;
    v.slowLink = s.rttMs && *s.rttMs >= kSlowLinkRttMs;

    v.battery = s.battery;
    if (s.battery) {
        const std::string percent = L10n::percent(*s.battery);
        v.batteryText = s.charging ? percent + " \u26A1\uFE0E" : percent;
        v.batteryA11y = L10n::format(s.charging ? "a11y.battery_charging" : "a11y.battery", {percent});
    }
    v.notices = notices(s, facts, ble);

    v.mirroring = s.mirroring;
    v.mirrorText = L10n::string(s.mirroring ? "panel.mirror.stop"
                                : ble       ? "panel.mirror.start_slow"
                                            : "panel.mirror.start");
    v.ringTitle = L10n::string(s.ringing ? "panel.tile.ring_stop" : "panel.tile.ring");

    v.dropHighlight = facts.dropping;
    v.dropEmphasis = s.transferText || facts.dropping;
    v.dropFailure = !facts.dropping && s.transferText && s.transferFailure == s.transferText;
    v.dropText = s.transferText   ? *s.transferText
                 : facts.dropping ? L10n::format("panel.drop.sending_to", {v.name})
                                  : L10n::string("panel.drop.hint");

    for (const auto& file : s.recentFiles) {
        if (v.received.size() == kReceivedRowsShown) break;
        v.received.push_back({file.path, file.path.filename().string()});
    }
    return v;
}

}  // namespace velmora
