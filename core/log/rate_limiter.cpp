#include "core/log/rate_limiter.h"

#include <algorithm>

#include "core/exec/executor.h"

namespace velmora {

RateLimiter::RateLimiter(std::int64_t maxEvents, double window, std::function<double()> now)
    : maxEvents_(maxEvents),
      window_(window),
      now_(now ? std::move(now) : [] { return SteadyClock::shared().now(); }) {}

bool RateLimiter::allow() {
    std::lock_guard lock(mutex_);
    const double t = now_();
    // Not only from the front: a clock that stepped back may leave older stamps behind newer ones.
    std::erase_if(stamps_, [&](double stamp) { return t - stamp >= window_; });
    if (static_cast<std::int64_t>(stamps_.size()) >= maxEvents_) return false;
    stamps_.push_back(t);
    return true;
}

}  // namespace velmora
