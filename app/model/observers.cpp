#include "app/model/observers.h"

#include <vector>

namespace velmora {

Subscription ObserverList::add(std::function<void()> callback) {
    std::lock_guard lock(shared_->mutex);
    const std::uint64_t id = shared_->next++;
    shared_->callbacks[id] = std::make_shared<std::function<void()>>(std::move(callback));
    return Subscription([weak = std::weak_ptr<Shared>(shared_), id] {
        if (const auto shared = weak.lock()) {
            std::lock_guard inner(shared->mutex);
            shared->callbacks.erase(id);
        }
    });
}

void ObserverList::notify() {
    std::vector<std::pair<std::uint64_t, std::shared_ptr<std::function<void()>>>> now;
    {
        std::lock_guard lock(shared_->mutex);
        now.assign(shared_->callbacks.begin(), shared_->callbacks.end());
    }
    for (const auto& [id, callback] : now) {
        bool still = false;
        {
            std::lock_guard lock(shared_->mutex);
            still = shared_->callbacks.contains(id);
        }
        if (still) (*callback)();
    }
}

}  // namespace velmora
