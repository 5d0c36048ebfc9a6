#include "app/model/features/notifications/notification_mirror.h"

#include <algorithm>

#include "app/model/features/notifications/app_list.h"

namespace velmora {

NotificationMirror::NotificationMirror(std::function<double()> clock)
    : limiter_(postsPerWindow, postWindow, std::move(clock)) {}

bool NotificationMirror::shows(const std::string& pkg) const {
    std::lock_guard lock(filterMutex_);
    const auto it = overrides_.find(pkg);
    return it == overrides_.end() ? byDefault_ : it->second;
}

bool NotificationMirror::mayLearn(const std::string& pkg) const {
    std::lock_guard lock(filterMutex_);
    return !pkg.empty() && !known_.contains(pkg) && known_.size() < AppList::maxApps;
}

void NotificationMirror::setFilter(bool byDefault, std::map<std::string, bool> overrides) {
    std::lock_guard lock(filterMutex_);
    byDefault_ = byDefault;
    overrides_ = std::move(overrides);
}

void NotificationMirror::setKnownApps(const std::vector<PhoneApp>& apps) {
    std::set<std::string> known;
    for (const auto& app : apps)
        known.insert(app.pkg);
    std::lock_guard lock(filterMutex_);
    known_ = std::move(known);
}

void NotificationMirror::remember(const std::string& id, Shown shown) {
    if (shown_.insert_or_assign(id, std::move(shown)).second) order_.push_back(id);
    while (shown_.size() > maxShown) {
        shown_.erase(order_.front());
        order_.pop_front();
    }
}

std::optional<NotificationMirror::Shown> NotificationMirror::find(const std::string& id) const {
    const auto it = shown_.find(id);
    if (it == shown_.end()) return std::nullopt;
    return it->second;
}

void NotificationMirror::forget(const std::string& id) {
    if (shown_.erase(id) == 0) return;
    order_.erase(std::ranges::find(order_, id));
}

}  // namespace velmora
