#include "core/settings/memory_settings.h"

namespace velmora {

std::optional<nlohmann::json> MemorySettings::value(std::string_view key) const {
    std::lock_guard lock(valuesLock_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void MemorySettings::setValue(std::string_view key, nlohmann::json value) {
    std::lock_guard lock(valuesLock_);
    auto it = values_.find(key);
    if (it != values_.end()) {
        if (it->second == value) return;
        it->second = std::move(value);
    } else {
        values_.emplace(std::string(key), std::move(value));
    }
    changed(values_);
}

void MemorySettings::remove(std::string_view key) {
    std::lock_guard lock(valuesLock_);
    auto it = values_.find(key);
    if (it == values_.end()) return;
    values_.erase(it);
    changed(values_);
}

}  // namespace velmora
