#include "app/shell/panel/model_panel.h"

#include <QApplication>
#include <filesystem>

#include "app/design/guide/guide_window.h"
#include "app/links/installer/phone_installer.h"
#include "app/model/app_model.h"
#include "app/model/app_version.h"

namespace velmora {
namespace {

// Runs `work` with the model while it lives.
std::function<void()> withModel(const std::shared_ptr<AppModel>& model, std::function<void(AppModel&)> work) {
    return [weak = std::weak_ptr<AppModel>(model), work = std::move(work)] {
        if (auto live = weak.lock()) work(*live);
    };
}

}  // namespace

bool phoneUpdateOffered(const PublishedState& state, bool packageCarried) {
    return phoneNeedsUpdate(state, packageCarried, AppVersion::build());
}

bool companionPackageCarried() {
    return PhoneInstaller::Package::installed().apk.has_value();
}

PanelReader modelReader(const std::shared_ptr<AppModel>& model, std::shared_ptr<const Settings> settings) {
    // The package does not come or go while the program runs: looked for once.
    return [weak = std::weak_ptr<AppModel>(model), settings = std::move(settings),
            carried = companionPackageCarried()] {
        PanelInputs in;
        const auto live = weak.lock();
        if (!live) return in;
        in.state = live->state();
        in.phoneNeedsUpdate = phoneUpdateOffered(in.state, carried);
        in.stalePairs = live->stalePairs();
        if (settings) in.usbKnown = settings->stringList("usbKnown").value_or(std::vector<std::string>{});
        in.isPaired = [weak](const DiscoveredPhone& phone) {
            const auto m = weak.lock();
            return m && m->isPaired(phone);
        };
        return in;
    };
}

PanelActions modelActions(const std::shared_ptr<AppModel>& model) {
    PanelActions actions;
    actions.retryNow = withModel(model, [](AppModel& m) { m.retryNow(); });
    actions.restartBrowsing = withModel(model, [](AppModel& m) { m.restartBrowsing(); });
    actions.copyDiagnostics = withModel(model, [](AppModel& m) { m.copyDiagnostics(); });
    actions.refreshPermissions = withModel(model, [](AppModel& m) { m.refreshPermissions(); });
    actions.sendFile = [weak = std::weak_ptr<AppModel>(model)](const std::string& path) {
        if (auto live = weak.lock()) live->sendFiles({std::filesystem::path(path)});
    };
    actions.confirmForgetStale = [weak = std::weak_ptr<AppModel>(model)](const Peer& peer) {
        if (auto live = weak.lock()) live->confirmForgetStale(peer);
    };
    actions.showGuide = [] { GuideWindow::show(); };
    actions.revealLog = withModel(model, [](AppModel& m) { m.revealLog(); });
    actions.terminate = [] { QApplication::quit(); };
    return actions;
}

}  // namespace velmora
