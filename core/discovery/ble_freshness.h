#pragma once

#include <map>
#include <string>
#include <string_view>

namespace velmora {

// When each Bluetooth phone last dropped its connection, so that an advertisement received before the
// drop is not offered as if the phone were still there. Times are seconds on the caller's clock. A plain
// value without a lock: the Bluetooth central uses it on its own queue only.
struct BleFreshness {
    // After this long a drop no longer matters.
    static constexpr double memory = 60;

    std::map<std::string, double, std::less<>> droppedAt;

    // Records a drop of `id` at `at`, replacing an earlier one.
    void noteDisconnect(std::string_view id, double at);

    // Whether a sighting of `id` last seen at `lastSeen` may be offered at `now`: yes without a drop or
    // when the drop is more than 60 s old; otherwise only when the phone was seen strictly after it.
    bool isUsable(std::string_view id, double lastSeen, double now) const;

    // Forgets the drops more than 60 s before `now` (a drop dated after `now` stays).
    void prune(double now);

    bool operator==(const BleFreshness&) const = default;
};

}  // namespace velmora
