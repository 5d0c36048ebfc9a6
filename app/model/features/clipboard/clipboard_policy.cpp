#include "app/model/features/clipboard/clipboard_policy.h"

#include <algorithm>

namespace velmora::ClipboardPolicy {

bool shouldNeverSend(const std::vector<std::string>& types, const std::optional<std::string>& hintValue) {
    const bool marked = std::ranges::any_of(types, [](const std::string& type) {
        return std::ranges::find(neverSendTypes, type) != neverSendTypes.end();
    });
    if (marked) return true;
    const bool hinted = std::ranges::find(types, passwordHintType) != types.end();
    return hinted && hintValue == passwordHintSecret;
}

RateLimiter makePhoneWriteLimiter(std::function<double()> now) {
    return RateLimiter(phoneWritesPerMinute, 60.0, std::move(now));
}

}  // namespace velmora::ClipboardPolicy
