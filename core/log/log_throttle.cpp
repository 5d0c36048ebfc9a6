#include "core/log/log_throttle.h"

#include "core/exec/executor.h"

namespace velmora {

LogThrottle::LogThrottle(double interval, std::function<double()> now)
    : interval_(interval), now_(now ? std::move(now) : [] { return SteadyClock::shared().now(); }) {}

bool LogThrottle::shouldLog(std::string_view key) {
    std::lock_guard lock(mutex_);
    const double t = now_();
    const std::string k(key);
    if (const auto it = last_.find(k); it != last_.end() && interval_ > t - it->second) return false;
    if (last_.size() >= kMaxKeys) last_.clear();
    last_[k] = t;
    return true;
}

}  // namespace velmora
