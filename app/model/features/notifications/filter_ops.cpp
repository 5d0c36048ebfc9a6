// The user's per-app choice of which phone notifications reach the desktop, and the phone's app list.
#include <algorithm>
#include <utility>

#include "app/model/app_model.h"
#include "app/model/features/notifications/app_list.h"
#include "core/log/velmora_log.h"

namespace velmora {

// Construction: the stored choices, without storing or pushing anything.
void AppModel::loadNotifSettings() {
    notifications_ = std::make_unique<NotificationMirror>([main = ports_.main] { return main->now(); });
    const Settings& settings = *ports_.settings;
    state_.notifDefault = settings.boolean("notifDefault").value_or(true);
    state_.notifOverrides = settings.boolMap("notifOverrides").value_or(std::map<std::string, bool>{});
    if (const auto stored = settings.value("phoneApps"))
        state_.phoneApps = PhoneApps::decode(*stored).value_or(std::vector<PhoneApp>{});
    notifications_->setFilter(state_.notifDefault, state_.notifOverrides);
    notifications_->setKnownApps(state_.phoneApps);
}

bool AppModel::notifOn(const std::string& pkg) const {
    return notifications_->shows(pkg);
}

void AppModel::setNotif(const std::string& pkg, bool on) {
    auto overrides = state_.notifOverrides;
    if (on == state_.notifDefault)
        overrides.erase(pkg);
    else
        overrides[pkg] = on;
    setNotifOverrides(std::move(overrides));
}

void AppModel::setAllNotif(bool on) {
    setNotifOverrides({});
    setNotifDefault(on);
    VelmoraLog::write(std::string("notificações do celular: todas ") + (on ? "ligadas" : "desligadas"));
}

void AppModel::setNotifOverrides(std::map<std::string, bool> overrides) {
    edit().notifOverrides = std::move(overrides);
    ports_.settings->setValue("notifOverrides", state_.notifOverrides);
    notifications_->setFilter(state_.notifDefault, state_.notifOverrides);
    pushNotifFilter();
}

void AppModel::setNotifDefault(bool on) {
    edit().notifDefault = on;
    ports_.settings->setValue("notifDefault", on);
    notifications_->setFilter(state_.notifDefault, state_.notifOverrides);
    pushNotifFilter();
}

// Receive thread first, main to add: two notifications of a new app arriving together add it once.
void AppModel::learnApp(const std::string& pkg, const std::string& name) {
    if (!notifications_->mayLearn(pkg)) return;
    post([app = PhoneApp{pkg, name.empty() ? pkg : name}](AppModel& model) {
        const auto& apps = model.state_.phoneApps;
        if (apps.size() >= AppList::maxApps ||
            std::ranges::any_of(apps, [&](const PhoneApp& known) { return known.pkg == app.pkg; }))
            return;
        auto grown = apps;
        grown.push_back(app);
        AppList::sort(grown);
        model.setPhoneApps(std::move(grown));
    });
}

// The phone sends its list again and again; one that changes nothing writes nothing.
void AppModel::mergePhoneApps(std::vector<PhoneApp> apps) {
    std::vector<PhoneApp> merged = AppList::merge(state_.phoneApps, apps);
    if (merged != state_.phoneApps) setPhoneApps(std::move(merged));
}

void AppModel::setPhoneApps(std::vector<PhoneApp> apps) {
    edit().phoneApps = std::move(apps);
    ports_.settings->setValue("phoneApps", PhoneApps::encode(state_.phoneApps));
    notifications_->setKnownApps(state_.phoneApps);
}

}  // namespace velmora
