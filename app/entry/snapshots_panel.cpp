#include "app/entry/snapshots_panel.h"

#include <QLayout>
#include <algorithm>

#include "app/design/fold_row.h"
#include "app/entry/snapshots.h"
#include "app/links/installer/phone_installer.h"
#include "app/model/app_model.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/model_panel.h"
#include "app/shell/phones/permissions_fold.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/prefs/prefs_actions.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/model_bodies.h"
#include "core/settings/memory_settings.h"

namespace velmora {
namespace {

// The pictures do not depend on the computer: adb counts as found (the model's installer gets this path,
// never run), and the companion package as carried.
constexpr const char* kAdbPath = "/usr/bin/adb";
constexpr bool kAdbPresent = true;
constexpr bool kPackageCarried = true;

}  // namespace

PanelStage::PanelStage(std::shared_ptr<MemorySettings> settings, std::shared_ptr<Executor> main)
    : settings_(std::move(settings)), main_(std::move(main)) {}

bool PanelStage::shot(const QString& file, bool dark, const PanelSetup& setup) const {
    return present(dark, setup, [&](MenuPanel* panel) { return Snapshots::png(panel, 360, file, dark); });
}

bool PanelStage::present(bool dark, const PanelSetup& setup,
                         const std::function<bool(MenuPanel* panel)>& use) const {
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
    const PublishedState& kept = model->state();  // what the setup changed through the model's operations
    state.linkPrefs = kept.linkPrefs;
    state.phoneApps = kept.phoneApps;
    state.notifDefault = kept.notifDefault;
    state.notifOverrides = kept.notifOverrides;
    if (!model->setPreviewState(std::move(state))) return false;

    // The running panel's reader and queries; only whether the companion package is carried is fixed here,
    // so that the update notice does not depend on the computer.
    PanelReader reader = [shown = modelReader(model, settings_)] {
        PanelInputs in = shown();
        in.phoneNeedsUpdate = phoneUpdateOffered(in.state, kPackageCarried);
        return in;
    };
    const std::weak_ptr<AppModel> weak = model;
    ModelPhoneActions phoneActions(model);
    ModelPrefsActions prefsActions(*model);
    auto* panel = new MenuPanel(std::move(reader), modelActions(model), *settings_,
                                modelBodies({phoneActions, modelQueries(weak), !kAdbPresent, weak}));
    auto* prefs = new PrefsSection(prefsActions);
    panel->prefsContent()->layout()->addWidget(prefs);
    prefs->refresh();
    panel->prefsRow()->header()->setSummary(prefsSummary(prefsActions.values()));
    auto* perms = new PermissionsFold(phoneActions);
    panel->hostPermissions(perms);
    const PublishedState& shown = model->state();
    perms->present({shown.notifStatus, shown.bluetoothState, kAdbPresent, 0, std::nullopt});
    return use(panel);
}

}  // namespace velmora
