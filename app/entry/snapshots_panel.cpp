#include "app/entry/snapshots_panel.h"

#include <QLayout>
#include <algorithm>

#include "app/design/fold_row.h"
#include "app/entry/snapshots.h"
#include "app/model/app_model.h"
#include "app/model/app_version.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/model_panel.h"
#include "app/shell/phones/permissions_fold.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/prefs/prefs_actions.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/model_bodies.h"
#include "core/discovery/pairing_beacon.h"
#include "core/settings/memory_settings.h"

namespace velmora {
namespace {

// The pictures do not depend on the computer: adb counts as found (the model's installer gets this path,
// never run), and the companion package as carried.
constexpr const char* kAdbPath = "/usr/bin/adb";
constexpr bool kAdbPresent = true;
constexpr bool kPackageCarried = true;

// The model's rule for a phone's pairing flag, asked of the shot's lists: every sighting of the same
// phone (the same id, or a Bluetooth beacon whose id prefix starts a network phone's id), merged.
std::optional<bool> pairFlagIn(const PublishedState& state, const DiscoveredPhone& phone) {
    const auto prefix = [](const DiscoveredPhone& p) {
        return p.devicePrefix && !p.devicePrefix->empty() ? p.devicePrefix : std::nullopt;
    };
    const auto same = [&](const DiscoveredPhone& q) {
        if (q.id == phone.id) return true;
        if (q.id.starts_with("usb:") || phone.id.starts_with("usb:") || q.isBle() == phone.isBle())
            return false;
        const DiscoveredPhone& ble = q.isBle() ? q : phone;
        const DiscoveredPhone& net = q.isBle() ? phone : q;
        return prefix(ble) && net.id.starts_with(*prefix(ble));
    };
    std::vector<std::optional<bool>> flags;
    for (const auto* list : {&state.phones, &state.blePhones})
        for (const DiscoveredPhone& q : *list)
            if (same(q)) flags.push_back(q.pairFlag);
    return PairingBeacon::merge(flags);
}

// The model's rule for stale pairings, asked of the shot's lists.
std::vector<StalePair> stalePairsIn(const PublishedState& state) {
    std::vector<StalePairing::Device> seen, paired;
    std::vector<std::string> blePrefixes;
    for (const DiscoveredPhone& phone : state.phones)
        if (!phone.id.starts_with("usb:") && !phone.isBle()) seen.push_back({phone.id, phone.name});
    for (const DiscoveredPhone& phone : state.blePhones)
        if (phone.devicePrefix) blePrefixes.push_back(*phone.devicePrefix);
    for (const Peer& peer : state.paired)
        paired.push_back({peer.id, peer.name});
    return StalePairing::find(paired, seen, blePrefixes);
}

// The preferences over the preview model, with the paired phones and the link of the shot.
class ShotPrefs final : public ModelPrefsActions {
  public:
    ShotPrefs(AppModel& model, const PublishedState& state) : ModelPrefsActions(model), state_(state) {}
    PrefsValues values() const override {
        PrefsValues v = ModelPrefsActions::values();
        v.paired = state_.paired;
        v.connected = state_.state.kind() == ConnState::Kind::connected;
        v.benchText = state_.benchText;
        return v;
    }

  private:
    const PublishedState& state_;
};

}  // namespace

PanelStage::PanelStage(std::shared_ptr<MemorySettings> settings, std::shared_ptr<Executor> main)
    : settings_(std::move(settings)), main_(std::move(main)) {}

bool PanelStage::shot(const QString& file, bool dark, const PanelSetup& setup) const {
    const Snapshots::AppearanceScope appearance(dark);
    for (const char* key : {"linkPrefs", "phoneApps", "notifOverrides"})
        settings_->remove(key);
    ModelPorts ports;
    ports.main = main_;
    ports.settings = settings_;
    ports.makeInstaller = [main = main_](std::optional<std::string>) {
        return std::make_unique<PhoneInstaller>(kAdbPath, main);
    };
    const std::shared_ptr<AppModel> model = AppModel::create(std::move(ports), true);
    if (!model) return false;
    PublishedState state = model->state();
    state.browserReady = true;
    state.notifStatus = PublishedState::NotifStatus::authorized;
    PanelPreview preview{*model, state};
    setup(preview);
    const PublishedState& kept = model->state();
    state.linkPrefs = kept.linkPrefs;
    state.phoneApps = kept.phoneApps;
    state.notifDefault = kept.notifDefault;
    state.notifOverrides = kept.notifOverrides;

    const std::weak_ptr<AppModel> weak = model;
    const auto isPaired = [weak](const DiscoveredPhone& phone) {
        const auto m = weak.lock();
        return m && m->isPaired(phone);
    };
    PanelReader reader = [&state, isPaired] {
        PanelInputs in;
        in.state = state;
        in.stalePairs = stalePairsIn(state);
        in.phoneNeedsUpdate = phoneUpdateOffered(state, kPackageCarried);
        in.isPaired = isPaired;
        return in;
    };
    ModelPhoneActions phoneActions(model);
    ShotPrefs prefsActions(*model, state);
    PhoneQueries queries{isPaired,
                         [&state](const DiscoveredPhone& phone) { return pairFlagIn(state, phone); }};
    auto* panel = new MenuPanel(std::move(reader), modelActions(model), *settings_,
                                modelBodies({phoneActions, std::move(queries), !kAdbPresent, weak}));
    auto* prefs = new PrefsSection(prefsActions);
    panel->prefsContent()->layout()->addWidget(prefs);
    prefs->refresh();
    panel->prefsRow()->header()->setSummary(prefsSummary(prefsActions.values()));
    auto* perms = new PermissionsFold(phoneActions);
    panel->hostPermissions(perms);
    perms->present({state.notifStatus, state.bluetoothState, kAdbPresent, 0});
    return Snapshots::png(panel, 360, file, dark);
}

}  // namespace velmora
