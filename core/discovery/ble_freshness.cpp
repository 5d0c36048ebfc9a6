#include "core/discovery/ble_freshness.h"

namespace velmora {

void BleFreshness::noteDisconnect(std::string_view id, double at) {
    droppedAt.insert_or_assign(std::string(id), at);
}

bool BleFreshness::isUsable(std::string_view id, double lastSeen, double now) const {
    auto it = droppedAt.find(id);
    if (it == droppedAt.end()) return true;
    const double dropped = it->second;
    if (now - dropped > memory) return true;
    return lastSeen > dropped;
}

void BleFreshness::prune(double now) {
    std::erase_if(droppedAt, [&](const auto& entry) { return now - entry.second > memory; });
}

}  // namespace velmora
